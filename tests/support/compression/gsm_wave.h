#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <vector>

namespace CompressionTestSupport {

// Decodes a stream of 65-byte GSM 6.10 WAV blocks with libgsm (GSM_OPT_WAV49) into
// 320 samples per block; empty when the stream is not whole blocks or a frame is bad.
std::vector<qint16> decodeGsmBlocks(const QByteArray &blocks);

// The chunks of a WAV file as a player would read them.
struct WaveFile
{
    bool valid = false;
    quint32 riffSize = 0;
    quint16 formatTag = 0;
    quint16 blockAlign = 0;
    quint32 factSamples = 0;
    QByteArray data;
};
WaveFile readWaveFile(const QString &path);

}  // namespace CompressionTestSupport
