#pragma once

#include "tests/support/form_harness.h"
#include "tests/support/mail/mail_servers.h"
#include "tests/support/test_files.h"

#include <QString>

// Helpers of the mail road tests: a form set up with an account on the test servers,
// and the files of a voice message in its outbox.
namespace MailRoad {

// Starts the form as on any run after the first, with an account on the servers:
// POP3 login at `incoming`, ESMTP with login at `outgoing`.
void startForm(FormHarness &h, const QString &incoming, const QString &outgoing);

// A raw 16-bit recording of `seconds` seconds of a tone in the outbox, as Stop leaves it.
QString makeRecording(const QString &outbox, int seconds, int number = 1);

// The state "Compression Complete" leaves: the recording narrowed to 8 bits, its WAV
// file in the attachment field, the voice and record files remembered. Returns the WAV path.
QString makeCompressedVoice(CTalkpostView &view, const QString &outbox, int number = 1);

// Waits until the log holds `text` (counted `times`), at most `timeoutMs`.
bool waitForLog(FormHarness &h, const QString &text, int times = 1, int timeoutMs = 30000);

}  // namespace MailRoad
