#pragma once

#include "oauth/browser_sign_in.h"
#include "oauth/oauth_config.h"
#include "oauth/secret_store.h"
#include "oauth/token_source.h"

#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QPointer>

class QNetworkAccessManager;

// The OAuth2 tokens of the mail profiles. The refresh token lives only in the desktop's
// secret store, keyed by profile name and account; access tokens live only in memory.
// Nothing here blocks: every call returns at once and answers later, on this object's
// thread, with exactly one of tokenReady, signInNeeded or failed. One call runs at a
// time; a call made while another runs is answered with failed.
class OAuthAccount : public TokenSource
{
    Q_OBJECT
public:
    // An access token with less than this left is renewed before it is handed out.
    static constexpr int RefreshMarginSeconds = 60;

    explicit OAuthAccount(BrowserOpener browser, QObject *parent = nullptr);
    ~OAuthAccount() override;

    // A valid access token: the one in memory, else one renewed with the stored
    // refresh token. signInNeeded when there is none or the provider refuses it.
    void requestToken(const OAuthLogin &login) override;
    // The sign-in in the browser; keeps the refresh token and answers with the access token.
    void signIn(const OAuthLogin &login) override;
    // A server refused this access token: the next request renews it.
    void discardAccessToken(const OAuthLogin &login) override;
    // Ends a sign-in under way (its answer is failed); a renewal is left to finish.
    void cancel();
    bool isBusy() const { return m_busy; }

private:
    struct Held
    {
        QString token;
        QDateTime expiresAt;  // UTC
    };
    static QString cacheKey(const OAuthLogin &login);
    bool begin(const OAuthLogin &login);
    void renew(const OAuthLogin &login, const QString &refreshToken);
    void keepTokens(const OAuthLogin &login, const TokenReply &tokens, const QString &storedRefresh);
    void hold(const OAuthLogin &login, const TokenReply &tokens);
    void answer(void (TokenSource::*signal)(const QString &), const QString &text);

    BrowserOpener m_browser;
    SecretStore m_store;
    QNetworkAccessManager *m_network;
    QPointer<BrowserSignIn> m_signIn;
    QHash<QString, Held> m_held;
    bool m_busy = false;
};
