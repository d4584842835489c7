#pragma once

#include "mail/host_resolver.h"
#include "mail/mail_session.h"
#include "mail/mime_writer.h"

#include <QObject>
#include <QString>
#include <QThread>
#include <atomic>
#include <memory>

class QEventLoop;

// The numbers the control's Action, Flags and Protocol properties take.
namespace MailAction {
inline constexpr short ClosePart = 2;      // ends the part opened last
inline constexpr short OpenPart = 4;       // opens a part ...
inline constexpr short ActivatePart = 7;   // ... and makes it the one the content properties fill
inline constexpr short AttachFile = 9;     // puts the AttachmentPath file into the current part
inline constexpr short BeginMessage = 11;  // starts a new message
inline constexpr short Send = 15;          // sends the message
}  // namespace MailAction

namespace MailFlags {
inline constexpr long AttachmentPart = 130;
inline constexpr long SendMessage = 72;
}  // namespace MailFlags

namespace MailProtocolCode {
inline constexpr long Smtp = 0;
inline constexpr long Pop3 = 1;
inline constexpr long Esmtp = 2;
}  // namespace MailProtocolCode

// The mail control of the message form: properties, actions and events under the
// names of the mail-transfer control it replaces, on our MIME writer and libcurl.
//
// Promises:
// - With Blocking false, Connect, Disconnect and Action 15 return at once and end in
//   exactly one Done or one Error, emitted on the thread that owns the control.
//   Disconnect ends in Done also when the connection was already lost; a Disconnect
//   followed by a Connect reports only the Connect. A Connect or Action 15 while
//   another of them is under way is ignored and reports nothing.
// - With Blocking true, every call has finished on return and GetResultCode() tells
//   the outcome; no event is emitted. While waiting, the calling thread goes on
//   handling its other events except user input, so windows keep painting.
// - Nothing throws: failures are result codes and Error events.
// - Destroying the control aborts a transfer under way and waits for the worker.
class CMail : public QObject
{
    Q_OBJECT
public:
    explicit CMail(QObject *parent = nullptr);
    ~CMail() override;

    // One of the MailAction numbers.
    void SetAction(short action);
    void SetBlocking(bool blocking) { m_blocking = blocking; }
    void SetContentDisposition(const QString &value);
    void SetContentSubtype(const QString &value);
    void SetContentParameters(const QString &value);
    void SetContentTransferEncoding(const QString &value);
    void SetContentType(const QString &value);
    void SetDate(const QString &value) { m_composer.headers.dateText = value; }
    void SetDebug(short debug) { m_debug = debug; }
    void SetFrom(const QString &value) { m_composer.headers.from = value; }
    // Accepted for the callers' sake; the writer needs no flags.
    void SetFlags(long flags) { m_flags = flags; }
    void SetReplyTo(const QString &value) { m_composer.headers.replyTo = value; }
    void SetHostName(const QString &value) { m_settings.host = value; }
    void SetUserName(const QString &value) { m_settings.user = value; }
    void SetPassword(const QString &value) { m_settings.password = value; }
    // An OAuth2 access token for the next Connect; empty for the password login.
    void SetBearerToken(const QString &token) { m_settings.bearerToken = token; }
    void SetAttachmentPath(const QString &value) { m_attachmentPath = value; }
    void SetSubject(const QString &value) { m_composer.headers.subject = value; }
    void SetTimeout(short seconds) { m_settings.timeoutSeconds = seconds; }
    void SetTo(const QString &value) { m_composer.headers.to = value; }
    void SetBoundary(const QString &value) { m_composer.headers.boundary = value; }
    void SetProtocol(long protocol) { m_settings.protocol = int(protocol); }
    void SetMessageId(const QString &value) { m_composer.headers.messageTag = value; }
    void SetCc(const QString &value) { m_composer.headers.cc = value; }
    short GetResultCode() const { return short(m_resultCode); }
    void SetAuthenticate(long value) { m_settings.authenticate = int(value); }
    void Connect();
    void Disconnect();
    void SetBodyText(short index, const QString &text);

    // Text of the last failure (of an action, a blocking call or an event).
    const QString &GetErrorText() const { return m_errorText; }
    // A connect, disconnect or send reported by event is under way.
    bool isBusy() const { return m_pending != Op::None; }
    // The name service used for the servers; the system's unless replaced.
    void setResolver(std::shared_ptr<const HostResolver> resolver);
    std::shared_ptr<const HostResolver> resolver() const { return m_resolver; }

signals:
    void Trace(const QString &text);
    void Error(short code, const QString &description);
    void Progress(long sent, long total);
    void Done();

private:
    enum class Op { None, Connect, Disconnect, Send };
    struct Job
    {
        quint64 id = 0;
        bool blocking = false;
        bool debug = false;
    };

    void send();
    quint64 startJob(Op op, bool blocking);
    void runOnWorker(const Job &job, std::function<SessionResult()> work);
    void finish(quint64 id, const SessionResult &result);
    void waitFor(quint64 id);
    void setResult(int code, const QString &text);
    void postTrace(const QString &line);
    void postProgress(qint64 sent, qint64 total);
    bool abortRequested() const;

    // Owned by the thread that made the control.
    MimeComposer m_composer;
    SessionSettings m_settings;
    QString m_attachmentPath;
    bool m_blocking = false;
    short m_debug = 0;
    long m_flags = 0;
    int m_resultCode = 0;
    QString m_errorText;
    Op m_pending = Op::None;
    quint64 m_pendingId = 0;
    quint64 m_nextId = 1;
    quint64 m_waitId = 0;
    bool m_waitDone = false;
    SessionResult m_waitResult;
    QEventLoop *m_waitLoop = nullptr;
    std::shared_ptr<const HostResolver> m_resolver;

    // Shared with the worker.
    std::atomic<bool> m_shutdown{false};
    std::atomic<quint64> m_cancelId{0};

    // Used only on the worker thread once it runs.
    Job m_workerJob;
    qint64 m_lastProgress = 0;
    std::unique_ptr<MailSession> m_session;

    QThread m_thread;
    QObject *m_workerContext = nullptr;
};
