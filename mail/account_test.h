#pragma once

#include "mail/host_resolver.h"

#include <QString>
#include <memory>

class Prompter;
class QWidget;

// The values of the settings dialog that the account test reads.
struct AccountTestValues
{
    QString incoming;           // edit 1006
    QString outgoing;           // edit 1010
    QString user;               // edit 1007
    QString password;           // edit 1008
    int protocolIndex = 0;      // combo 1009: 0 SMTP, 1 ESMTP
    bool requiresPassword = false;  // check box 1060
};

// The account test of the settings dialog's Test button: logs in to the incoming
// server, then connects to the outgoing one, on a mail control of its own (so the
// form's connection and message stay untouched), and tells the result in a box
// through the prompter: "Connection succeeded!\t", or a beep and "Error %d: %s\t"
// (or one of the two texts of the codes 20000 and 20001).
//
// While it waits, the windows keep painting; the boxes have `dialog` as their parent.
// Returns the failing result code, or 0 after success.
int RunAccountTest(const AccountTestValues &values, Prompter &prompter, QWidget *dialog,
                   std::shared_ptr<const HostResolver> resolver = nullptr);

// The box text of the account test for a result code and the control's description.
QString AccountTestMessage(int code, const QString &description);
