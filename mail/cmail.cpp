#include "mail/cmail.h"

#include "mail/mail_errors.h"

#include <QElapsedTimer>
#include <QEventLoop>

namespace {

// Progress is reported at most every 32 KiB and at the end.
constexpr qint64 ProgressStep = 32 * 1024;

}  // namespace

CMail::CMail(QObject *parent)
    : QObject(parent), m_resolver(std::make_shared<SystemResolver>())
{
    m_session = std::make_unique<MailSession>(
        m_resolver, [this](const QString &line) { postTrace(line); }, [this] { return abortRequested(); });
    m_workerContext = new QObject;  // deleted in the destructor, after the thread ended
    m_workerContext->moveToThread(&m_thread);
    // The worker starts with the first connection; libcurl is loaded there too.
    m_thread.setObjectName(QStringLiteral("mail"));
}

CMail::~CMail()
{
    m_shutdown = true;
    m_thread.quit();
    m_thread.wait();
    delete m_workerContext;
    m_session.reset();
}

void CMail::setResolver(std::shared_ptr<const HostResolver> resolver)
{
    m_resolver = std::move(resolver);
}

bool CMail::abortRequested() const
{
    return m_shutdown || (m_workerJob.id != 0 && m_cancelId.load() == m_workerJob.id);
}

void CMail::setResult(int code, const QString &text)
{
    m_resultCode = code;
    m_errorText = text;
}

void CMail::SetContentDisposition(const QString &value) { m_composer.current().disposition = value; }
void CMail::SetContentSubtype(const QString &value) { m_composer.current().contentSubtype = value; }
void CMail::SetContentParameters(const QString &value) { m_composer.current().contentParameters = value; }
void CMail::SetContentTransferEncoding(const QString &value) { m_composer.current().transferEncoding = value; }
void CMail::SetContentType(const QString &value) { m_composer.current().contentType = value; }

void CMail::SetBodyText(short index, const QString &text)
{
    if (index != 0) {
        setResult(MailCode::BadAction, QStringLiteral("Only body text 0 exists"));
        return;
    }
    m_composer.current().bodyText = text;
    m_composer.current().hasBody = true;
    setResult(0, {});
}

void CMail::SetAction(short action)
{
    bool ok = true;
    switch (action) {
    case MailAction::BeginMessage: m_composer.begin(); break;
    case MailAction::OpenPart: ok = m_composer.openPart(); break;
    case MailAction::ActivatePart: ok = m_composer.activatePart(); break;
    case MailAction::AttachFile:
        ok = m_composer.attachFile(m_attachmentPath);
        if (!ok) {
            setResult(MailCode::FileUnreadable, m_attachmentPath + QStringLiteral(": ") + m_composer.errorText());
            return;
        }
        break;
    case MailAction::ClosePart: ok = m_composer.closePart(); break;
    case MailAction::Send: send(); return;
    default:
        setResult(MailCode::BadAction, QStringLiteral("Unknown action %1").arg(action));
        return;
    }
    if (ok)
        setResult(0, {});
    else
        setResult(MailCode::BadAction, m_composer.errorText());
}

quint64 CMail::startJob(Op op, bool blocking)
{
    const quint64 id = m_nextId++;
    if (!blocking) {
        m_pending = op;
        m_pendingId = id;
    }
    setResult(0, {});
    return id;
}

void CMail::runOnWorker(const Job &job, std::function<SessionResult()> work)
{
    if (!m_thread.isRunning())
        m_thread.start();
    QMetaObject::invokeMethod(
        m_workerContext,
        [this, job, work = std::move(work)] {
            m_workerJob = job;
            m_lastProgress = 0;
            SessionResult result;
            if (m_shutdown || m_cancelId.load() == job.id)
                result = {MailCode::Cancelled, QStringLiteral("Cancelled")};
            else
                result = work();
            m_workerJob = Job();
            QMetaObject::invokeMethod(this, [this, id = job.id, result] { finish(id, result); }, Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

void CMail::Connect()
{
    if (!m_blocking && (m_pending == Op::Connect || m_pending == Op::Send))
        return;
    const Job job{startJob(Op::Connect, m_blocking), m_blocking, m_debug == 1};
    const SessionSettings settings = m_settings;
    auto resolver = m_resolver;
    runOnWorker(job, [this, settings, resolver] {
        m_session->setResolver(resolver);
        return m_session->connect(settings);
    });
    if (job.blocking)
        waitFor(job.id);
}

void CMail::Disconnect()
{
    if (!m_blocking && (m_pending == Op::Connect || m_pending == Op::Send))
        m_cancelId = m_pendingId;
    const Job job{startJob(Op::Disconnect, m_blocking), m_blocking, m_debug == 1};
    runOnWorker(job, [this] {
        m_session->disconnect();
        return SessionResult();
    });
    if (job.blocking)
        waitFor(job.id);
}

void CMail::send()
{
    if (!m_blocking && (m_pending == Op::Connect || m_pending == Op::Send))
        return;
    const QString fallbackDomain = QStringLiteral("localhost");
    auto message = std::make_shared<ComposedMessage>(m_composer.compose(fallbackDomain));
    const Job job{startJob(Op::Send, m_blocking), m_blocking, m_debug == 1};
    if (!message->error.isEmpty()) {
        const SessionResult refused{MailCode::BadMessage, message->error};
        if (job.blocking) {
            setResult(refused.code, refused.text);
        } else {
            QMetaObject::invokeMethod(this, [this, id = job.id, refused] { finish(id, refused); },
                                      Qt::QueuedConnection);
        }
        return;
    }
    const SessionSettings settings = m_settings;
    auto resolver = m_resolver;
    runOnWorker(job, [this, settings, resolver, message] {
        if (!m_session->isOpen()) {
            m_session->setResolver(resolver);
            const SessionResult connected = m_session->connect(settings);
            if (!connected.ok())
                return connected;
        }
        return m_session->send(*message, [this](qint64 sent, qint64 total) { postProgress(sent, total); });
    });
    if (job.blocking)
        waitFor(job.id);
}

void CMail::waitFor(quint64 id)
{
    if (m_waitId != 0) {
        // A blocking call from inside another one's wait: refused, the first still waits.
        setResult(MailCode::BadAction, QStringLiteral("Another blocking call is under way"));
        return;
    }
    m_waitId = id;
    m_waitDone = false;
    QEventLoop loop;
    m_waitLoop = &loop;
    if (!m_waitDone)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    m_waitLoop = nullptr;
    m_waitId = 0;
    setResult(m_waitResult.code, m_waitResult.text);
}

void CMail::finish(quint64 id, const SessionResult &result)
{
    if (id == m_waitId) {
        m_waitResult = result;
        m_waitDone = true;
        if (m_waitLoop)
            m_waitLoop->quit();
        return;
    }
    if (id != m_pendingId)
        return;  // superseded by a later Disconnect or Connect
    m_pending = Op::None;
    m_pendingId = 0;
    setResult(result.code, result.text);
    if (result.ok())
        emit Done();
    else
        emit Error(short(result.code), result.text);
}

void CMail::postTrace(const QString &line)
{
    if (m_shutdown || !m_workerJob.debug || m_workerJob.blocking)
        return;
    QMetaObject::invokeMethod(this, [this, line] { emit Trace(line); }, Qt::QueuedConnection);
}

void CMail::postProgress(qint64 sent, qint64 total)
{
    if (m_shutdown || m_workerJob.blocking)
        return;
    if (sent < total && sent - m_lastProgress < ProgressStep)
        return;
    m_lastProgress = sent;
    QMetaObject::invokeMethod(this, [this, sent, total] { emit Progress(long(sent), long(total)); },
                              Qt::QueuedConnection);
}
