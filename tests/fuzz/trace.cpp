// The protocol trace of a mail session: whatever the server says, in whatever order, and
// whichever of libcurl's login commands follow, the trace never shows the password, as it
// is or in base64 at any of the three positions it can take inside a longer base64 text.

#include "fuzz_support.h"
#include "mail/mail_session.h"

#include <curl/curl.h>

namespace {

// The base64 characters that depend on the password alone when `lead` bytes come first.
QByteArray base64Core(const QByteArray &secret, int lead)
{
    const QByteArray encoded = (QByteArray(lead, 'x') + secret).toBase64(QByteArray::OmitTrailingEquals);
    const qsizetype first = (8 * lead + 5) / 6;
    return encoded.mid(first, 8 * (lead + secret.size()) / 6 - first);
}

// What libcurl may send during a login: the commands of PLAIN, LOGIN, POP3 USER/PASS and
// APOP, and their continuation lines, with an initial response or without.
QByteArray command(int kind, const QByteArray &user, const QByteArray &password)
{
    const QByteArray plain = ('\0' + user + '\0' + password).toBase64();
    const QByteArray commands[] = {"AUTH PLAIN " + plain, "AUTH PLAIN", plain, "AUTH LOGIN " + user.toBase64(),
                                   "AUTH LOGIN", user.toBase64(), password.toBase64(), "USER " + user,
                                   "PASS " + password, "EHLO client", "CAPA", "MAIL FROM:<" + user + ">", "NOOP"};
    return commands[std::min<size_t>(kind, std::size(commands) - 1)];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    SessionSettings settings;
    settings.user = Fuzz::text(in, 40);
    settings.password = Fuzz::text(in, 40);
    const QByteArray user = settings.user.toUtf8(), password = settings.password.toUtf8();
    QStringList trace;
    MailSession session(nullptr, [&](const QString &line) { trace << line; }, nullptr);
    // No server name: nothing is connected, but the session holds the account from now on.
    session.connect(settings);
    trace.clear();
    while (in.remaining_bytes() > 0) {
        // A reply (or several lines of one), a command, or a line of libcurl's own.
        const int type = in.PickValueInArray({CURLINFO_HEADER_IN, CURLINFO_HEADER_OUT, CURLINFO_TEXT});
        const QByteArray line = type == CURLINFO_HEADER_OUT
                                    ? command(in.ConsumeIntegralInRange(0, 12), user, password) + "\r\n"
                                    : Fuzz::bytes(in, 200);
        session.onDebug(type, line.constData(), size_t(line.size()));
    }

    // Shorter passwords are masked only where the protocol says a secret follows.
    if (password.size() < 4 || password.contains('\n') || password.contains('\r'))
        return 0;
    const QString shown = trace.join(QLatin1Char('\n'));
    FUZZ_CHECK(!shown.contains(settings.password));
    for (int lead = 0; lead < 3; ++lead)
        FUZZ_CHECK(!shown.contains(QLatin1String(base64Core(password, lead))));
    return 0;
}
