// The cue reader: any file gives whole 16-bit samples, no more than its data can make at
// the lowest rate it accepts, and a 16-bit 8000 Hz mono file gives its samples unchanged.

#include "audio/cue_sound.h"
#include "fuzz_support.h"

#include <QtEndian>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString path = Fuzz::scratch().filePath(QStringLiteral("beep.wav"));
    const QByteArray file = Fuzz::input(data, size);
    FUZZ_CHECK(TestFiles::write(path, file));
    const QByteArray cue = loadCue(path);
    // At most one byte a frame at 1000 Hz, made 8000 Hz samples of two bytes.
    FUZZ_CHECK(cue.size() % 2 == 0 && cue.size() <= 16 * file.size());

    // The same bytes as the samples of a PCM file: format 1, one channel, 8000 Hz, 16 bits.
    const QByteArray samples = file.left(file.size() & ~1);
    QByteArray wave("RIFF\0\0\0\0WAVEfmt \x10\0\0\0\x01\0\x01\0\x40\x1f\0\0\x80\x3e\0\0\x02\0\x10\0data\0\0\0\0", 44);
    qToLittleEndian(quint32(36 + samples.size()), wave.data() + 4);
    qToLittleEndian(quint32(samples.size()), wave.data() + 40);
    FUZZ_CHECK(TestFiles::write(path, wave + samples) && loadCue(path) == samples);
    return 0;
}
