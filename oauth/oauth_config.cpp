#include "oauth/oauth_config.h"

#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

QString OAuthSetup::notice() const
{
    if (road != SignInRoad::NoClientId)
        return {};
    return QStringLiteral("No client ID for %1: add one to oauth2.conf to sign in with the browser.")
        .arg(provider.title);
}

QString OAuthConfig::systemFile()
{
    return qEnvironmentVariable("ORVANTO_OAUTH2_SYSTEM_CONF", QStringLiteral("/etc/orvanto/oauth2.conf"));
}

QString OAuthConfig::userFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
           + QStringLiteral("/Orvanto/oauth2.conf");
}

OAuthConfig OAuthConfig::load(const QString &systemFile, const QString &userFile)
{
    OAuthConfig config;
    config.read(systemFile);
    config.read(userFile);
    return config;
}

void OAuthConfig::read(const QString &file)
{
    if (file.isEmpty() || !QFileInfo(file).isFile())
        return;
    QSettings ini(file, QSettings::IniFormat);
    for (const QString &group : ini.childGroups()) {
        ini.beginGroup(group);
        QHash<QString, QString> values;
        for (const QString &key : ini.childKeys()) {
            // A value with a comma written without quotes reads as a list.
            const QVariant v = ini.value(key);
            values.insert(key, v.typeId() == QMetaType::QStringList ? v.toStringList().join(QLatin1Char(','))
                                                                     : v.toString().trimmed());
        }
        ini.endGroup();
        m_groups.insert(group.toLower(), values);
    }
}

OAuthSetup OAuthConfig::setupFor(const QString &incoming, const QString &outgoing) const
{
    OAuthSetup setup;
    const OAuthPreset *preset = presetForServers(incoming, outgoing);
    if (!preset)
        return setup;
    const QHash<QString, QString> values = m_groups.value(preset->id);
    OAuthProvider &p = setup.provider;
    p.presetId = preset->id;
    p.title = preset->title;
    p.endpoints = preset->endpoints;
    p.extraAuthorizationParameters = preset->extraAuthorizationParameters;
    p.clientId = values.value(QStringLiteral("client_id"));
    p.clientSecret = values.value(QStringLiteral("client_secret"));
    if (values.contains(QStringLiteral("authorization_url")))
        p.endpoints.authorizationUrl = QUrl(values.value(QStringLiteral("authorization_url")));
    if (values.contains(QStringLiteral("token_url")))
        p.endpoints.tokenUrl = QUrl(values.value(QStringLiteral("token_url")));
    if (values.contains(QStringLiteral("scope")))
        p.endpoints.scope = values.value(QStringLiteral("scope"));
    setup.road = p.clientId.isEmpty() ? SignInRoad::NoClientId : SignInRoad::Browser;
    return setup;
}
