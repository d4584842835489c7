#include "audio/recording_file.h"

#include "audio/sample_width.h"

#include <QFile>
#include <QFileInfo>

#include <filesystem>
#include <system_error>

namespace RecordingFile {

namespace {

constexpr qint64 JoinBlockBytes = 256;

// Never through a link: its target is not ours to change.
void makeWritable(const QString &path)
{
    if (QFileInfo(path).isSymLink())
        return;
    QFile::setPermissions(path, QFile::permissions(path) | QFile::ReadOwner | QFile::WriteOwner);
}

// Copies source into target (replacing it, or after its end) in blocks; false when
// anything failed.
bool copyInto(const QString &source, const QString &target, QIODevice::OpenMode mode)
{
    QFile in(source);
    QFile out(target);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly | mode))
        return false;
    char block[JoinBlockBytes];
    for (;;) {
        const qint64 got = in.read(block, JoinBlockBytes);
        if (got < 0)
            return false;
        if (got == 0)
            return out.flush();
        if (out.write(block, got) != got)
            return false;
    }
}

bool replace(const QString &from, const QString &to)
{
    std::error_code error;
    std::filesystem::rename(std::filesystem::path(from.toStdU16String()), std::filesystem::path(to.toStdU16String()),
                            error);
    return !error;
}

}  // namespace

void remove(const QString &path)
{
    makeWritable(path);
    QFile::remove(path);
}

bool saveCapture(const QString &path, const char *data, qint64 length)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const bool written = file.write(data, length) == length && file.flush();
    file.close();
    if (!written)
        remove(path);
    return written;
}

bool joinPiece(const QString &recording, const QString &piece)
{
    const QString joined = recording + QStringLiteral(".join");
    remove(joined);
    const bool ok = copyInto(recording, joined, QIODevice::Truncate) && NarrowTo8Bit(joined) == 1 && NarrowTo8Bit(piece) == 1
                    && copyInto(piece, joined, QIODevice::Append) && WidenTo16Bit(joined) == 1;
    remove(piece);
    makeWritable(recording);
    if (ok && replace(joined, recording))
        return true;
    remove(joined);
    return false;
}

QString narrowedCopy(const QString &recording)
{
    const QString copy = recording + QStringLiteral(".8bit");
    remove(copy);
    // One pass, straight from the recording: it runs on the UI thread before a send.
    if (NarrowCopy(recording, copy) == 1)
        return copy;
    remove(copy);
    return QString();
}

}  // namespace RecordingFile
