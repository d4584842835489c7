// The compression job on any 8-bit or 4-bit ADPCM recording: the voice file's RIFF, fact
// and data sizes agree with each other, with the file and with the recording, and no
// temporary file is left; a format without a codec touches nothing.

#include "compression/wave_converter.h"
#include "fuzz_support.h"

#include <QtEndian>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const bool adpcm = in.ConsumeBool();
    const int tag = in.ConsumeBool() ? WaveFormat::TagGsm610 : in.ConsumeIntegral<quint16>();
    const QByteArray source = QByteArray::fromStdString(in.ConsumeRemainingBytesAsString());

    QTemporaryDir folder(Fuzz::scratch().filePath(QStringLiteral("job-XXXXXX")));
    const QString sourcePath = QDir(folder.path()).filePath(QStringLiteral("v.pcm"));
    const QString wavePath = QDir(folder.path()).filePath(QStringLiteral("v.wav"));
    FUZZ_CHECK(TestFiles::write(sourcePath, source));
    CWaveConverter job;
    FUZZ_CHECK(job.SetSourceFile(sourcePath) == 1);
    job.SetCompressedFile(wavePath);
    job.SetSourceFormat(adpcm ? WaveFormat::SourceAdpcm4 : WaveFormat::SourcePcm8);
    job.SetCompressionType(tag);
    const int result = job.Compress();
    const QStringList left = QDir(folder.path()).entryList(QDir::Files | QDir::Hidden);
    if (tag != WaveFormat::TagGsm610) {
        FUZZ_CHECK(result == 0 && job.GetLastError() == CompressionError::NoCodec);
        FUZZ_CHECK(left == QStringList{QStringLiteral("v.pcm")} && TestFiles::read(sourcePath) == source);
        return 0;
    }
    FUZZ_CHECK(result == 1 && left == QStringList({QStringLiteral("v.pcm"), QStringLiteral("v.wav")}));

    // The 8-bit recording the job encodes: ADPCM passes its first 256 bytes unchanged (padded
    // when shorter) and makes two samples of every later byte.
    const qint64 length = adpcm ? 256 + 2 * std::max<qint64>(0, source.size() - 256) : source.size();
    FUZZ_CHECK(QFileInfo(sourcePath).size() == length);
    const QByteArray wave = TestFiles::read(wavePath);
    const auto u32 = [&wave](int at) { return qFromLittleEndian<quint32>(wave.constData() + at); };
    const auto u16 = [&wave](int at) { return qFromLittleEndian<quint16>(wave.constData() + at); };
    FUZZ_CHECK(wave.size() == WaveFormat::GsmHeaderSize + 65 * (length / 320));
    FUZZ_CHECK(wave.startsWith("RIFF") && u32(4) == quint32(wave.size() - 8) && wave.mid(8, 8) == "WAVEfmt ");
    FUZZ_CHECK(u32(16) == 20 && u16(20) == 49 && u16(22) == 1 && u32(24) == 8000);
    FUZZ_CHECK(wave.mid(40, 4) == "fact" && u32(44) == 4);
    FUZZ_CHECK(u32(48) <= length && u32(48) + 1 >= length);  // the float duration may lose one
    FUZZ_CHECK(wave.mid(52, 4) == "data" && u32(56) == quint32(wave.size() - WaveFormat::GsmHeaderSize));
    return 0;
}
