#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <vector>

namespace CompressionTestSupport {

// A speech-like signal at 8000 Hz as raw 16-bit little-endian samples: syllables of
// voiced sound (a gliding pitch whose harmonics are shaped by three moving formants)
// separated by short quiet pauses. The same seed gives the same bytes.
QByteArray speechLike16(int sampleCount, quint32 seed = 1);

// Samples of a raw 16-bit little-endian file.
std::vector<qint16> samplesOf16Bit(const QByteArray &raw);
// Samples of a raw 8-bit unsigned file, each u as (u - 128) * 256.
std::vector<qint16> samplesOf8Bit(const QByteArray &raw);

// Pearson correlation of the first n samples of a and b (n = the shorter length when 0).
double correlation(const std::vector<qint16> &a, const std::vector<qint16> &b, size_t n = 0);

}  // namespace CompressionTestSupport
