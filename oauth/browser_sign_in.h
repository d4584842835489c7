#pragma once

#include "oauth/oauth_config.h"
#include "oauth/token_reply.h"
#include "oauth/token_source.h"

#include <QObject>
#include <QTimer>
#include <functional>

class QNetworkAccessManager;
class QNetworkReply;
class QOAuth2AuthorizationCodeFlow;
class QOAuthHttpServerReplyHandler;

// One sign-in in the browser: the authorization-code flow with PKCE (S256) and a
// redirect to a loopback port on 127.0.0.1 that listens only while it runs.
// Ends in exactly one of granted or failed.
class BrowserSignIn : public QObject
{
    Q_OBJECT
public:
    BrowserSignIn(const OAuthProvider &provider, const QString &user, BrowserOpener browser,
                  QObject *parent = nullptr);
    ~BrowserSignIn() override;

    // Opens the browser at the provider's page; the outcome follows later.
    void start();
    // Ends the sign-in (a user who never comes back) with failed.
    static constexpr int TimeoutMs = 5 * 60 * 1000;

    // RFC 7636: a verifier of 43 to 128 unreserved characters and its S256 challenge.
    static QByteArray makeVerifier();
    static QByteArray challengeOf(const QByteArray &verifier);

signals:
    void granted(const TokenReply &tokens);
    void failed(const QString &text);

private:
    void finishFailed(const QString &text);
    void onTokenReply(QNetworkReply *reply);

    OAuthProvider m_provider;
    QString m_user;
    BrowserOpener m_browser;
    QNetworkAccessManager *m_network;  // its own: every reply it sees is this flow's
    QByteArray m_verifier;
    QOAuthHttpServerReplyHandler *m_handler = nullptr;
    QOAuth2AuthorizationCodeFlow *m_flow = nullptr;
    QTimer m_timeout;
    bool m_finished = false;
};
