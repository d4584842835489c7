#include "oauth/token_reply.h"

#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QUrlQuery>

QString oauthErrorReason(const QByteArray &body)
{
    const QJsonObject o = QJsonDocument::fromJson(body).object();
    const QString error = o.value(QLatin1String("error")).toString();
    if (error.isEmpty())
        return {};
    const QString description = o.value(QLatin1String("error_description")).toString().trimmed();
    return description.isEmpty() ? error : description.section(QLatin1Char('\n'), 0, 0).trimmed();
}

TokenReply readTokenReply(QNetworkReply *reply)
{
    TokenReply r;
    const QByteArray body = reply->readAll();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() != QNetworkReply::NoError) {
        const QString reason = oauthErrorReason(body);
        if ((status == 400 || status == 401) && !reason.isEmpty()) {
            r.outcome = TokenReply::Outcome::Refused;
            r.reason = reason;
        } else {
            r.reason = reply->errorString();
        }
        return r;
    }
    const QJsonObject o = QJsonDocument::fromJson(body).object();
    r.accessToken = o.value(QLatin1String("access_token")).toString();
    r.refreshToken = o.value(QLatin1String("refresh_token")).toString();
    const QJsonValue expires = o.value(QLatin1String("expires_in"));
    // Some providers send the number as a string.
    r.expiresIn = expires.isDouble() ? qint64(expires.toDouble())
                  : expires.isString() ? expires.toString().toLongLong()
                                       : -1;
    if (r.accessToken.isEmpty()) {
        r.reason = QStringLiteral("The token answer of %1 holds no access token").arg(reply->url().host());
        return r;
    }
    r.outcome = TokenReply::Outcome::Granted;
    return r;
}

QNetworkReply *postTokenForm(QNetworkAccessManager &network, const QUrl &url,
                             const QList<std::pair<QString, QString>> &fields)
{
    QUrlQuery form;
    for (const auto &[key, value] : fields)
        form.addQueryItem(key, QString::fromLatin1(QUrl::toPercentEncoding(value)));
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/x-www-form-urlencoded"));
    request.setRawHeader("Accept", "application/json");
    return network.post(request, form.toString(QUrl::FullyEncoded).toLatin1());
}

bool isSafeEndpoint(const QUrl &url)
{
    if (url.scheme() == QLatin1String("https"))
        return true;
    const QHostAddress address(url.host());
    return url.scheme() == QLatin1String("http") && !address.isNull() && address.isLoopback();
}
