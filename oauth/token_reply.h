#pragma once

#include <QList>
#include <QString>
#include <QUrl>
#include <utility>

class QNetworkAccessManager;
class QNetworkReply;

// What a token endpoint answered.
struct TokenReply
{
    enum class Outcome { Granted, Refused, Failed };
    Outcome outcome = Outcome::Failed;
    QString accessToken;
    QString refreshToken;  // empty when the provider keeps the old one
    qint64 expiresIn = -1;  // seconds; -1 when not told
    QString reason;         // Refused: the provider's words; Failed: what went wrong
};

// Reads a finished reply of a token endpoint. A refusal is an OAuth2 error answer
// (invalid_grant and the like); anything else that is not a token is a failure.
TokenReply readTokenReply(QNetworkReply *reply);

// The provider's reason from an OAuth2 error body: its description's first line, else
// its error code; empty when the body is no OAuth2 error.
QString oauthErrorReason(const QByteArray &body);

// Posts a form to a token endpoint; the reply belongs to the caller.
QNetworkReply *postTokenForm(QNetworkAccessManager &network, const QUrl &url,
                             const QList<std::pair<QString, QString>> &fields);

// Token endpoints are reached only over https, or plain http on this machine.
bool isSafeEndpoint(const QUrl &url);
