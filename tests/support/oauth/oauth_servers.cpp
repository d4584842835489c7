#include "tests/support/oauth/oauth_servers.h"

#include "tests/support/test_files.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QNetworkReply>
#include <QTest>

namespace OAuthTest {

bool AuthServer::start()
{
    port = MailTest::freePort();
    // Debian's interpreter sees Debian's authlib and Flask; another python3 on PATH may not.
    return port && m_process.start(QStringLiteral("/usr/bin/python3"),
                                   {QStringLiteral(ORVANTO_SOURCE_DIR "/tests/support/oauth/auth_server.py"),
                                    QStringLiteral("--port"), QString::number(port)},
                                   port);
}

QUrl AuthServer::url(const QString &path) const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(port).arg(path));
}

bool AuthServer::control(const QString &what, QJsonArray *answer)
{
    QNetworkAccessManager network;
    QNetworkRequest request(url(QStringLiteral("/control/") + what));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/x-www-form-urlencoded"));
    std::unique_ptr<QNetworkReply> reply(network.post(request, QByteArray()));
    if (!QTest::qWaitFor([&] { return reply->isFinished(); }, 10000) || reply->error() != QNetworkReply::NoError)
        return false;
    if (answer)
        *answer = QJsonDocument::fromJson(reply->readAll()).array();
    return true;
}

QJsonArray AuthServer::grants()
{
    QJsonArray log;
    control(QStringLiteral("log"), &log);
    return log;
}

bool AuthServer::writeConfig(const QString &file, const QString &presetId, const QString &clientId,
                             const QString &clientSecret) const
{
    QByteArray ini = "[" + presetId.toUtf8() + "]\nclient_id=" + clientId.toUtf8() + "\n";
    if (!clientSecret.isEmpty())
        ini += "client_secret=" + clientSecret.toUtf8() + "\n";
    ini += "authorization_url=" + url(QStringLiteral("/authorize")).toEncoded() + "\ntoken_url="
           + url(QStringLiteral("/token")).toEncoded() + "\nscope=mail\n";
    return QDir().mkpath(QFileInfo(file).path()) && TestFiles::write(file, ini);
}

bool UserAgent::open(const QUrl &url)
{
    ++opened;
    lastUrl = rewrite ? rewrite(url) : url;
    // The server consents at once and redirects to the loopback port, which answers.
    QNetworkReply *reply = m_network.get(QNetworkRequest(lastUrl));
    QObject::connect(reply, &QNetworkReply::finished, reply, &QObject::deleteLater);
    return true;
}

}  // namespace OAuthTest
