#pragma once

#include <QByteArray>
#include <QString>

// The recording cue in the recording's own format (16-bit signed little-endian,
// 8000 samples per second, one channel).

// The PCM or floating-point WAV file at path, mixed down to one channel and
// resampled; empty when the file is missing or holds no sound this reader knows.
QByteArray loadCue(const QString &path);

// A short tone that stands in for a missing cue file.
QByteArray builtInTone();
