#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <utility>

// Where a provider signs users in and what a mail client asks for.
struct OAuthEndpoints
{
    QUrl authorizationUrl;
    QUrl tokenUrl;
    QString scope;  // space-separated
};

// A mail provider that takes OAuth2 tokens instead of passwords, known by its servers.
struct OAuthPreset
{
    QString id;     // the group name in oauth2.conf
    QString title;  // for the user: "Google", "Microsoft"
    QStringList hosts;
    OAuthEndpoints endpoints;
    // Added to the authorization request: what the provider needs to hand out a
    // refresh token to an installed program.
    QList<std::pair<QString, QString>> extraAuthorizationParameters;
};

const QList<OAuthPreset> &oauthPresets();

// The host name of a server field ("name", "name:port", "[v6]:port"), lower-case.
QString serverHostName(const QString &server);

// The preset whose servers include the incoming or else the outgoing host; nullptr for
// every other pair of servers, which keeps the password login.
const OAuthPreset *presetForServers(const QString &incoming, const QString &outgoing);
