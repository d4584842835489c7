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
    const qsizetype end = 8 * (lead + secret.size()) / 6;
    return encoded.mid(first, end - first);
}

// What libcurl may send during a login: the commands of PLAIN, LOGIN, POP3 USER/PASS and
// APOP, and their continuation lines, with an initial response or without.
QByteArray command(int kind, const QByteArray &user, const QByteArray &password)
{
    switch (kind) {
    case 0: return "AUTH PLAIN " + ('\0' + user + '\0' + password).toBase64();
    case 1: return "AUTH PLAIN";
    case 2: return ('\0' + user + '\0' + password).toBase64();
    case 3: return "AUTH LOGIN " + user.toBase64();
    case 4: return "AUTH LOGIN";
    case 5: return user.toBase64();
    case 6: return password.toBase64();
    case 7: return "USER " + user;
    case 8: return "PASS " + password;
    case 9: return "EHLO client";
    case 10: return "CAPA";
    case 11: return "MAIL FROM:<" + user + ">";
    default: return "NOOP";
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    SessionSettings settings;
    settings.user = Fuzz::text(in, 40);
    settings.password = Fuzz::text(in, 40);
    const QByteArray password = settings.password.toUtf8();
    QStringList trace;
    MailSession session(nullptr, [&](const QString &line) { trace << line; }, nullptr);
    // No server name: nothing is connected, but the session holds the account from now on.
    session.connect(settings);
    trace.clear();

    const QByteArray user = settings.user.toUtf8();
    while (in.remaining_bytes() > 0) {
        const int what = in.ConsumeIntegralInRange(0, 2);
        QByteArray line;
        int type = CURLINFO_HEADER_IN;
        if (what == 0) {
            line = Fuzz::bytes(in, 200);  // a reply, or several lines of one
        } else if (what == 1) {
            line = command(in.ConsumeIntegralInRange(0, 12), user, password) + "\r\n";
            type = CURLINFO_HEADER_OUT;
        } else {
            line = Fuzz::bytes(in, 100);
            type = CURLINFO_TEXT;
        }
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
