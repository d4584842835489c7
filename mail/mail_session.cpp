#include "mail/mail_session.h"

#include "mail/curl_library.h"
#include "mail/mail_errors.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSysInfo>
#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <sys/socket.h>

namespace {

CURL *handle(void *p) { return static_cast<CURL *>(p); }

int debugCallback(CURL *, curl_infotype type, char *data, size_t size, void *user)
{
    static_cast<MailSession *>(user)->onDebug(type, data, size);
    return 0;
}

size_t readCallback(char *buffer, size_t size, size_t count, void *user)
{
    return static_cast<MailSession *>(user)->onRead(buffer, size * count);
}

int progressCallback(void *user, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    return static_cast<MailSession *>(user)->onProgress() ? 1 : 0;
}

struct HostPort
{
    QString host;
    int port = 0;
};

HostPort splitHost(const QString &text, int defaultPort)
{
    const QString t = text.trimmed();
    HostPort hp{t, defaultPort};
    if (t.startsWith(QLatin1Char('['))) {
        const int close = t.indexOf(QLatin1Char(']'));
        hp.host = t.mid(1, close - 1);
        if (close >= 0 && t.mid(close + 1).startsWith(QLatin1Char(':')))
            hp.port = t.mid(close + 2).toInt();
    } else if (t.count(QLatin1Char(':')) == 1) {
        hp.host = t.section(QLatin1Char(':'), 0, 0);
        hp.port = t.section(QLatin1Char(':'), 1).toInt();
    }
    if (hp.port <= 0 || hp.port > 65535)
        hp.port = defaultPort;
    return hp;
}

QString urlHost(const QString &host)
{
    return host.contains(QLatin1Char(':')) ? QLatin1Char('[') + host + QLatin1Char(']') : host;
}

// The name given in EHLO: this machine's name when it is a plain host name.
QString helloName()
{
    const QString name = QSysInfo::machineHostName();
    for (QChar c : name) {
        if (!(c.isLetterOrNumber() && c.unicode() < 0x80) && c != QLatin1Char('-') && c != QLatin1Char('.'))
            return QStringLiteral("localhost");
    }
    return name.isEmpty() ? QStringLiteral("localhost") : name;
}

int socketCode(long osErrno)
{
    switch (osErrno) {
    case ECONNREFUSED: return MailCode::ConnectionRefused;
    case ETIMEDOUT: return MailCode::TimedOut;
    case ENETUNREACH: return MailCode::NetworkUnreachable;
    case EHOSTUNREACH: return MailCode::HostUnreachable;
    case ECONNRESET: return MailCode::ConnectionReset;
    default: return MailCode::ConnectionRefused;
    }
}

// One year: an idle connection stays as long as the server keeps it.
constexpr long NoIdleLimit = 365L * 24 * 3600;

// QUIT gets this long for its answer; closing is over within five seconds.
constexpr long QuitSeconds = 4;

}  // namespace

MailSession::MailSession(std::shared_ptr<const HostResolver> resolver, TraceSink trace, AbortCheck aborted)
    : m_resolver(std::move(resolver)), m_trace(std::move(trace)), m_aborted(std::move(aborted))
{
}

MailSession::~MailSession()
{
    disconnect();
}

void MailSession::traceLine(const QString &line)
{
    if (m_trace)
        m_trace(m_secrets.apply(line));
}

void MailSession::resetTransferState()
{
    m_loginMissing = false;
    m_tokenStatus.clear();
    m_lastReply.clear();
    m_errorBuffer[0] = '\0';
}

void MailSession::noteCommand(const QString &line)
{
    const QString upper = line.toUpper();
    if (upper.startsWith(QLatin1String("EHLO ")) || upper.startsWith(QLatin1String("HELO "))
        || upper == QLatin1String("CAPA")) {
        // A greeting starts a new connection, which has to log in again.
        m_loggedIn = false;
        m_authInProgress = false;
        m_smtpUtf8 = false;
    }
    if (upper.startsWith(QLatin1String("AUTH ")) || upper.startsWith(QLatin1String("USER ")))
        m_authInProgress = true;
}

// A server that refuses a token says why in a base64 JSON challenge ("334 " in SMTP,
// "+ " in POP3) before its final refusal.
void MailSession::noteTokenChallenge(const QString &line)
{
    const QString payload = line.startsWith(QLatin1String("334 ")) ? line.mid(4)
                            : line.startsWith(QLatin1String("+ ")) ? line.mid(2)
                                                                     : QString();
    const QJsonObject answer =
        QJsonDocument::fromJson(QByteArray::fromBase64(payload.trimmed().toLatin1())).object();
    if (answer.contains(QLatin1String("status")))
        m_tokenStatus = answer.value(QLatin1String("status")).toVariant().toString();
}

void MailSession::noteReply(const QString &line)
{
    if (m_bearer && m_authInProgress)
        noteTokenChallenge(line);
    // The refusal is kept: a later "221 Bye" of the QUIT after it must not replace it.
    if (line.startsWith(QLatin1Char('4')) || line.startsWith(QLatin1Char('5')) || line.startsWith(QLatin1String("-ERR")))
        m_lastReply = line;
    // An extension line of the EHLO reply: "250-SMTPUTF8" or "250 SMTPUTF8".
    if (line.startsWith(QLatin1String("250")) && line.mid(4).trimmed().compare(QLatin1String("SMTPUTF8"), Qt::CaseInsensitive) == 0)
        m_smtpUtf8 = true;
    if (!m_authInProgress)
        return;
    if (line.startsWith(QLatin1String("235")) || line.startsWith(QLatin1String("+OK"))) {
        m_loggedIn = true;
        m_authInProgress = false;
    } else if (line.startsWith(QLatin1Char('4')) || line.startsWith(QLatin1Char('5'))
               || line.startsWith(QLatin1String("-ERR"))) {
        m_authInProgress = false;
    }
}

void MailSession::onDebug(int type, const char *data, size_t size)
{
    if (type != CURLINFO_TEXT && type != CURLINFO_HEADER_IN && type != CURLINFO_HEADER_OUT)
        return;
    const QString text = QString::fromUtf8(data, int(size));
    const QStringList lines = text.split(QStringLiteral("\n"), Qt::SkipEmptyParts);
    for (QString line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.isEmpty())
            continue;
        if (type == CURLINFO_TEXT) {
            traceLine(QStringLiteral("* ") + line);
        } else if (type == CURLINFO_HEADER_IN) {
            noteReply(line);
            traceLine(QStringLiteral("< ") + line);
        } else {
            const bool secret = m_authInProgress;
            noteCommand(line);
            const QString upper = line.toUpper();
            QString shown = line;
            if (upper.startsWith(QLatin1String("AUTH "))) {
                const QStringList words = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
                shown = words.size() > 2 ? words[0] + QLatin1Char(' ') + words[1] + QStringLiteral(" ****") : line;
            } else if (upper.startsWith(QLatin1String("PASS ")) || upper.startsWith(QLatin1String("APOP "))) {
                shown = line.left(5) + QStringLiteral("****");
            } else if (secret && !upper.startsWith(QLatin1String("USER "))) {
                shown = QStringLiteral("****");
            }
            traceLine(QStringLiteral("> ") + shown);
        }
    }
}

size_t MailSession::onRead(char *buffer, size_t size)
{
    if (m_loginAsked && !m_loggedIn) {
        // The connection was made again without a login: never send unauthenticated.
        m_loginMissing = true;
        return CURL_READFUNC_ABORT;
    }
    if (!m_data)
        return 0;
    const qint64 left = m_data->size() - m_offset;
    const size_t n = size_t(std::min<qint64>(left, qint64(size)));
    memcpy(buffer, m_data->constData() + m_offset, n);
    m_offset += qint64(n);
    if (m_progress && *m_progress)
        (*m_progress)(m_offset, m_data->size());
    return n;
}

bool MailSession::onProgress()
{
    return m_aborted && m_aborted();
}

SessionResult MailSession::connect(const SessionSettings &settings)
{
    disconnect();
    m_settings = settings;
    m_secrets = SecretMask({settings.password});
    const bool pop3 = settings.protocol == 1;
    const HostPort hp = splitHost(settings.host, pop3 ? 110 : 25);
    if (hp.host.isEmpty())
        return {MailCode::HostNotFound, QStringLiteral("No server name given")};
    m_hostName = hp.host;
    const bool implicitTls = hp.port == 995 || hp.port == 465;

    // Resolve once: the password rule and the connection see the same addresses.
    QList<IpAddress> addresses;
    const IpAddress literal = IpAddress::parse(hp.host);
    const bool isLiteral = !literal.isNull();
    if (isLiteral) {
        addresses << literal;
    } else {
        traceLine(QStringLiteral("* Resolving ") + hp.host);
        const Resolution r = m_resolver->resolve(hp.host);
        if (r.addresses.isEmpty())
            return {MailCode::HostNotFound, QStringLiteral("Host not found: ") + hp.host};
        addresses = r.addresses;
    }
    bool local = true;
    for (const IpAddress &a : addresses)
        local = local && m_resolver->isLocalNetwork(a);

    m_bearer = !settings.bearerToken.isEmpty();
    m_loginAsked = pop3 || (!settings.user.isEmpty() && (settings.authenticate == 1 || !settings.password.isEmpty() || m_bearer));
    const bool sendsPassword = !m_bearer && m_loginAsked && !settings.password.isEmpty();
    // A token travels only encrypted, even to this machine.
    m_tlsRequiredByPolicy = (sendsPassword && !local && !implicitTls) || (m_bearer && !implicitTls);
    m_loggedIn = false;
    m_authInProgress = false;

    m_api = Curl::library();
    if (!m_api)
        return {CURLE_FAILED_INIT, Curl::loadError()};
    CURL *curl = m_api->easy_init();
    if (!curl)
        return {CURLE_FAILED_INIT, QString::fromUtf8(m_api->easy_strerror(CURLE_FAILED_INIT))};
    m_curl = curl;
    const char *scheme = pop3 ? (implicitTls ? "pop3s" : "pop3") : (implicitTls ? "smtps" : "smtp");
    QString url = QString::fromLatin1(scheme) + QStringLiteral("://") + urlHost(hp.host) + QLatin1Char(':')
                  + QString::number(hp.port) + QLatin1Char('/');
    if (!pop3)
        url += helloName();
    m_api->easy_setopt(curl, CURLOPT_URL, url.toUtf8().constData());
    if (!isLiteral) {
        QStringList pinned;
        for (const IpAddress &a : addresses)
            pinned << urlHost(a.toString());
        const QByteArray entry = (hp.host + QLatin1Char(':') + QString::number(hp.port) + QLatin1Char(':')
                                  + pinned.join(QLatin1Char(','))).toUtf8();
        m_resolve = m_api->slist_append(nullptr, entry.constData());
        m_api->easy_setopt(curl, CURLOPT_RESOLVE, m_resolve);
    }
    m_api->easy_setopt(curl, CURLOPT_ERRORBUFFER, m_errorBuffer);
    m_api->easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    m_api->easy_setopt(curl, CURLOPT_VERBOSE, 1L);
    m_api->easy_setopt(curl, CURLOPT_DEBUGFUNCTION, debugCallback);
    m_api->easy_setopt(curl, CURLOPT_DEBUGDATA, this);
    m_api->easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    m_api->easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, progressCallback);
    m_api->easy_setopt(curl, CURLOPT_XFERINFODATA, this);
    m_api->easy_setopt(curl, CURLOPT_READFUNCTION, readCallback);
    m_api->easy_setopt(curl, CURLOPT_READDATA, this);
    const long timeout = settings.timeoutSeconds > 0 ? settings.timeoutSeconds : 60;
    m_api->easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, timeout);
    m_api->easy_setopt(curl, CURLOPT_SERVER_RESPONSE_TIMEOUT, timeout);
    m_api->easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    m_api->easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, timeout);
    m_api->easy_setopt(curl, CURLOPT_MAXAGE_CONN, NoIdleLimit);
    m_api->easy_setopt(curl, CURLOPT_USE_SSL, long(m_tlsRequiredByPolicy ? CURLUSESSL_ALL : CURLUSESSL_TRY));
    const QByteArray caFile = qgetenv("ORVANTO_CA_FILE");
    if (!caFile.isEmpty()) {
        // The extra file adds to the system's store, which stays in use through its folder.
        m_api->easy_setopt(curl, CURLOPT_CAINFO, caFile.constData());
        if (QFileInfo(QStringLiteral("/etc/ssl/certs")).isDir())
            m_api->easy_setopt(curl, CURLOPT_CAPATH, "/etc/ssl/certs");
    }
    if (m_loginAsked) {
        m_api->easy_setopt(curl, CURLOPT_USERNAME, settings.user.toUtf8().constData());
        if (m_bearer) {
            m_api->easy_setopt(curl, CURLOPT_XOAUTH2_BEARER, settings.bearerToken.toUtf8().constData());
            // Only the token mechanisms: never a fall-back to a password login.
            m_api->easy_setopt(curl, CURLOPT_LOGIN_OPTIONS, "AUTH=OAUTHBEARER;AUTH=XOAUTH2");
        } else {
            m_api->easy_setopt(curl, CURLOPT_PASSWORD, settings.password.toUtf8().constData());
        }
    }
    m_api->easy_setopt(curl, CURLOPT_CUSTOMREQUEST, "NOOP");
    m_api->easy_setopt(curl, CURLOPT_NOBODY, 1L);

    resetTransferState();
    const CURLcode rc = m_api->easy_perform(curl);
    m_answering = answeredAfter(rc);
    m_api->easy_setopt(curl, CURLOPT_CUSTOMREQUEST, nullptr);
    m_api->easy_setopt(curl, CURLOPT_NOBODY, 0L);
    SessionResult result;
    if (rc != CURLE_OK)
        result = failure(rc);
    else if (!pop3 && m_loginAsked && !m_loggedIn)
        result = {MailCode::LoginNotOffered,
                  QStringLiteral("The server %1 offers no login; nothing is sent without one").arg(hp.host)};
    if (!result.ok())
        disconnect();
    return result;
}

bool MailSession::idleConnectionClosed() const
{
    curl_socket_t socket = CURL_SOCKET_BAD;
    if (m_api->easy_getinfo(handle(m_curl), CURLINFO_ACTIVESOCKET, &socket) != CURLE_OK || socket == CURL_SOCKET_BAD)
        return true;
    // An idle SMTP connection has nothing to read: data there is the server's
    // farewell (421), and an end of file means it is gone.
    pollfd p{socket, POLLIN, 0};
    return ::poll(&p, 1, 0) != 0;
}

SessionResult MailSession::send(const ComposedMessage &message, const ProgressSink &progress)
{
    if (!m_curl)
        return {MailCode::NotConnected, QStringLiteral("Not connected to the outgoing server")};
    if (m_settings.protocol == 1)
        return {MailCode::NotConnected, QStringLiteral("A POP3 connection cannot send mail")};
    if (idleConnectionClosed()) {
        traceLine(QStringLiteral("* The server has closed the idle connection; connecting again"));
        const SessionResult again = connect(m_settings);
        if (!again.ok())
            return again;
    }
    SessionResult result = transfer(message, progress);
    if (!result.ok() && m_offset == 0 && (result.code == 421 || result.code == CURLE_SEND_ERROR
                                          || result.code == CURLE_RECV_ERROR)) {
        // Closed between the check and the first command: nothing was sent, try once more.
        traceLine(QStringLiteral("* The connection was lost before the message; connecting again"));
        const SessionResult again = connect(m_settings);
        if (!again.ok())
            return again;
        result = transfer(message, progress);
    }
    return result;
}

SessionResult MailSession::transfer(const ComposedMessage &message, const ProgressSink &progress)
{
    // An address that is not ASCII before the @ (the domain is in its ASCII form by
    // now) goes only to a server that offers SMTPUTF8; libcurl then adds the
    // SMTPUTF8 parameter to MAIL FROM itself. Elsewhere its raw bytes would be sent.
    for (const QString &address : QStringList(message.envelopeFrom) + message.recipients) {
        const bool ascii = std::all_of(address.begin(), address.end(), [](QChar c) { return c.unicode() < 0x80; });
        if (!ascii && !m_smtpUtf8)
            return {MailCode::NeedsSmtpUtf8,
                    QStringLiteral("The server %1 does not offer SMTPUTF8, which the address %2 needs; nothing was sent")
                        .arg(m_hostName, address)};
    }
    CURL *curl = handle(m_curl);
    const QByteArray from = "<" + message.envelopeFrom.toUtf8() + ">";
    struct curl_slist *rcpt = nullptr;
    for (const QString &r : message.recipients)
        rcpt = m_api->slist_append(rcpt, ("<" + r.toUtf8() + ">").constData());
    m_api->easy_setopt(curl, CURLOPT_MAIL_FROM, from.constData());
    m_api->easy_setopt(curl, CURLOPT_MAIL_RCPT, rcpt);
    m_api->easy_setopt(curl, CURLOPT_UPLOAD, 1L);
    m_api->easy_setopt(curl, CURLOPT_INFILESIZE_LARGE, curl_off_t(message.bytes.size()));
    m_data = &message.bytes;
    m_offset = 0;
    m_progress = &progress;
    resetTransferState();
    traceLine(QStringLiteral("* Message of %1 bytes").arg(message.bytes.size()));
    const CURLcode rc = m_api->easy_perform(curl);
    m_answering = answeredAfter(rc);
    m_data = nullptr;
    m_progress = nullptr;
    m_api->easy_setopt(curl, CURLOPT_UPLOAD, 0L);
    m_api->easy_setopt(curl, CURLOPT_MAIL_RCPT, nullptr);
    m_api->slist_free_all(rcpt);
    return rc == CURLE_OK ? SessionResult() : failure(rc);
}

void MailSession::disconnect()
{
    if (m_curl) {
        CURL *curl = handle(m_curl);
        // A connection that answered last is closed politely; one that failed, stalled
        // or is being abandoned is cut without a word, so closing never waits on it.
        if (m_answering && !(m_aborted && m_aborted())) {
            traceLine(QStringLiteral("* Closing the connection with QUIT"));
            m_api->easy_setopt(curl, CURLOPT_TIMEOUT, QuitSeconds);
            m_api->easy_setopt(curl, CURLOPT_CUSTOMREQUEST, "QUIT");
            m_api->easy_setopt(curl, CURLOPT_NOBODY, 1L);
            m_api->easy_perform(curl);
        }
        // Cleaning up would say QUIT itself and wait for the reply without a bound.
        curl_socket_t socket = CURL_SOCKET_BAD;
        if (m_api->easy_getinfo(curl, CURLINFO_ACTIVESOCKET, &socket) == CURLE_OK && socket != CURL_SOCKET_BAD)
            ::shutdown(socket, SHUT_RDWR);
        m_api->easy_cleanup(curl);
        m_curl = nullptr;
    }
    if (m_resolve) {
        m_api->slist_free_all(m_resolve);
        m_resolve = nullptr;
    }
    m_loggedIn = false;
    m_answering = false;
}

// Whether the server still answers after a transfer that ended in rc: it did when it
// replied, even with a refusal; a time-out, a lost connection or an abort leave
// nothing to say QUIT to.
bool MailSession::answeredAfter(int rc) const
{
    if (rc == CURLE_OK)
        return true;
    long response = 0;
    m_api->easy_getinfo(handle(m_curl), CURLINFO_RESPONSE_CODE, &response);
    return response >= 400 && response < 600 && rc != CURLE_OPERATION_TIMEDOUT;
}

SessionResult MailSession::tokenRefusal(const QString &curlText) const
{
    // libcurl gives up at the server's challenge, so its JSON may be all the server said.
    if (m_lastReply.isEmpty())
        return {MailCode::TokenRefused, m_tokenStatus.isEmpty()
                                            ? curlText
                                            : QStringLiteral("%1 refused the sign-in token: %2").arg(m_hostName, m_tokenStatus)};
    QString text = m_lastReply;
    if (!m_tokenStatus.isEmpty())
        text += QStringLiteral(" (token: %1)").arg(m_tokenStatus);
    return {MailCode::TokenRefused, text};
}

SessionResult MailSession::failure(int curlCode) const
{
    const auto rc = CURLcode(curlCode);
    CURL *curl = handle(m_curl);
    long response = 0;
    long osErrno = 0;
    m_api->easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &response);
    m_api->easy_getinfo(curl, CURLINFO_OS_ERRNO, &osErrno);
    const QString curlText = m_errorBuffer[0] ? QString::fromUtf8(m_errorBuffer)
                                              : QString::fromUtf8(m_api->easy_strerror(rc));
    if (m_loginMissing)
        return {MailCode::LoginNotOffered,
                QStringLiteral("The connection to %1 was made again without a login; the message was not sent")
                    .arg(m_hostName)};
    if (rc == CURLE_ABORTED_BY_CALLBACK)
        return {MailCode::Cancelled, QStringLiteral("Cancelled")};
    switch (rc) {
    case CURLE_LOGIN_DENIED:
        if (m_bearer)
            return tokenRefusal(curlText);
        return {MailCode::LoginRefused, m_lastReply.isEmpty() ? curlText : m_lastReply};
    case CURLE_COULDNT_RESOLVE_HOST:
        return {MailCode::HostNotFound, curlText};
    case CURLE_COULDNT_CONNECT:
        return {socketCode(osErrno), curlText};
    case CURLE_OPERATION_TIMEDOUT:
        return {MailCode::TimedOut, curlText};
    case CURLE_USE_SSL_FAILED:
        if (m_bearer)
            return {MailCode::TokenNeedsTls,
                    QStringLiteral("%1 offers no encryption; the sign-in token is not sent over an open connection")
                        .arg(m_hostName)};
        if (m_tlsRequiredByPolicy)
            return {MailCode::PasswordNeedsTls,
                    QStringLiteral("%1 offers no encryption; the password is not sent over an open connection")
                        .arg(m_hostName)};
        break;
    default:
        break;
    }
    // A refusal: the server's own reply code and text (libcurl leaves its buffer empty then).
    if (response >= 400 && response < 600)
        return {int(response), m_lastReply.isEmpty() ? curlText : m_lastReply};
    if (m_lastReply.startsWith(QLatin1String("-ERR")))
        return {int(rc), m_lastReply};
    return {int(rc), curlText};
}
