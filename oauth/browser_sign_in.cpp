#include "oauth/browser_sign_in.h"

#include <QCryptographicHash>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QOAuth2AuthorizationCodeFlow>
#include <QOAuthHttpServerReplyHandler>
#include <QRandomGenerator>

namespace {

QByteArray randomUrlSafe(int bytes)
{
    QByteArray raw(bytes, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32 *>(raw.data()), bytes / 4);
    return raw.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
}

}  // namespace

QByteArray BrowserSignIn::makeVerifier()
{
    return randomUrlSafe(48);  // 64 characters
}

QByteArray BrowserSignIn::challengeOf(const QByteArray &verifier)
{
    return QCryptographicHash::hash(verifier, QCryptographicHash::Sha256)
        .toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
}

BrowserSignIn::BrowserSignIn(const OAuthProvider &provider, const QString &user, BrowserOpener browser,
                             QObject *parent)
    : QObject(parent), m_provider(provider), m_user(user), m_browser(std::move(browser)),
      m_network(new QNetworkAccessManager(this))
{
    m_timeout.setSingleShot(true);
    connect(&m_timeout, &QTimer::timeout, this,
            [this] { finishFailed(QStringLiteral("The sign-in in the browser was not completed in time")); });
}

BrowserSignIn::~BrowserSignIn() = default;

void BrowserSignIn::start()
{
    using Stage = QAbstractOAuth::Stage;
    // Port 0: the system picks a free one; the redirect names it.
    m_handler = new QOAuthHttpServerReplyHandler(QHostAddress(QHostAddress::LocalHost), 0, this);
    if (!m_handler->isListening()) {
        finishFailed(QStringLiteral("No local port for the browser's answer could be opened"));
        return;
    }
    m_handler->setCallbackText(QStringLiteral("Orvanto has your sign-in. You may close this page."));
    m_flow = new QOAuth2AuthorizationCodeFlow(m_network, this);
    m_flow->setReplyHandler(m_handler);
    m_flow->setAuthorizationUrl(m_provider.endpoints.authorizationUrl);
    m_flow->setAccessTokenUrl(m_provider.endpoints.tokenUrl);
    m_flow->setClientIdentifier(m_provider.clientId);
    m_flow->setClientIdentifierSharedKey(m_provider.clientSecret);
    m_flow->setScope(m_provider.endpoints.scope);
    // A state of URL-safe characters survives every provider's encoding unchanged.
    m_flow->setState(QString::fromLatin1(randomUrlSafe(24)));
    m_verifier = makeVerifier();
    // Qt 6.4 knows no PKCE: the challenge goes with the authorization request and the
    // verifier with the token request.
    m_flow->setModifyParametersFunction([this](Stage stage, QMultiMap<QString, QVariant> *parameters) {
        if (stage == Stage::RequestingAuthorization) {
            parameters->insert(QStringLiteral("code_challenge"), challengeOf(m_verifier));
            parameters->insert(QStringLiteral("code_challenge_method"), QStringLiteral("S256"));
            if (!m_user.isEmpty())
                parameters->insert(QStringLiteral("login_hint"), m_user);
            for (const auto &[key, value] : m_provider.extraAuthorizationParameters)
                parameters->insert(key, value);
        } else if (stage == Stage::RequestingAccessToken) {
            parameters->insert(QStringLiteral("code_verifier"), m_verifier);
        }
    });
    connect(m_flow, &QAbstractOAuth::authorizeWithBrowser, this, [this](const QUrl &url) {
        if (!m_browser || !m_browser(url))
            finishFailed(QStringLiteral("No web browser could be opened for the sign-in"));
    });
    connect(m_flow, &QAbstractOAuth2::error, this,
            [this](const QString &error, const QString &description, const QUrl &) {
                finishFailed(QStringLiteral("The sign-in was refused: %1").arg(description.isEmpty() ? error : description));
            });
    connect(m_flow, &QAbstractOAuth::granted, this, [this] {
        if (m_finished)
            return;
        m_finished = true;
        m_timeout.stop();
        TokenReply tokens;
        tokens.outcome = TokenReply::Outcome::Granted;
        tokens.accessToken = m_flow->token();
        tokens.refreshToken = m_flow->refreshToken();
        tokens.expiresIn = m_flow->expirationAt().isValid()
                               ? QDateTime::currentDateTimeUtc().secsTo(m_flow->expirationAt())
                               : -1;
        emit granted(tokens);
    });
    // Qt 6.4's flow only warns when the token endpoint refuses the code (a wrong
    // verifier, an expired code): watch the answer to say why.
    connect(m_network, &QNetworkAccessManager::finished, this, &BrowserSignIn::onTokenReply);
    m_timeout.start(TimeoutMs);
    m_flow->grant();
}

void BrowserSignIn::onTokenReply(QNetworkReply *reply)
{
    if (reply->url() != m_provider.endpoints.tokenUrl || reply->error() == QNetworkReply::NoError)
        return;
    const QString reason = oauthErrorReason(reply->peek(reply->bytesAvailable()));
    finishFailed(QStringLiteral("The sign-in was refused: %1").arg(reason.isEmpty() ? reply->errorString() : reason));
}

void BrowserSignIn::finishFailed(const QString &text)
{
    if (m_finished)
        return;
    m_finished = true;
    m_timeout.stop();
    emit failed(text);
}
