#include "oauth/oauth_account.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>

OAuthAccount::OAuthAccount(BrowserOpener browser, QObject *parent)
    : TokenSource(parent), m_browser(std::move(browser)), m_network(new QNetworkAccessManager(this))
{
}

OAuthAccount::~OAuthAccount() = default;

QString OAuthAccount::cacheKey(const OAuthLogin &login)
{
    return login.provider.presetId + QLatin1Char('\n') + login.provider.clientId + QLatin1Char('\n')
           + SecretStore::refreshTokenKey(login.profile, login.user);
}

void OAuthAccount::answer(void (TokenSource::*signal)(const QString &), const QString &text)
{
    m_busy = false;
    // Always later, so that a caller connects after calling and still hears it.
    QMetaObject::invokeMethod(this, [this, signal, text] { emit(this->*signal)(text); }, Qt::QueuedConnection);
}

bool OAuthAccount::begin(const OAuthLogin &login)
{
    if (m_busy) {
        QMetaObject::invokeMethod(
            this, [this] { emit failed(QStringLiteral("Another sign-in is under way")); }, Qt::QueuedConnection);
        return false;
    }
    const OAuthEndpoints &e = login.provider.endpoints;
    if (login.provider.clientId.isEmpty()) {
        answer(&OAuthAccount::failed, QStringLiteral("No client ID for %1 in oauth2.conf").arg(login.provider.title));
        return false;
    }
    if (!isSafeEndpoint(e.authorizationUrl) || !isSafeEndpoint(e.tokenUrl)) {
        answer(&OAuthAccount::failed,
               QStringLiteral("The sign-in addresses for %1 must use https").arg(login.provider.title));
        return false;
    }
    m_busy = true;
    return true;
}

void OAuthAccount::requestToken(const OAuthLogin &login)
{
    if (!begin(login))
        return;
    const auto held = m_held.constFind(cacheKey(login));
    if (held != m_held.constEnd()
        && QDateTime::currentDateTimeUtc().secsTo(held->expiresAt) > RefreshMarginSeconds) {
        answer(&OAuthAccount::tokenReady, held->token);
        return;
    }
    QPointer<OAuthAccount> self(this);
    m_store.read(SecretStore::refreshTokenKey(login.profile, login.user), [self, login](const SecretStore::Result &r) {
        if (!self)
            return;
        if (r.missing)
            self->answer(&OAuthAccount::signInNeeded,
                         QStringLiteral("Please sign in first: no sign-in is kept for %1").arg(login.user));
        else if (!r.ok)
            self->answer(&OAuthAccount::failed, QStringLiteral("The secret store cannot be read: %1").arg(r.error));
        else
            self->renew(login, r.secret);
    });
}

void OAuthAccount::renew(const OAuthLogin &login, const QString &refreshToken)
{
    QList<std::pair<QString, QString>> form{{QStringLiteral("grant_type"), QStringLiteral("refresh_token")},
                                            {QStringLiteral("refresh_token"), refreshToken},
                                            {QStringLiteral("client_id"), login.provider.clientId}};
    if (!login.provider.clientSecret.isEmpty())
        form.append({QStringLiteral("client_secret"), login.provider.clientSecret});
    QNetworkReply *reply = postTokenForm(*m_network, login.provider.endpoints.tokenUrl, form);
    connect(reply, &QNetworkReply::finished, this, [this, reply, login, refreshToken] {
        reply->deleteLater();
        const TokenReply tokens = readTokenReply(reply);
        switch (tokens.outcome) {
        case TokenReply::Outcome::Granted:
            keepTokens(login, tokens, refreshToken);
            break;
        case TokenReply::Outcome::Refused: {
            // The provider will not take it again: forget it here and in the store.
            m_held.remove(cacheKey(login));
            QPointer<OAuthAccount> self(this);
            const QString line = QStringLiteral("Please sign in again: %1").arg(tokens.reason);
            m_store.remove(SecretStore::refreshTokenKey(login.profile, login.user),
                           [self, line](const SecretStore::Result &) {
                               if (self)
                                   self->answer(&OAuthAccount::signInNeeded, line);
                           });
            break;
        }
        case TokenReply::Outcome::Failed:
            answer(&OAuthAccount::failed, QStringLiteral("The sign-in could not be renewed: %1").arg(tokens.reason));
            break;
        }
    });
}

void OAuthAccount::signIn(const OAuthLogin &login)
{
    if (!begin(login))
        return;
    m_signIn = new BrowserSignIn(login.provider, login.user, m_browser, this);
    connect(m_signIn, &BrowserSignIn::granted, this, [this, login](const TokenReply &tokens) {
        m_signIn->deleteLater();  // closes the loopback port
        keepTokens(login, tokens, QString());
    });
    connect(m_signIn, &BrowserSignIn::failed, this, [this](const QString &text) {
        m_signIn->deleteLater();
        answer(&OAuthAccount::failed, text);
    });
    m_signIn->start();
}

void OAuthAccount::keepTokens(const OAuthLogin &login, const TokenReply &tokens, const QString &storedRefresh)
{
    if (tokens.refreshToken.isEmpty() || tokens.refreshToken == storedRefresh) {
        hold(login, tokens);
        answer(&OAuthAccount::tokenReady, tokens.accessToken);
        return;
    }
    QPointer<OAuthAccount> self(this);
    m_store.write(SecretStore::refreshTokenKey(login.profile, login.user), tokens.refreshToken,
                  [self, login, tokens](const SecretStore::Result &r) {
                      if (!self)
                          return;
                      if (!r.ok) {
                          self->answer(&OAuthAccount::failed,
                                       QStringLiteral("The secret store cannot keep the sign-in: %1").arg(r.error));
                          return;
                      }
                      self->hold(login, tokens);
                      self->answer(&OAuthAccount::tokenReady, tokens.accessToken);
                  });
}

void OAuthAccount::hold(const OAuthLogin &login, const TokenReply &tokens)
{
    // A token without a lifetime is used once and renewed before the next connection.
    if (tokens.expiresIn > 0)
        m_held.insert(cacheKey(login), {tokens.accessToken, QDateTime::currentDateTimeUtc().addSecs(tokens.expiresIn)});
    else
        m_held.remove(cacheKey(login));
}

void OAuthAccount::discardAccessToken(const OAuthLogin &login)
{
    m_held.remove(cacheKey(login));
}

void OAuthAccount::cancel()
{
    if (m_signIn) {
        m_signIn->disconnect(this);
        m_signIn->deleteLater();
        answer(&OAuthAccount::failed, QStringLiteral("The sign-in was cancelled"));
    }
}
