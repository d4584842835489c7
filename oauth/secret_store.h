#pragma once

#include <QString>
#include <functional>

// The desktop's secret store (Secret Service on Linux) through QtKeychain. Every call
// answers later, on the calling thread, through its callback; nothing is ever kept
// anywhere else, not even when the store is missing.
class SecretStore
{
public:
    struct Result
    {
        bool ok = false;
        bool missing = false;  // read: no entry under that key
        QString secret;        // read: the entry
        QString error;         // what the store said when it failed
    };
    using Callback = std::function<void(const Result &)>;

    explicit SecretStore(QString service = QStringLiteral("Orvanto")) : m_service(std::move(service)) {}

    // The key of a profile's refresh token: unambiguous whatever the names hold.
    static QString refreshTokenKey(const QString &profile, const QString &user);

    void read(const QString &key, Callback done) const;
    void write(const QString &key, const QString &secret, Callback done) const;
    void remove(const QString &key, Callback done) const;

private:
    QString m_service;
};
