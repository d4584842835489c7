#pragma once

#include "tests/support/mail/mail_servers.h"

#include <QJsonArray>
#include <QNetworkAccessManager>
#include <QUrl>
#include <functional>

// The OAuth2 side of the tests: a real authorization server on 127.0.0.1 (auth_server.py,
// authlib) and a user agent that does what the user's browser would. Tests that keep
// tokens run under with-secret-store.sh, which gives them a real secret store.
namespace OAuthTest {

// The server's client with a secret, as Google's installed-program clients have.
inline constexpr char SecretClient[] = "orvanto-secret";
inline constexpr char ClientSecret[] = "s3cret";

class AuthServer : public MailTest::ServerProcess
{
public:
    bool start();
    QUrl url(const QString &path) const { return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(port).arg(path)); }
    QString introspectionUrl() const { return url(QStringLiteral("/introspect")).toString(); }

    // Control of the server: the lifetime of access tokens issued from now on, the
    // end of every access token or every refresh token issued so far.
    bool setLifetime(int seconds) { return control(QStringLiteral("lifetime?seconds=%1").arg(seconds)); }
    bool expireAccessTokens() { return control(QStringLiteral("expire")); }
    bool revokeRefreshTokens() { return control(QStringLiteral("revoke")); }

    // Writes oauth2.conf with a group for the preset that points at this server, for the
    // client with a secret.
    bool writeConfig(const QString &file, const QString &presetId) const;

private:
    bool control(const QString &what);
};

// Plays the user's browser: follows the authorization address to the program's
// loopback redirect, without a person.
class UserAgent
{
public:
    bool open(const QUrl &url);
    std::function<bool(const QUrl &)> opener() { return [this](const QUrl &url) { return open(url); }; }
    QString challenge;  // when set, replaces the code challenge the program asked with
    int opened = 0;
    QUrl lastUrl;

private:
    QNetworkAccessManager m_network;
};

}  // namespace OAuthTest
