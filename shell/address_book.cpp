#include "shell/address_book.h"

#include <QList>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

bool OpenAddressBook()
{
    static const QList<QStringList> candidates = {
#if defined(Q_OS_WIN)
        {QStringLiteral("wab.exe")},
#endif
        {QStringLiteral("gnome-contacts")},
        {QStringLiteral("kaddressbook")},
        {QStringLiteral("evolution"), QStringLiteral("--component=contacts")},
        {QStringLiteral("thunderbird"), QStringLiteral("-addressbook")},
    };
    for (const QStringList &candidate : candidates) {
        const QString program = QStandardPaths::findExecutable(candidate.first());
        if (!program.isEmpty())
            return QProcess::startDetached(program, candidate.mid(1));
    }
    return false;
}
