#pragma once

#include <QByteArray>
#include <QFileDevice>
#include <QString>
#include <optional>

// Files that are always replaced whole: the new content goes into a temporary file
// beside the old one and only a complete, synced temporary is renamed over it. A
// full disk, a size limit or a crash therefore leave the old file as it was.
namespace DurableFile {

// How a write ended: empty when the file was replaced, else the cause in words.
struct Result
{
    QString cause;
    bool ok() const { return cause.isEmpty(); }
};

// Replaces the file at `path` with `bytes`. Every write is checked, the temporary is
// synced before the rename and the folder after it. The new file gets `permissions`,
// or the old file's when none are given.
Result write(const QString &path, const QByteArray &bytes,
             std::optional<QFileDevice::Permissions> permissions = std::nullopt);

// Makes a new file of the owner's alone beside `path`, named as write() names its
// temporaries, holding `content`; returns its path, or an empty string with the
// cause in `cause`. The caller removes it.
QString createTemporary(const QString &path, const QByteArray &content, QString *cause);

// True for a temporary that a write of `path`, or Qt's QSaveFile, left behind in the
// folder of `path`: the file name of `path`, a dot, six letters and digits of more
// than one kind (what a person names a file, such as "backup", is not one), and
// optionally more after another dot.
bool isLeftover(const QString &path, const QString &name);
// Deletes the leftovers of writes of `path`; a link among them is removed as a
// link, never followed.
void removeLeftovers(const QString &path);
// Removes a file or a link; a link is removed itself, its target left alone.
bool removeEntry(const QString &path);

}  // namespace DurableFile
