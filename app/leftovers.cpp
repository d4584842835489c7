#include "app/leftovers.h"

#include "records/recipient_history.h"
#include "settings/profile_file.h"
#include "settings/settings_store.h"
#include "storage/durable_file.h"

#include <QDir>

void DeleteLeftovers(const QString &programFolder)
{
    // Temporaries of whole-file writes that a crash interrupted.
    for (const QString &path : {ProfileFile::path(programFolder), RecipientHistory(programFolder).path(),
                                SettingsStore::location()})
        DurableFile::removeLeftovers(path);

    QDir outbox(QDir(programFolder).filePath(QStringLiteral("emsg")));
    if (!outbox.exists())
        return;
    for (const QString &pattern : {QStringLiteral("*.pcm*"), QStringLiteral("*.tmp*")}) {
        // Links too, dangling ones included (System): each goes as a link, its
        // target untouched.
        const QStringList names = outbox.entryList({pattern}, QDir::Files | QDir::Hidden | QDir::System);
        for (const QString &name : names)
            DurableFile::removeEntry(outbox.filePath(name));
    }
}
