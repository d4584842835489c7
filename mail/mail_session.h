#pragma once

#include "mail/host_resolver.h"
#include "mail/mime_writer.h"
#include "mail/secret_mask.h"

#include <QString>
#include <functional>
#include <memory>

namespace Curl {
struct Api;
}

// What a connection is made with: the control's properties at the time of Connect.
struct SessionSettings
{
    QString host;          // "name", "name:port", "[v6]:port"
    int protocol = 0;      // 0 SMTP, 1 POP3, 2 ESMTP
    QString user;
    QString password;
    int authenticate = 0;  // 1: log in to the outgoing server
    int timeoutSeconds = 60;
    // An OAuth2 access token: when set, the login is XOAUTH2 or OAUTHBEARER over TLS
    // and the password is not used.
    QString bearerToken;
};

// Outcome of one operation: 0, or an error code with a text that names the cause.
struct SessionResult
{
    int code = 0;
    QString text;
    bool ok() const { return code == 0; }
};

// One mail connection over libcurl: a POP3 login, or an SMTP session that stays open
// between messages. Every call blocks; the control runs them on its worker thread.
class MailSession
{
public:
    using TraceSink = std::function<void(const QString &)>;
    using ProgressSink = std::function<void(qint64 sent, qint64 total)>;
    using AbortCheck = std::function<bool()>;

    MailSession(std::shared_ptr<const HostResolver> resolver, TraceSink trace, AbortCheck aborted);
    ~MailSession();
    MailSession(const MailSession &) = delete;
    MailSession &operator=(const MailSession &) = delete;

    // Connects, greets, upgrades to TLS where offered or required, logs in.
    SessionResult connect(const SessionSettings &settings);
    // Sends over the open connection; connects again first when the server has closed it.
    SessionResult send(const ComposedMessage &message, const ProgressSink &progress);
    // Ends the session: with QUIT, bounded in time, when the server answered last;
    // otherwise the connection is cut at once.
    void disconnect();
    bool isOpen() const { return m_curl != nullptr; }
    void setResolver(std::shared_ptr<const HostResolver> resolver) { m_resolver = std::move(resolver); }
    const SessionSettings &settings() const { return m_settings; }

    // Called from libcurl's callbacks.
    void onDebug(int type, const char *data, size_t size);
    size_t onRead(char *buffer, size_t size);
    bool onProgress();

private:
    SessionResult failure(int curlCode) const;
    SessionResult tokenRefusal(const QString &curlText) const;
    SessionResult transfer(const ComposedMessage &message, const ProgressSink &progress);
    bool idleConnectionClosed() const;
    bool answeredAfter(int rc) const;
    void traceLine(const QString &line);
    void noteReply(const QString &line);
    void noteCommand(const QString &line);
    void noteTokenChallenge(const QString &line);
    void resetTransferState();

    std::shared_ptr<const HostResolver> m_resolver;
    TraceSink m_trace;
    AbortCheck m_aborted;
    SessionSettings m_settings;
    SecretMask m_secrets;  // hides the password in every trace line, whatever the server says
    const Curl::Api *m_api = nullptr;  // set by the first connect
    void *m_curl = nullptr;
    struct curl_slist *m_resolve = nullptr;
    char m_errorBuffer[256] = {};

    // Per connection and per transfer, kept from libcurl's protocol trace.
    bool m_loginAsked = false;
    bool m_loggedIn = false;
    bool m_authInProgress = false;
    bool m_loginMissing = false;
    bool m_tlsRequiredByPolicy = false;
    bool m_answering = false;  // the server answered the last command: QUIT may be said
    bool m_bearer = false;
    QString m_tokenStatus;  // what the server said about a refused token
    bool m_smtpUtf8 = false;  // the last EHLO reply offered SMTPUTF8
    QString m_lastReply;
    QString m_hostName;

    // The message being sent.
    const QByteArray *m_data = nullptr;
    qint64 m_offset = 0;
    const ProgressSink *m_progress = nullptr;
};
