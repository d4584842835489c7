#pragma once

#include <QString>

// File steps of a raw recording. None of them rewrites the recording in place: a new
// version is written beside it and takes its place by a rename, so a failure at any
// step leaves the recording exactly as it was and no temporary file behind.
namespace RecordingFile {

// Writes the captured bytes to a new file at path; a file that could not be written
// whole is removed again.
bool saveCapture(const QString &path, const char *data, qint64 length);

// Appends the piece to the recording at 8-bit precision, as the width rewriters give
// it: the old and the new part keep the high byte of every sample. The piece is
// removed whatever happens.
bool joinPiece(const QString &recording, const QString &piece);

// An 8-bit copy of the recording beside it (its path followed by ".8bit"); empty when
// it could not be made.
QString narrowedCopy(const QString &recording);

// Removes a file of ours, never through a link's target permissions.
void remove(const QString &path);

}  // namespace RecordingFile
