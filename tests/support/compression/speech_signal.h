#pragma once

// Speech-like test audio, and the means to check what the compression made of it.

#include <QByteArray>
#include <QtGlobal>
#include <vector>

namespace CompressionTestSupport {

// A speech-like signal at 8000 Hz as raw 16-bit little-endian samples: syllables of a
// gliding pitch whose harmonics are shaped by three moving formants, with silent pauses
// between them. The same seed gives the same bytes.
QByteArray speechLike16(int sampleCount, quint32 seed = 1);

// Samples of a raw file of the given width in bytes: 2 for 16-bit little-endian,
// 1 for 8-bit unsigned, each u as (u - 128) * 256.
std::vector<qint16> samplesOf(const QByteArray &raw, int width);

// Pearson correlation of a with b from its sample `skip` on, over the shorter length.
double correlation(const std::vector<qint16> &a, const std::vector<qint16> &b, size_t skip = 0);

// Decodes 65-byte GSM 6.10 WAV blocks with libgsm (GSM_OPT_WAV49), 320 samples a
// block; empty when the stream is not whole blocks or a frame is bad.
std::vector<qint16> decodeGsmBlocks(const QByteArray &blocks);

}  // namespace CompressionTestSupport
