#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// Hides secrets in lines of the protocol trace, whatever line they turn up in: each secret
// as it is, and in base64 at any of the three positions it can take inside a longer base64
// text (AUTH PLAIN carries "\0user\0password"). A base64 text holding a secret is hidden
// whole. Secrets of fewer than MinBytes bytes of UTF-8 are left to the masking that knows
// the protocol: so short a text would also hide ordinary words.
class SecretMask
{
public:
    static constexpr int MinBytes = 4;

    SecretMask() = default;
    explicit SecretMask(const QStringList &secrets);

    // The line with every hidden part replaced by four mask characters, chosen so that
    // the replacement can never form a secret with what surrounds it.
    QString apply(const QString &line) const;

private:
    QStringList m_plain;
    QList<QString> m_encoded;
    QChar m_maskChar = QLatin1Char('*');
};
