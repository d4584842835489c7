#pragma once

#include <QString>

// File helpers of the compression job. Before a file is written, appended to or
// deleted it is made readable and writable, so a read-only left-over is replaced
// like any other.
namespace CompressionFiles {

void makeWritable(const QString &path);
// Removes a file (never a folder); true when no file of that name remains.
bool removeFile(const QString &path);
// Puts `from` in the place of `to` in one step, so either the old or the new file
// exists afterwards, never neither.
bool replaceFile(const QString &from, const QString &to);

}  // namespace CompressionFiles
