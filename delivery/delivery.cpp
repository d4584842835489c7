#include "delivery/delivery.h"

#include "compression/voice_compressor.h"
#include "mail/cmail.h"
#include "mail/mail_errors.h"
#include "oauth/signin_module.h"
#include "records/sent_records.h"

#include <QDateTime>
#include <QEventLoop>
#include <QFile>

Delivery::Delivery(CMail &mail, CVoiceCompressor &compressor, SettingsSource settings, QObject *parent)
    : QObject(parent), m_mail(mail), m_compressor(compressor), m_settings(std::move(settings))
{
    connect(&m_mail, &CMail::Done, this, &Delivery::onDone);
    connect(&m_mail, &CMail::Error, this, &Delivery::onError);
    connect(&m_mail, &CMail::Trace, this, &Delivery::trace);
    m_compressor.SetNotifyWindow(this);
    m_compressor.SetNotifyMessage([this](int result) { onJobEnded(result); });
}

Delivery::~Delivery() = default;

bool Delivery::signsInWithBrowser(const Account &account)
{
    return OAuthConfig::load().setupFor(account.incoming, account.outgoing).road == SignInRoad::Browser;
}

TokenSource &Delivery::signIn()
{
    if (!m_signIn) {
        m_signIn = std::make_unique<SignInModuleSource>([this](const QUrl &url) { return m_browser && m_browser(url); });
        connect(m_signIn.get(), &TokenSource::tokenReady, this, &Delivery::connectWithToken);
        connect(m_signIn.get(), &TokenSource::signInNeeded, this, &Delivery::endStageWithoutToken);
        connect(m_signIn.get(), &TokenSource::failed, this, &Delivery::endStageWithoutToken);
    }
    return *m_signIn;
}

QString Delivery::waitForAccessToken(const Account &account, QString &why)
{
    const OAuthSetup setup = OAuthConfig::load().setupFor(account.incoming, account.outgoing);
    const OAuthLogin login{account.name, account.user, setup.provider};
    TokenSource &tokens = signIn();
    QString token;
    QEventLoop wait;
    QObject context;
    connect(&tokens, &TokenSource::tokenReady, &context, [&](const QString &t) {
        token = t;
        wait.quit();
    });
    connect(&tokens, &TokenSource::failed, &context, [&](const QString &line) {
        why = line;
        wait.quit();
    });
    // No sign-in kept: the browser's turn.
    connect(&tokens, &TokenSource::signInNeeded, &context, [&] { tokens.signIn(login); });
    tokens.requestToken(login);
    wait.exec(QEventLoop::ExcludeUserInputEvents);
    return token;
}

void Delivery::signInWithBrowser(const Account &account, std::function<void(bool, const QString &)> done)
{
    const OAuthSetup setup = OAuthConfig::load().setupFor(account.incoming, account.outgoing);
    TokenSource &tokens = signIn();
    auto *context = new QObject(this);  // one answer, then gone
    auto answer = [context, done](bool ok, const QString &line) {
        context->deleteLater();
        done(ok, line);
    };
    connect(&tokens, &TokenSource::tokenReady, context, [answer, setup] {
        answer(true, QStringLiteral("Signed in: messages go through %1 without a password.").arg(setup.provider.title));
    });
    connect(&tokens, &TokenSource::signInNeeded, context, [answer](const QString &line) { answer(false, line); });
    connect(&tokens, &TokenSource::failed, context, [answer](const QString &line) { answer(false, line); });
    tokens.signIn({account.name, account.user, setup.provider});
}

std::optional<OAuthLogin> Delivery::browserLogin() const
{
    const Account a = m_settings().account;
    const OAuthSetup setup = OAuthConfig::load().setupFor(a.incoming, a.outgoing);
    if (setup.road != SignInRoad::Browser)
        return std::nullopt;
    return OAuthLogin{a.name, a.user, setup.provider};
}

bool Delivery::isConnected() const
{
    switch (m_state) {
    case State::Connected:
    case State::Compressing:
    case State::Sending:
    case State::Closing: return true;
    default: return false;
    }
}

bool Delivery::isCompressing() const
{
    return m_compressor.IsRunning();
}

void Delivery::setState(State state)
{
    if (state == m_state)
        return;
    m_state = state;
    if (state == State::Disconnected)
        m_sendRequested = false;
    emit stateChanged(state);
    noteLock();
}

void Delivery::noteLock()
{
    const bool locked = isLocked();
    if (locked == m_lockShown)
        return;
    m_lockShown = locked;
    emit lockChanged(locked);
}

void Delivery::connectServer()
{
    if (m_state != State::Disconnected)
        return;
    const ConnectionSettings s = m_settings();
    m_tokenRetried = false;
    emit connecting(s.account.outgoing);
    setState(m_pop3Done ? State::ConnectingOutgoing : State::LoggingIn);
    startStage();
}

// Every stage takes its host, login and protocol from the current settings, so no
// property of an earlier stage or an earlier account lingers on the control.
void Delivery::startStage()
{
    const ConnectionSettings s = m_settings();
    const Account &a = s.account;
    const bool pop3 = m_state == State::LoggingIn;
    const bool esmtp = a.protocol == MailProtocol::Esmtp;
    m_mail.SetHostName(pop3 ? a.incoming : a.outgoing);
    m_mail.SetUserName(a.user);
    m_mail.SetPassword(pop3 || a.outgoingLogsIn() ? a.password : QString());
    m_mail.SetTimeout(short(s.timeoutSeconds));
    m_mail.SetAuthenticate(!pop3 && esmtp ? 1 : 0);
    m_mail.SetProtocol(pop3 ? MailProtocolCode::Pop3 : esmtp ? MailProtocolCode::Esmtp : MailProtocolCode::Smtp);
    m_mail.SetBlocking(false);
    m_mail.SetDebug(s.trace ? 1 : 0);
    m_mail.SetBearerToken(QString());
    if (const std::optional<OAuthLogin> login = browserLogin()) {
        // The stage goes on when the token is there (connectWithToken).
        m_mail.SetPassword(QString());
        signIn().requestToken(*login);
        return;
    }
    m_mail.Connect();
}

void Delivery::connectWithToken(const QString &token)
{
    if (!isConnecting())
        return;  // a token asked for by the settings dialog
    m_mail.SetBearerToken(token);
    m_mail.Connect();
}

void Delivery::endStageWithoutToken(const QString &line)
{
    if (!isConnecting())
        return;
    setState(State::Disconnected);
    emit signInFailed(line);
}

void Delivery::disconnectServer()
{
    if (!isConnected() || m_state == State::Closing)
        return;
    m_mail.SetDebug(0);
    // An abandoned composition leaves the control blocking; closing is always reported.
    m_mail.SetBlocking(false);
    setState(State::Closing);
    m_mail.Disconnect();
}

bool Delivery::compress(const VoiceJob &job)
{
    m_compressor.SetVoiceFormat(job.format);
    m_compressor.SetVoiceTags(job.tags);
    if (isCompressing() || !m_compressor.SetSourceFile(job.source))
        return false;
    m_jobSource = job.source;
    m_compressedFile = job.voiceFile;
    m_infoFile = SentRecordPath(job.voiceFile);
    m_lastCompressed = job.voiceFile;
    m_lastRecording = job.recording;
    m_compressor.SetCompressedFile(job.voiceFile);
    m_compressor.StartThread();
    if (m_state == State::Connected)
        setState(State::Compressing);
    noteLock();
    return true;
}

void Delivery::onJobEnded(int result)
{
    if (m_jobSource != m_lastRecording)
        QFile::remove(m_jobSource);
    m_jobSource.clear();
    if (result)
        m_voiceFile = m_lastRecording;
    else
        m_lastCompressed.clear();
    if (m_state == State::Compressing)
        setState(State::Connected);
    noteLock();
    emit compressionFinished(result);
    m_compressedFile.clear();
}

bool Delivery::handOver(Handover kind)
{
    if (m_state != State::Connected || m_mail.isBusy())
        return false;
    m_mail.SetFlags(MailFlags::SendMessage);
    m_mail.SetBlocking(false);
    m_sendStart = QDateTime::currentSecsSinceEpoch();
    m_handedOver = kind;
    setState(State::Sending);
    m_mail.SetAction(MailAction::Send);
    return true;
}

void Delivery::completeVoice(const QString &recipient)
{
    if (!m_voiceFile.isEmpty())
        QFile::remove(m_voiceFile);
    m_voiceFile.clear();
    if (!m_infoFile.isEmpty()) {
        WriteSentRecord(m_infoFile, recipient);
        // Written once: a later message never rewrites this record.
        m_infoFile.clear();
    }
    m_lastCompressed.clear();
    m_lastRecording.clear();
}

QString Delivery::takeBackVoice(QString &attachments)
{
    if (m_lastCompressed.isEmpty() || !attachments.contains(m_lastCompressed))
        return QString();
    attachments.remove(m_lastCompressed + QLatin1Char(','));
    attachments.remove(m_lastCompressed);
    return m_lastRecording;
}

void Delivery::onDone()
{
    switch (m_state) {
    case State::LoggingIn:
        // The POP3 login is done: on to the outgoing server, one event later.
        m_pop3Done = true;
        m_mail.Disconnect();
        setState(State::ConnectingOutgoing);
        startStage();
        break;
    case State::ConnectingOutgoing:
        setState(State::Connected);
        emit connected();
        break;
    case State::Sending: {
        const Handover kind = std::exchange(m_handedOver, Handover::None);
        setState(State::Connected);
        emit sent(kind, int(QDateTime::currentSecsSinceEpoch() - m_sendStart));
        break;
    }
    case State::Closing:
        setState(State::Disconnected);
        emit disconnected(isCompressing());
        break;
    default:
        break;  // a completion no request explains changes nothing
    }
}

void Delivery::onError(short code, const QString &description)
{
    if (code == MailCode::ConnectedInfo || code == MailCode::ConnectedInfoAlt) {
        onDone();
        return;
    }
    switch (m_state) {
    case State::LoggingIn:
    case State::ConnectingOutgoing:
        if (code == MailCode::TokenRefused && !std::exchange(m_tokenRetried, true)) {
            // An access token the server no longer takes: renewed once, then tried again.
            if (const std::optional<OAuthLogin> login = browserLogin()) {
                signIn().discardAccessToken(*login);
                startStage();
                return;
            }
        }
        setState(State::Disconnected);
        break;
    case State::Sending:
        m_handedOver = Handover::None;
        setState(State::Connected);
        break;
    case State::Closing:
        setState(State::Disconnected);
        break;
    default:
        break;
    }
    m_sendRequested = false;
    emit failed(code, description);
}
