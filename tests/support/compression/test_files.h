#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

namespace CompressionTestSupport {

// The whole file, or nothing when it cannot be read.
inline QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Writes the file anew; false when it was not written whole.
inline bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size() && f.flush();
}

}  // namespace CompressionTestSupport
