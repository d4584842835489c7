#include "oauth/secret_store.h"

#include <QUrl>
#include <qt6keychain/keychain.h>

namespace {

// Jobs delete themselves after `finished`.
template<typename JobType>
JobType *makeJob(const QString &service, const QString &key)
{
    auto *job = new JobType(service);
    job->setAutoDelete(true);
    job->setInsecureFallback(false);
    job->setKey(key);
    return job;
}

SecretStore::Result resultOf(const QKeychain::Job &job)
{
    SecretStore::Result r;
    r.ok = job.error() == QKeychain::NoError;
    r.missing = job.error() == QKeychain::EntryNotFound;
    if (!r.ok && !r.missing)
        r.error = job.errorString();
    return r;
}

}  // namespace

QString SecretStore::refreshTokenKey(const QString &profile, const QString &user)
{
    return QStringLiteral("oauth2 refresh token:%1:%2")
        .arg(QString::fromLatin1(QUrl::toPercentEncoding(profile)), QString::fromLatin1(QUrl::toPercentEncoding(user)));
}

void SecretStore::read(const QString &key, Callback done) const
{
    auto *job = makeJob<QKeychain::ReadPasswordJob>(m_service, key);
    QObject::connect(job, &QKeychain::Job::finished, [job, done = std::move(done)] {
        Result r = resultOf(*job);
        if (r.ok)
            r.secret = job->textData();
        done(r);
    });
    job->start();
}

void SecretStore::write(const QString &key, const QString &secret, Callback done) const
{
    auto *job = makeJob<QKeychain::WritePasswordJob>(m_service, key);
    job->setTextData(secret);
    QObject::connect(job, &QKeychain::Job::finished, [job, done = std::move(done)] { done(resultOf(*job)); });
    job->start();
}

void SecretStore::remove(const QString &key, Callback done) const
{
    auto *job = makeJob<QKeychain::DeletePasswordJob>(m_service, key);
    QObject::connect(job, &QKeychain::Job::finished, [job, done = std::move(done)] {
        Result r = resultOf(*job);
        r.ok = r.ok || r.missing;  // nothing to remove is fine
        done(r);
    });
    job->start();
}
