#include "compression/file_ops.h"

#include <QFile>
#include <QFileInfo>

#include <filesystem>
#include <system_error>

namespace CompressionFiles {

void makeWritable(const QString &path)
{
    if (QFileInfo::exists(path))
        QFile::setPermissions(path, QFile::permissions(path) | QFile::ReadOwner | QFile::WriteOwner);
}

bool removeFile(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return true;
    if (info.isDir())
        return false;
    makeWritable(path);
    return QFile::remove(path);
}

bool replaceFile(const QString &from, const QString &to)
{
    makeWritable(from);
    makeWritable(to);
    std::error_code error;
    std::filesystem::rename(std::filesystem::path(from.toStdU16String()),
                            std::filesystem::path(to.toStdU16String()), error);
    return !error;
}

}  // namespace CompressionFiles
