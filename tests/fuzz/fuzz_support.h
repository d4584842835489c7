#pragma once

// Shared by the fuzz targets: a failed property aborts (libFuzzer keeps the input),
// fuzz input as texts and files, and the checks several targets make.

#include <fuzzer/FuzzedDataProvider.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                                     \
    do {                                                                                          \
        if (!(condition)) {                                                                       \
            std::fprintf(stderr, "property broken at %s:%d: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                         \
        }                                                                                         \
    } while (false)

namespace Fuzz {

inline QByteArray bytes(FuzzedDataProvider &in, size_t maxLength = 512)
{
    return QByteArray::fromStdString(in.ConsumeRandomLengthString(maxLength));
}

// Arbitrary bytes read as UTF-8, as every text of ours comes from a file or a box.
inline QString text(FuzzedDataProvider &in, size_t maxLength = 512)
{
    return QString::fromUtf8(bytes(in, maxLength));
}

// One folder for the whole run, emptied by its owner as it likes.
inline QDir &scratch()
{
    static QTemporaryDir dir;
    static QDir folder(dir.path());
    return folder;
}

inline bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size();
}

inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// True when the bytes end on a character boundary of the UTF-8 text they were cut from.
inline bool endsOnCharacter(const QByteArray &cut, const QByteArray &whole)
{
    return cut.size() >= whole.size() || (uchar(whole.at(cut.size())) & 0xC0) != 0x80;
}

// True when `piece`, cut from `whole` to at most `limit` bytes on a character boundary, is
// as long as it could be.
inline bool longestCut(const QByteArray &piece, const QByteArray &whole, int limit)
{
    if (!whole.startsWith(piece) || piece.size() > limit || !endsOnCharacter(piece, whole))
        return false;
    return whole.size() <= limit ? piece == whole : piece.size() + 4 > limit;
}

}  // namespace Fuzz
