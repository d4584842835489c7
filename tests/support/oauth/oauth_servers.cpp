#include "tests/support/oauth/oauth_servers.h"

#include "tests/support/test_files.h"

#include <QDir>
#include <QFileInfo>
#include <QNetworkReply>
#include <QTest>
#include <QUrlQuery>

namespace OAuthTest {

bool AuthServer::start()
{
    port = MailTest::freePort();
    // Debian's interpreter sees Debian's authlib and Flask; another python3 on PATH may not.
    return port && ServerProcess::start(QStringLiteral("/usr/bin/python3"),
                                        {ORVANTO_SOURCE_DIR "/tests/support/oauth/auth_server.py", "--port",
                                         QString::number(port)}, port);
}

bool AuthServer::control(const QString &what)
{
    QNetworkAccessManager network;
    QNetworkRequest request(url(QStringLiteral("/control/") + what));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/x-www-form-urlencoded"));
    std::unique_ptr<QNetworkReply> reply(network.post(request, QByteArray()));
    return QTest::qWaitFor([&] { return reply->isFinished(); }, 10000) && reply->error() == QNetworkReply::NoError;
}

bool AuthServer::writeConfig(const QString &file, const QString &presetId) const
{
    const QByteArray ini = "[" + presetId.toUtf8() + "]\nclient_id=" + SecretClient + "\nclient_secret=" + ClientSecret
                           + "\nauthorization_url=" + url(QStringLiteral("/authorize")).toEncoded()
                           + "\ntoken_url=" + url(QStringLiteral("/token")).toEncoded() + "\nscope=mail\n";
    return QDir().mkpath(QFileInfo(file).path()) && TestFiles::write(file, ini);
}

bool UserAgent::open(const QUrl &url)
{
    ++opened;
    lastUrl = url;
    if (!challenge.isEmpty()) {
        QUrlQuery query(url);
        query.removeQueryItem(QStringLiteral("code_challenge"));
        query.addQueryItem(QStringLiteral("code_challenge"), challenge);
        lastUrl.setQuery(query);
    }
    // The server consents at once and redirects to the loopback port, which answers.
    QNetworkReply *reply = m_network.get(QNetworkRequest(lastUrl));
    QObject::connect(reply, &QNetworkReply::finished, reply, &QObject::deleteLater);
    return true;
}

}  // namespace OAuthTest
