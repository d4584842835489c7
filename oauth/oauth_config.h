#pragma once

#include "oauth/oauth_presets.h"

#include <QHash>
#include <QString>

// A preset with the client registration an organisation wrote into oauth2.conf.
struct OAuthProvider
{
    QString presetId;
    QString title;
    OAuthEndpoints endpoints;
    QList<std::pair<QString, QString>> extraAuthorizationParameters;
    QString clientId;
    QString clientSecret;  // Google's installed-program clients have one; it is no real secret
};

// How a profile signs in, which follows from its servers and oauth2.conf.
enum class SignInRoad { Password, NoClientId, Browser };

struct OAuthSetup
{
    SignInRoad road = SignInRoad::Password;
    OAuthProvider provider;  // set unless the road is Password
    // The one line the settings dialog shows instead of the sign-in (NoClientId only).
    QString notice() const;
};

// oauth2.conf: one INI group per preset ([google], [microsoft]) with client_id, an
// optional client_secret and optional authorization_url, token_url and scope for an
// organisation's own identity server. A preset's group in the per-user file replaces
// its group in the system-wide file as a whole.
class OAuthConfig
{
public:
    // $ORVANTO_OAUTH2_SYSTEM_CONF when set, else /etc/orvanto/oauth2.conf.
    static QString systemFile();
    // Orvanto/oauth2.conf under $XDG_CONFIG_HOME (~/.config).
    static QString userFile();
    static OAuthConfig load(const QString &systemFile = OAuthConfig::systemFile(),
                            const QString &userFile = OAuthConfig::userFile());

    OAuthSetup setupFor(const QString &incoming, const QString &outgoing) const;

private:
    void read(const QString &file);
    QHash<QString, QHash<QString, QString>> m_groups;
};
