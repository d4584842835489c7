#pragma once

#include <QString>

// One mail account the user can send from, as held in the profile lists. The
// profile store reads and writes it as a fixed 1,542-byte record.
struct Profile
{
    int selected = 0;      // 1 on the current profile
    QString name;
    QString incoming;      // POP3 server
    QString outgoing;      // SMTP server
    int protocol = 0;      // 0 SMTP, 1 ESMTP
    QString user;
    QString password;      // empty when the password is not kept
    QString reply;
    int inputDevice = 0;   // -1 for none
    int outputDevice = 0;  // -1 for none
    int savePass = 0;
    int requirePass = 0;
};
