// The conversion of a raw recording into the voice file.

#include "compression/wave_converter.h"

#include "compression/block_encoder.h"
#include "compression/file_ops.h"
#include "compression/mp3_encoder.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <QtEndian>

#include <algorithm>
#include <vector>

using namespace CompressionError;

namespace {

// Sample i of a block: 16-bit little-endian, or 8-bit unsigned u standing for the
// 16-bit sample (u - 128) * 256.
qint16 sampleAt(const char *block, int i, int width)
{
    if (width == 2)
        return qFromLittleEndian<qint16>(block + 2 * i);
    return qint16((static_cast<unsigned char>(block[i]) - 128) * 256);
}

bool writeAll(QFile &file, const std::vector<unsigned char> &bytes)
{
    const qint64 size = qint64(bytes.size());
    return size == 0 || file.write(reinterpret_cast<const char *>(bytes.data()), size) == size;
}

}  // namespace

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

double CWaveConverter::GetRecordingRatio()
{
    m_lastError = None;
    if (m_waveLength <= 0)
        return 0.0;
    return double(m_recordingLength) / double(m_waveLength);
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
    const bool mp3 = m_voiceFormat == VoiceFormat::Mp3;
    // Nothing is touched when there is no codec for the tag.
    if (!mp3 && !EncoderAvailable(m_formatTag))
        return fail(NoCodec);
    // ADPCM is decoded in place, and the MP3's source, the recording, is only read.
    if (mp3 && m_inputFormat == WaveFormat::SourceAdpcm4)
        return fail(NotPcm16);
    // The codec's library is loaded by the first job that needs it.
    m_codecLoadError = mp3 ? Mp3Encoder::loadError() : EncoderLoadError(m_formatTag);
    if (!m_codecLoadError.isEmpty())
        return fail(CodecMissing);
    if (m_inputFormat == WaveFormat::SourceAdpcm4 && !DecodeAdpcmFile())
        return fail(AdpcmDecode);
    if (!QFileInfo(m_sourcePath).isFile())
        return fail(SourceMissing);

    const int width = mp3 ? 2 : 1;
    const quint32 length = GetFileLength(m_sourcePath);
    const float duration = float(length) * 0.000125f;
    const std::unique_ptr<Mp3Encoder> mp3Encoder = mp3 ? Mp3Encoder::create(m_tags) : nullptr;
    const std::unique_ptr<BlockEncoder> waveEncoder = mp3 ? nullptr : CreateBlockEncoder(m_formatTag);
    BlockEncoder *encoder = mp3 ? static_cast<BlockEncoder *>(mp3Encoder.get()) : waveEncoder.get();
    if (!encoder)
        return fail(CodecFailed);
    const qint64 started = QDateTime::currentSecsSinceEpoch();
    const int encoded = encodeToTempStream(*encoder, width, length);
    const qint64 finished = QDateTime::currentSecsSinceEpoch();
    if (!encoded) {
        const int error = m_lastError;
        DeleteTempFile();
        return fail(error);
    }

    // The fact count comes from the duration held as a float, as the voice files
    // always had it: one short of the length for some lengths.
    m_sampleCount = mp3 ? int(length / 2) : int(double(duration) * WaveFormat::SampleRate);
    if (!(mp3 ? writeMp3File(*mp3Encoder) : WriteWaveFile())) {
        const int error = m_lastError;
        DeleteTempFile();
        // A voice file that is not whole must not be mailed.
        CompressionFiles::removeFile(m_wavePath);
        return fail(error);
    }
    DeleteTempFile();
    m_elapsedSeconds = int(finished - started);
    m_waveLength = int(GetFileLength(m_wavePath));
    m_recordingLength = length / quint32(width) * 2;
    return 1;
}

int CWaveConverter::encodeToTempStream(BlockEncoder &encoder, int width, quint32 sourceLength)
{
    QFile source(m_sourcePath);
    if (!source.open(QIODevice::ReadOnly))
        return fail(SourceMissing);
    CompressionFiles::makeWritable(m_tempPath);
    QFile stream(m_tempPath);
    if (!stream.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return fail(TempCreate);

    const int block = encoder.samplesPerBlock();
    std::vector<char> in(size_t(block * width));
    std::vector<qint16> samples(static_cast<size_t>(block));
    std::vector<unsigned char> out;
    const quint32 total = sourceLength / quint32(width);
    // A codec of fixed blocks leaves the rest after the last whole one (under 40 ms
    // for GSM) unencoded.
    const quint32 end = encoder.encodesRest() ? total : total / quint32(block) * quint32(block);
    for (quint32 at = 0; at < end; at += quint32(block)) {
        const int count = int(std::min<quint32>(quint32(block), end - at));
        if (source.read(in.data(), count * width) != count * width)
            return fail(SourceRead);
        for (int i = 0; i < count; ++i)
            samples[size_t(i)] = sampleAt(in.data(), i, width);
        out.clear();
        if (!encoder.encode(samples.data(), count, out))
            return fail(CodecFailed);
        if (!writeAll(stream, out))
            return fail(TempWrite);
    }
    out.clear();
    if (!encoder.finish(out))
        return fail(CodecFailed);
    if (!writeAll(stream, out) || !stream.flush())
        return fail(TempWrite);
    return 1;
}

int CWaveConverter::writeMp3File(const Mp3Encoder &encoder)
{
    // Without its Xing/LAME frame the file would show players a wrong length.
    const QByteArray frame = encoder.lameTagFrame();
    if (frame.isEmpty())
        return fail(CodecFailed);
    return writeVoiceFile(encoder.id3v2Tag() + frame, frame.size());
}

QString CWaveConverter::codecName() const
{
    return m_voiceFormat == VoiceFormat::Mp3 ? QStringLiteral("MP3") : WaveFormat::FormatName(m_formatTag);
}

QString CWaveConverter::GetLastErrorText() const
{
    switch (m_lastError) {
    case None: return QStringLiteral("no error");
    case NoCodec: return QStringLiteral("no codec for ") + WaveFormat::FormatName(m_formatTag);
    case CodecFailed: return codecName() + QStringLiteral(" codec error");
    case CodecMissing: return codecName() + QStringLiteral(" codec error: ") + m_codecLoadError;
    case NotPcm16: return QStringLiteral("an MP3 voice file is made from 16-bit PCM only, not ADPCM");
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
