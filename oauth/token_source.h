#pragma once

#include "oauth/oauth_config.h"

#include <QObject>
#include <QUrl>
#include <functional>

// Opens a page in the user's browser; false when no browser could be started.
using BrowserOpener = std::function<bool(const QUrl &)>;

// Whose tokens: a profile, its account and the provider its servers call for.
struct OAuthLogin
{
    QString profile;
    QString user;
    OAuthProvider provider;
};

// Where the mail stages get their OAuth2 access tokens. Every call returns at once
// and answers later, on this object's thread, with exactly one of tokenReady,
// signInNeeded or failed.
class TokenSource : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // A valid access token; signInNeeded when no sign-in is kept or it was refused.
    virtual void requestToken(const OAuthLogin &login) = 0;
    // The sign-in in the browser; answers with the access token.
    virtual void signIn(const OAuthLogin &login) = 0;
    // A server refused this access token: the next request renews it.
    virtual void discardAccessToken(const OAuthLogin &login) = 0;

signals:
    void tokenReady(const QString &accessToken);
    void signInNeeded(const QString &line);
    void failed(const QString &line);
};
