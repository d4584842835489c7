#include "storage/durable_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <algorithm>
#include <cerrno>
#include <cstdio>

#if defined(Q_OS_UNIX)
#include <fcntl.h>
#include <unistd.h>
#elif defined(Q_OS_WIN)
#include <io.h>
#include <string>
#include <windows.h>
#endif

namespace DurableFile {

namespace {

constexpr int SuffixLength = 6;
constexpr int CreateAttempts = 100;

// Upper-case letters, lower-case letters and digits present in a name's suffix.
int kindsOfCharacters(QStringView suffix)
{
    bool upper = false, lower = false, digit = false;
    for (const QChar c : suffix) {
        upper = upper || (c >= QLatin1Char('A') && c <= QLatin1Char('Z'));
        lower = lower || (c >= QLatin1Char('a') && c <= QLatin1Char('z'));
        digit = digit || (c >= QLatin1Char('0') && c <= QLatin1Char('9'));
    }
    return int(upper) + int(lower) + int(digit);
}

bool isAsciiLetterOrDigit(QChar c)
{
    return c.unicode() < 0x80 && c.isLetterOrNumber();
}

QString randomSuffix()
{
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QString suffix;
    // One kind alone would look like a name given by hand, which isLeftover spares.
    while (suffix.isEmpty() || kindsOfCharacters(suffix) < 2) {
        suffix.clear();
        for (int i = 0; i < SuffixLength; ++i)
            suffix += QLatin1Char(alphabet[QRandomGenerator::global()->bounded(int(sizeof alphabet) - 1)]);
    }
    return suffix;
}

// Opens a file of a new name beside `path`; the name is never one that exists.
bool openTemporary(const QString &path, QFile &file, QString *cause)
{
    for (int attempt = 0; attempt < CreateAttempts; ++attempt) {
        file.setFileName(path + QLatin1Char('.') + randomSuffix());
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered))
            return true;
        if (!file.exists()) {
            *cause = file.errorString();
            return false;
        }
    }
    *cause = QStringLiteral("no free name for a temporary file beside %1").arg(path);
    return false;
}

bool syncFile(QFile &file)
{
#if defined(Q_OS_UNIX)
    return ::fsync(file.handle()) == 0;
#elif defined(Q_OS_WIN)
    return ::_commit(file.handle()) == 0;
#else
    return true;
#endif
}

// Makes the rename itself last: a folder's entries reach the disk with the folder.
void syncFolder(const QString &folder)
{
#if defined(Q_OS_UNIX)
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
#else
    Q_UNUSED(folder);
#endif
}

// Puts `from` in the place of `to` in one step, whether `to` exists or not.
bool replace(const QString &from, const QString &to, QString *cause)
{
#if defined(Q_OS_WIN)
    const std::wstring source = QDir::toNativeSeparators(from).toStdWString();
    const std::wstring target = QDir::toNativeSeparators(to).toStdWString();
    if (MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    *cause = qt_error_string(int(GetLastError()));
#else
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
        return true;
    *cause = qt_error_string(errno);
#endif
    return false;
}

// Unbuffered, so that a short write shows in the count of the write that made it.
bool writeAll(QFile &file, const QByteArray &bytes)
{
    qint64 written = 0;
    while (written < bytes.size()) {
        const qint64 n = file.write(bytes.constData() + written, bytes.size() - written);
        if (n <= 0)
            return false;
        written += n;
    }
    return true;
}

Result failed(QFile &file, const QString &cause)
{
    file.close();
    QFile::remove(file.fileName());
    return {cause.isEmpty() ? QStringLiteral("the file could not be written whole") : cause};
}

}  // namespace

Result write(const QString &path, const QByteArray &bytes, std::optional<QFileDevice::Permissions> permissions)
{
    // A link stays a link: its target is the file replaced.
    QString target = path;
    const QFileInfo info(path);
    if (info.isSymLink() && info.exists())
        target = info.canonicalFilePath();
    if (!permissions && QFileInfo::exists(target))
        permissions = QFile::permissions(target);

    QFile file;
    QString cause;
    if (!openTemporary(target, file, &cause))
        return {cause};
    if (permissions && !file.setPermissions(*permissions))
        return failed(file, file.errorString());
    if (!writeAll(file, bytes))
        return failed(file, file.errorString());
    if (!syncFile(file))
        return failed(file, qt_error_string(errno));
    file.close();
    if (!replace(file.fileName(), target, &cause)) {
        QFile::remove(file.fileName());
        return {cause};
    }
    syncFolder(QFileInfo(target).absolutePath());
    return {};
}

QString createTemporary(const QString &path, const QByteArray &content, QString *cause)
{
    QFile file;
    if (!openTemporary(path, file, cause))
        return QString();
    if (!file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) || !writeAll(file, content)) {
        *cause = failed(file, file.errorString()).cause;
        return QString();
    }
    file.close();
    return file.fileName();
}

bool isLeftover(const QString &path, const QString &name)
{
    const QString prefix = QFileInfo(path).fileName() + QLatin1Char('.');
    if (!name.startsWith(prefix))
        return false;
    const QStringView rest = QStringView(name).mid(prefix.size());
    if (rest.size() < SuffixLength || (rest.size() > SuffixLength && rest.at(SuffixLength) != QLatin1Char('.')))
        return false;
    const QStringView suffix = rest.left(SuffixLength);
    return std::all_of(suffix.begin(), suffix.end(), isAsciiLetterOrDigit) && kindsOfCharacters(suffix) > 1;
}

void removeLeftovers(const QString &path)
{
    const QDir folder = QFileInfo(path).absoluteDir();
    const QStringList names =
        folder.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &name : names) {
        const QFileInfo entry(folder.filePath(name));
        if (isLeftover(path, name) && (entry.isSymLink() || !entry.isDir()))
            removeEntry(entry.filePath());
    }
}

bool removeEntry(const QString &path)
{
#if defined(Q_OS_WIN)
    // A read-only file cannot be deleted here; a link is deleted as it is.
    if (!QFileInfo(path).isSymLink())
        QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::WriteOwner);
#endif
    return QFile::remove(path);
}

}  // namespace DurableFile
