#include "audio/sample_width.h"

#include <QFile>

#include <filesystem>
#include <system_error>

namespace {

using Convert = qint64 (*)(const char *in, qint64 count, char *out);

qint64 narrowBlock(const char *in, qint64 count, char *out)
{
    const qint64 samples = count / 2;
    for (qint64 i = 0; i < samples; ++i)
        out[i] = char((static_cast<unsigned char>(in[2 * i + 1]) + 128) & 0xFF);
    return samples;
}

qint64 widenBlock(const char *in, qint64 count, char *out)
{
    for (qint64 i = 0; i < count; ++i) {
        out[2 * i] = 0;
        out[2 * i + 1] = char((static_cast<unsigned char>(in[i]) + 128) & 0xFF);
    }
    return count * 2;
}

void makeWritable(const QString &path)
{
    QFile::setPermissions(path, QFile::permissions(path) | QFile::ReadOwner | QFile::WriteOwner);
}

// Streams path through convert into path + "_" in blocks of blockSize bytes, then
// puts the converted file in the original's place.
int rewrite(const QString &path, qint64 blockSize, Convert convert)
{
    // Opened for writing as well, so a file that may not be changed is refused; a
    // missing file must not be created.
    QFile source(path);
    if (!source.open(QIODevice::ReadWrite | QIODevice::ExistingOnly))
        return 0;
    const QString tempPath = path + QLatin1Char('_');
    QFile target(tempPath);
    if (!target.open(QIODevice::ReadWrite | QIODevice::Truncate))
        return 0;

    QByteArray in(int(blockSize), '\0');
    QByteArray out(int(blockSize * 2), '\0');
    bool ok = true;
    while (ok) {
        const qint64 got = source.read(in.data(), blockSize);
        if (got < 0) {
            ok = false;
        } else if (got == 0) {
            break;
        } else {
            const qint64 produced = convert(in.constData(), got, out.data());
            ok = target.write(out.constData(), produced) == produced;
        }
    }
    ok = target.flush() && ok;
    source.close();
    target.close();
    if (!ok) {
        QFile::remove(tempPath);
        return 0;
    }
    makeWritable(path);
    makeWritable(tempPath);
    // Replacing in one step keeps either the old or the new file, never neither.
    std::error_code error;
    std::filesystem::rename(std::filesystem::path(tempPath.toStdU16String()),
                            std::filesystem::path(path.toStdU16String()), error);
    if (error) {
        QFile::remove(tempPath);
        return 0;
    }
    return 1;
}

}  // namespace

int NarrowTo8Bit(const QString &path)
{
    return rewrite(path, 512, narrowBlock);
}

int WidenTo16Bit(const QString &path)
{
    return rewrite(path, 256, widenBlock);
}

int NarrowCopy(const QString &source, const QString &target)
{
    QFile in(source);
    QFile out(target);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 0;
    constexpr qint64 BlockBytes = 64 * 1024;  // even: no sample is split between blocks
    QByteArray wide(int(BlockBytes), '\0');
    QByteArray narrow(int(BlockBytes / 2), '\0');
    for (;;) {
        const qint64 got = in.read(wide.data(), BlockBytes);
        if (got < 0)
            return 0;
        if (got == 0)
            return out.flush() ? 1 : 0;
        const qint64 produced = narrowBlock(wide.constData(), got, narrow.data());
        if (out.write(narrow.constData(), produced) != produced)
            return 0;
    }
}
