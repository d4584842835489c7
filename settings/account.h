#pragma once

#include <QString>

// How the outgoing server is spoken to; the numbers are those the profiles file and
// the settings store keep.
enum class MailProtocol : int { Smtp = 0, Esmtp = 1 };

// The stored numbers as the profiles file and the settings store both read them: a
// value outside its range reads as the default, so a profile and the current
// settings never disagree about the same bytes.
namespace StoredNumber {
// A device index is kept in profiles as a signed byte; -1 means none.
constexpr int MaxDevice = 127;
inline MailProtocol protocol(int n) { return n == int(MailProtocol::Esmtp) ? MailProtocol::Esmtp : MailProtocol::Smtp; }
inline int device(int n) { return n >= -1 && n <= MaxDevice ? n : 0; }
inline bool flag(int n) { return n == 1; }
inline int voiceFormat(int n) { return n == 1 ? 1 : 0; }
}  // namespace StoredNumber

// One mail account with the sound devices used with it: what a profile record holds,
// what the current settings hold, what the settings dialog edits and what the form
// sends with.
struct Account
{
    QString name;
    QString incoming;  // POP3 server
    QString outgoing;  // SMTP server
    MailProtocol protocol = MailProtocol::Smtp;
    QString user;
    QString password;  // kept in the stores only when savePass is set
    QString reply;
    int inputDevice = 0;   // -1 for none
    int outputDevice = 0;  // -1 for none
    bool savePass = false;
    bool requirePass = false;

    // ESMTP always logs in; SMTP sends the password only to a server that requires one.
    bool outgoingLogsIn() const { return protocol == MailProtocol::Esmtp || requirePass; }
    bool operator==(const Account &o) const
    {
        return name == o.name && incoming == o.incoming && outgoing == o.outgoing && protocol == o.protocol
               && user == o.user && password == o.password && reply == o.reply && inputDevice == o.inputDevice
               && outputDevice == o.outputDevice && savePass == o.savePass && requirePass == o.requirePass;
    }
    bool operator!=(const Account &o) const { return !(*this == o); }

    // The account as the stores keep it: the password only when it is kept.
    Account kept() const
    {
        Account a = *this;
        if (!savePass)
            a.password.clear();
        return a;
    }
};
