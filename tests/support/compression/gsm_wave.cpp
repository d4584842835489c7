#include "tests/support/compression/gsm_wave.h"

#include <QFile>
#include <QtEndian>

#include <gsm.h>

namespace CompressionTestSupport {

std::vector<qint16> decodeGsmBlocks(const QByteArray &blocks)
{
    if (blocks.size() % 65 != 0)
        return {};
    gsm handle = gsm_create();
    int one = 1;
    gsm_option(handle, GSM_OPT_WAV49, &one);
    std::vector<qint16> samples;
    samples.reserve(size_t(blocks.size() / 65) * 320);
    QByteArray copy = blocks;
    auto *bytes = reinterpret_cast<gsm_byte *>(copy.data());
    gsm_signal frame[160];
    bool ok = true;
    for (qsizetype at = 0; ok && at < copy.size(); at += 65) {
        for (int half = 0; half < 2 && ok; ++half) {
            ok = gsm_decode(handle, bytes + at + (half ? 33 : 0), frame) == 0;
            samples.insert(samples.end(), frame, frame + 160);
        }
    }
    gsm_destroy(handle);
    return ok ? samples : std::vector<qint16>();
}

WaveFile readWaveFile(const QString &path)
{
    WaveFile wave;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return wave;
    const QByteArray all = file.readAll();
    if (all.size() < 12 || !all.startsWith("RIFF") || all.mid(8, 4) != "WAVE")
        return wave;
    wave.riffSize = qFromLittleEndian<quint32>(all.constData() + 4);
    qsizetype at = 12;
    bool sawFormat = false, sawData = false;
    while (at + 8 <= all.size()) {
        const QByteArray id = all.mid(at, 4);
        const quint32 size = qFromLittleEndian<quint32>(all.constData() + at + 4);
        const qsizetype body = at + 8;
        if (body + qsizetype(size) > all.size())
            return wave;
        if (id == "fmt " && size >= 16) {
            wave.formatTag = qFromLittleEndian<quint16>(all.constData() + body);
            wave.blockAlign = qFromLittleEndian<quint16>(all.constData() + body + 12);
            sawFormat = true;
        } else if (id == "fact" && size >= 4) {
            wave.factSamples = qFromLittleEndian<quint32>(all.constData() + body);
        } else if (id == "data") {
            wave.data = all.mid(body, size);
            sawData = true;
        }
        at = body + qsizetype(size);
    }
    wave.valid = sawFormat && sawData && at == all.size() && wave.riffSize == quint32(all.size() - 8);
    return wave;
}

}  // namespace CompressionTestSupport
