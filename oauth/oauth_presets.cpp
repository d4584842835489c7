#include "oauth/oauth_presets.h"

const QList<OAuthPreset> &oauthPresets()
{
    static const QList<OAuthPreset> presets{
        {QStringLiteral("google"),
         QStringLiteral("Google"),
         {QStringLiteral("pop.gmail.com"), QStringLiteral("smtp.gmail.com")},
         {QUrl(QStringLiteral("https://accounts.google.com/o/oauth2/v2/auth")),
          QUrl(QStringLiteral("https://oauth2.googleapis.com/token")), QStringLiteral("https://mail.google.com/")},
         {{QStringLiteral("access_type"), QStringLiteral("offline")}, {QStringLiteral("prompt"), QStringLiteral("consent")}}},
        {QStringLiteral("microsoft"),
         QStringLiteral("Microsoft"),
         {QStringLiteral("outlook.office365.com"), QStringLiteral("smtp.office365.com"),
          QStringLiteral("smtp-mail.outlook.com")},
         {QUrl(QStringLiteral("https://login.microsoftonline.com/common/oauth2/v2.0/authorize")),
          QUrl(QStringLiteral("https://login.microsoftonline.com/common/oauth2/v2.0/token")),
          QStringLiteral("https://outlook.office.com/POP.AccessAsUser.All https://outlook.office.com/SMTP.Send "
                         "offline_access")},
         {}},
    };
    return presets;
}

QString serverHostName(const QString &server)
{
    QString host = server.trimmed().toLower();
    if (host.startsWith(QLatin1Char('['))) {
        host = host.mid(1).section(QLatin1Char(']'), 0, 0);
    } else if (host.count(QLatin1Char(':')) == 1) {
        host = host.section(QLatin1Char(':'), 0, 0);
    }
    while (host.endsWith(QLatin1Char('.')))  // a fully qualified "smtp.gmail.com."
        host.chop(1);
    return host;
}

const OAuthPreset *presetForServers(const QString &incoming, const QString &outgoing)
{
    for (const QString &server : {incoming, outgoing}) {
        const QString host = serverHostName(server);
        for (const OAuthPreset &preset : oauthPresets()) {
            if (preset.hosts.contains(host))
                return &preset;
        }
    }
    return nullptr;
}
