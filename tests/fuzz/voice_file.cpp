// The compression job on any 8-bit or 4-bit ADPCM recording: the voice file's RIFF, fact
// and data sizes agree with each other, with the file and with the recording, and no
// temporary file is left; a format without a codec touches nothing.

#include "compression/wave_converter.h"
#include "fuzz_support.h"

#include <QtEndian>

namespace {

quint32 u32At(const QByteArray &b, int at) { return qFromLittleEndian<quint32>(b.constData() + at); }
quint16 u16At(const QByteArray &b, int at) { return qFromLittleEndian<quint16>(b.constData() + at); }

// The length of the 8-bit recording the job encodes from a source of `size` bytes.
qint64 pcmLength(qint64 size, bool adpcm)
{
    if (!adpcm)
        return size;
    // The first 256 bytes pass unchanged (padded when shorter); every later byte is two samples.
    return 256 + 2 * std::max<qint64>(0, size - 256);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const bool adpcm = in.ConsumeBool();
    const int tag = in.ConsumeBool() ? WaveFormat::TagGsm610 : in.ConsumeIntegral<quint16>();
    const QByteArray source = QByteArray::fromStdString(in.ConsumeRemainingBytesAsString());

    QTemporaryDir folder(Fuzz::scratch().filePath(QStringLiteral("job-XXXXXX")));
    const QString sourcePath = QDir(folder.path()).filePath(QStringLiteral("v.pcm"));
    const QString wavePath = QDir(folder.path()).filePath(QStringLiteral("v.wav"));
    FUZZ_CHECK(Fuzz::writeFile(sourcePath, source));
    CWaveConverter job;
    FUZZ_CHECK(job.SetSourceFile(sourcePath) == 1);
    job.SetCompressedFile(wavePath);
    job.SetSourceFormat(adpcm ? WaveFormat::SourceAdpcm4 : WaveFormat::SourcePcm8);
    job.SetCompressionType(tag);
    const int result = job.Compress();
    const QStringList left = QDir(folder.path()).entryList(QDir::Files | QDir::Hidden);
    if (tag != WaveFormat::TagGsm610) {
        FUZZ_CHECK(result == 0 && job.GetLastError() == CompressionError::NoCodec);
        FUZZ_CHECK(left == QStringList{QStringLiteral("v.pcm")} && Fuzz::readFile(sourcePath) == source);
        return 0;
    }
    FUZZ_CHECK(result == 1);
    FUZZ_CHECK((left == QStringList{QStringLiteral("v.pcm"), QStringLiteral("v.wav")}));

    const qint64 length = pcmLength(source.size(), adpcm);
    FUZZ_CHECK(QFileInfo(sourcePath).size() == length);
    const QByteArray wave = Fuzz::readFile(wavePath);
    const int header = WaveFormat::GsmHeaderSize;
    FUZZ_CHECK(wave.size() == header + 65 * (length / 320));
    FUZZ_CHECK(wave.startsWith("RIFF") && u32At(wave, 4) == quint32(wave.size() - 8) && wave.mid(8, 8) == "WAVEfmt ");
    FUZZ_CHECK(u32At(wave, 16) == 20 && u16At(wave, 20) == 49 && u16At(wave, 22) == 1 && u32At(wave, 24) == 8000);
    FUZZ_CHECK(wave.mid(40, 4) == "fact" && u32At(wave, 44) == 4);
    const qint64 samples = u32At(wave, 48);
    FUZZ_CHECK(samples <= length && samples + 1 >= length);  // the float duration may lose one
    FUZZ_CHECK(wave.mid(52, 4) == "data" && u32At(wave, 56) == quint32(wave.size() - header));
    return 0;
}
