#pragma once

#include "tests/support/form_harness.h"
#include "tests/support/mail/mail_servers.h"
#include "tests/support/test_files.h"

#include <QString>

// Helpers of the mail road tests: a form with an account on the test servers, and the
// recording of a message as Stop leaves it.
namespace MailRoad {

// Starts the form as on any run after the first, with an account on the servers:
// POP3 login at `incoming`, ESMTP with login at `outgoing`; the mail time-out is 5 s.
void startForm(FormHarness &h, const QString &incoming, const QString &outgoing);

// Sends the next message through `outgoing` with `password`, as the settings would.
void useOutgoing(CTalkpostView &view, const QString &outgoing, const QString &password);

// Types `to` into the To box and gives the message a raw 16-bit recording of
// `seconds` seconds of a tone in the outbox, playable as after Stop; Send compresses
// it. Returns its path.
QString prepareMessage(FormHarness &h, const QString &to, int number, int seconds = 2);

// Waits until the log holds `text` (counted `times`), at most `timeoutMs`.
bool waitForLog(FormHarness &h, const QString &text, int times = 1, int timeoutMs = 30000);

}  // namespace MailRoad
