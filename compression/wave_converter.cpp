// The conversion of a raw recording into the voice file.

#include "compression/wave_converter.h"

#include "compression/block_encoder.h"
#include "compression/file_ops.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <vector>

using namespace CompressionError;

int CWaveConverter::fail(int error)
{
    m_lastError = error;
    return 0;
}

int CWaveConverter::SetSourceFile(const QString &path)
{
    m_lastError = None;
    if (!QFileInfo(path).isFile())
        return fail(SourceMissing);
    m_sourcePath = path;
    m_tempPath = path + QLatin1Char('_');
    DeleteTempFile();
    m_sourceLength = GetFileLength(path);
    return 1;
}

void CWaveConverter::SetCompressionType(int formatTag)
{
    m_formatTag = formatTag;
    m_lastError = None;
}

double CWaveConverter::GetCompressionRatio()
{
    m_lastError = None;
    if (m_waveLength <= 0)
        return 0.0;
    return double(m_sourceLength) / double(m_waveLength);
}

int CWaveConverter::GetElapsedSeconds()
{
    m_lastError = None;
    return m_elapsedSeconds;
}

void CWaveConverter::DeleteTempFile()
{
    CompressionFiles::removeFile(m_tempPath);
}

int CWaveConverter::Compress()
{
    m_lastError = None;
    // Nothing is touched when there is no codec for the tag.
    if (!EncoderAvailable(m_formatTag))
        return fail(NoCodec);
    if (m_inputFormat == WaveFormat::SourceAdpcm4 && !DecodeAdpcmFile())
        return fail(AdpcmDecode);
    if (!QFileInfo(m_sourcePath).isFile())
        return fail(SourceMissing);

    const quint32 length = GetFileLength(m_sourcePath);
    const float duration = float(length) * 0.000125f;
    const qint64 started = QDateTime::currentSecsSinceEpoch();
    const int encoded = encodeToTempStream(length);
    const qint64 finished = QDateTime::currentSecsSinceEpoch();
    if (!encoded) {
        const int error = m_lastError;
        DeleteTempFile();
        return fail(error);
    }

    // The fact count comes from the duration held as a float, as the voice files
    // always had it: one short of the length for some lengths.
    m_sampleCount = int(double(duration) * WaveFormat::SampleRate);
    if (!WriteWaveFile()) {
        const int error = m_lastError;
        DeleteTempFile();
        // A voice file that is not whole must not be mailed.
        CompressionFiles::removeFile(m_wavePath);
        return fail(error);
    }
    DeleteTempFile();
    m_elapsedSeconds = int(finished - started);
    m_waveLength = int(GetFileLength(m_wavePath));
    return 1;
}

int CWaveConverter::encodeToTempStream(quint32 sourceLength)
{
    std::unique_ptr<BlockEncoder> encoder = CreateBlockEncoder(m_formatTag);
    if (!encoder)
        return fail(CodecFailed);
    QFile source(m_sourcePath);
    if (!source.open(QIODevice::ReadOnly))
        return fail(SourceMissing);
    CompressionFiles::makeWritable(m_tempPath);
    QFile stream(m_tempPath);
    if (!stream.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return fail(TempCreate);

    const int samplesPerBlock = encoder->samplesPerBlock();
    const int bytesPerBlock = encoder->bytesPerBlock();
    std::vector<char> in(static_cast<size_t>(samplesPerBlock));
    std::vector<qint16> samples(static_cast<size_t>(samplesPerBlock));
    std::vector<unsigned char> out(static_cast<size_t>(bytesPerBlock));
    // The rest after the last whole block (under 40 ms) is not encoded.
    const quint32 blocks = sourceLength / quint32(samplesPerBlock);
    for (quint32 b = 0; b < blocks; ++b) {
        if (source.read(in.data(), samplesPerBlock) != samplesPerBlock)
            return fail(SourceRead);
        // 8-bit unsigned u stands for the 16-bit sample (u - 128) * 256.
        for (int i = 0; i < samplesPerBlock; ++i)
            samples[size_t(i)] = qint16((static_cast<unsigned char>(in[size_t(i)]) - 128) * 256);
        if (!encoder->encodeBlock(samples.data(), out.data()))
            return fail(CodecFailed);
        if (stream.write(reinterpret_cast<const char *>(out.data()), bytesPerBlock) != bytesPerBlock)
            return fail(TempWrite);
    }
    if (!stream.flush())
        return fail(TempWrite);
    return 1;
}

QString CWaveConverter::GetLastErrorText() const
{
    switch (m_lastError) {
    case None: return QStringLiteral("no error");
    case NoCodec: return QStringLiteral("no codec for ") + WaveFormat::FormatName(m_formatTag);
    case CodecFailed: return WaveFormat::FormatName(m_formatTag) + QStringLiteral(" codec error");
    case SourceMissing:
    case NoSuchFile: return QStringLiteral("recording not found: ") + m_sourcePath;
    case SourceRead: return QStringLiteral("cannot read the recording ") + m_sourcePath;
    case AdpcmDecode: return QStringLiteral("cannot decode the ADPCM recording ") + m_sourcePath;
    case TempCreate:
    case TempOpen:
    case TempWrite: return QStringLiteral("cannot write the temporary file ") + m_tempPath;
    case WaveHeader:
    case WaveCreate: return QStringLiteral("cannot create the voice file ") + m_wavePath;
    case NoWorker: return QStringLiteral("no worker thread could be started");
    default: return QStringLiteral("the voice file was not written whole: ") + m_wavePath;
    }
}
