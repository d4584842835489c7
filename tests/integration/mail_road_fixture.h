#pragma once

#include "tests/support/form_harness.h"
#include "tests/support/mail/mail_servers.h"
#include "tests/support/test_files.h"

#include <QString>

// Helpers of the mail road tests: an account on the test servers, a form started with
// it, and the recording of a message as Stop leaves it.
namespace MailRoad {

// Ann's account: POP3 login at `incoming`, ESMTP with login at `outgoing`, no sound
// devices, the password kept and required.
inline Account testAccount(const QString &incoming, const QString &outgoing)
{
    return {QStringLiteral("Ann"), incoming, outgoing, MailProtocol::Esmtp, QString::fromLatin1(MailTest::User),
            QString::fromLatin1(MailTest::Password), QStringLiteral("ann@example.test"), -1, -1, true, true};
}

// Starts the form with Ann's account as on any run after the first; time-out 5 s.
void startForm(FormHarness &h, const QString &incoming, const QString &outgoing);

// Sends the next message through `outgoing` with `password`, as the settings would.
void useOutgoing(CTalkpostView &view, const QString &outgoing, const QString &password);

// Types `to` into the To box and gives the message a raw 16-bit recording of
// `seconds` seconds of a tone in the outbox, playable as after Stop; Send compresses
// it. Returns its path.
QString prepareMessage(FormHarness &h, const QString &to, int number, int seconds = 2);

}  // namespace MailRoad
