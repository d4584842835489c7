// The cue reader: any file gives whole 16-bit samples, no more than its data can make at
// the lowest rate it accepts, and a 16-bit 8000 Hz mono file gives its samples unchanged.

#include "audio/cue_sound.h"
#include "fuzz_support.h"

#include <QtEndian>

namespace {

QByteArray wave(quint16 tag, quint16 channels, quint32 rate, quint16 bits, const QByteArray &samples)
{
    QByteArray w("RIFF\0\0\0\0WAVEfmt \x10\0\0\0", 20);
    QByteArray format(16, '\0');
    qToLittleEndian(tag, format.data());
    qToLittleEndian(channels, format.data() + 2);
    qToLittleEndian(rate, format.data() + 4);
    qToLittleEndian(quint32(rate * channels * bits / 8), format.data() + 8);
    qToLittleEndian(quint16(channels * bits / 8), format.data() + 12);
    qToLittleEndian(bits, format.data() + 14);
    QByteArray size(4, '\0');
    qToLittleEndian(quint32(samples.size()), size.data());
    w += format + "data" + size + samples;
    qToLittleEndian(quint32(w.size() - 8), w.data() + 4);
    return w;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString path = Fuzz::scratch().filePath(QStringLiteral("beep.wav"));
    const QByteArray file(reinterpret_cast<const char *>(data), qsizetype(size));
    FUZZ_CHECK(Fuzz::writeFile(path, file));
    const QByteArray cue = loadCue(path);
    // At most one byte a frame at 1000 Hz, made 8000 Hz samples of two bytes.
    FUZZ_CHECK(cue.size() % 2 == 0 && cue.size() <= 16 * file.size());

    FuzzedDataProvider in(data, size);
    QByteArray samples = QByteArray::fromStdString(in.ConsumeRemainingBytesAsString());
    samples.chop(samples.size() % 2);
    FUZZ_CHECK(Fuzz::writeFile(path, wave(1, 1, 8000, 16, samples)));
    FUZZ_CHECK(loadCue(path) == samples);
    return 0;
}
