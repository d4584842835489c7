#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// Small file helpers shared by the tests.
namespace TestFiles {

inline bool write(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size();
}

// The file's bytes, or "<missing>" when it cannot be read.
inline QByteArray read(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

}  // namespace TestFiles
