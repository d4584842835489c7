#include "app/leftovers.h"

#include <QDir>
#include <QFile>

void DeleteLeftovers(const QString &programFolder)
{
    QDir outbox(QDir(programFolder).filePath(QStringLiteral("emsg")));
    if (!outbox.exists())
        return;
    for (const QString &pattern : {QStringLiteral("*.pcm*"), QStringLiteral("*.tmp*")}) {
        const QStringList names = outbox.entryList({pattern}, QDir::Files | QDir::Hidden | QDir::System);
        for (const QString &name : names) {
            const QString path = outbox.filePath(name);
            // A read-only leftover goes as well.
            QFile::setPermissions(path, QFile::permissions(path) | QFile::WriteOwner | QFile::ReadOwner);
            QFile::remove(path);
        }
    }
}
