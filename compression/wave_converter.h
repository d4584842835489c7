#pragma once

#include "compression/voice_format.h"
#include "compression/wave_format.h"

#include <QString>
#include <QtGlobal>

class BlockEncoder;
class Mp3Encoder;

// Numbers of the last failed step of a job, kept in m_lastError (0 = no error).
namespace CompressionError {
constexpr int None = 0;
constexpr int NoSuchFile = 1;        // the length query found no file
constexpr int WaveHeader = 2;        // the WAV header could not be written
constexpr int WaveData = 3;          // the blocks could not be appended whole
constexpr int WaveCreate = 4;        // the WAV file cannot be created
constexpr int TempOpen = 5;          // the temporary stream cannot be opened
constexpr int WaveAppendOpen = 6;    // the WAV file cannot be opened for appending
constexpr int ShortWrite = 7;        // a write to the WAV file was short
constexpr int SourceMissing = 10;    // the source file is missing
constexpr int NoCodec = 11;          // no encoder exists for the format tag
constexpr int CodecFailed = 12;      // the encoder could not start or failed on a block
constexpr int TempCreate = 13;       // the temporary stream cannot be created
constexpr int SourceRead = 14;       // the source could not be read whole
constexpr int AdpcmDecode = 15;      // the ADPCM source could not be decoded
constexpr int TempWrite = 16;        // the temporary stream could not be written whole
constexpr int NoWorker = 17;         // no worker thread could be started
constexpr int NotPcm16 = 18;         // an MP3 was asked of a source that is not 16-bit PCM
constexpr int CodecMissing = 19;     // the codec's library cannot be loaded
}  // namespace CompressionError

// Formats, paths and lengths of one compression, and every file and conversion step
// of it. A GSM 6.10 WAV is made from an 8-bit copy of the recording (or a 4-bit ADPCM
// one, decoded in place first); an MP3 from the 16-bit recording itself, which it
// only reads. Either is encoded block by block into the temporary stream (the source
// path followed by "_"), which is then put behind its header (the RIFF header, or
// the ID3v2 tag and the Xing/LAME frame) in the voice file.
// Operations return 1 on success and 0 on failure, with the step in m_lastError.
// Paths have no length limit.
class CWaveConverter
{
public:
    CWaveConverter() = default;
    virtual ~CWaveConverter() = default;

    // 0 with m_lastError 10 when no such file; otherwise takes the path, removes a
    // left-over temporary stream and notes the source's length.
    int SetSourceFile(const QString &path);
    void SetCompressedFile(const QString &path) { m_wavePath = path; }
    void SetCompressionType(int formatTag);
    void SetSourceFormat(int code) { m_inputFormat = code; }
    // GSM 6.10 WAV (the default, which the compression type and source format apply
    // to) or MP3 (from 16-bit PCM; the compression type does not apply).
    void SetVoiceFormat(VoiceFormat format) { m_voiceFormat = format; }
    // The title and date an MP3 voice file carries; a WAV file carries none.
    void SetVoiceTags(const VoiceTags &tags) { m_tags = tags; }

    // The whole conversion; 0 when anything failed, leaving no temporary stream and
    // no partial WAV file behind.
    int Compress();

    // Source length over voice-file length.
    double GetCompressionRatio();
    // The 16-bit recording's length (two bytes a sample, whatever the source's width)
    // over the voice file's length: the figure of the log's "Compression Ratio" line.
    double GetRecordingRatio();
    int GetElapsedSeconds();
    void DeleteTempFile();

    // The file's length in bytes; 0 with m_lastError 1 when there is no such file.
    quint32 GetFileLength(const QString &path);
    int WriteWaveFile();
    int WriteWaveHeader();
    int AppendCompressedData();
    // Decodes the ADPCM source in place into 8-bit unsigned PCM.
    int DecodeAdpcmFile();

    const QString &GetSourcePath() const { return m_sourcePath; }
    // The voice file's path, whatever its format.
    const QString &GetWavePath() const { return m_wavePath; }
    int GetInputFormat() const { return m_inputFormat; }
    VoiceFormat GetVoiceFormat() const { return m_voiceFormat; }
    int GetLastError() const { return m_lastError; }
    // One line saying why the last job failed, for the log.
    QString GetLastErrorText() const;

    int m_inputFormat = WaveFormat::SourcePcm8;
    int m_formatTag = WaveFormat::TagGsm610;
    QString m_sourcePath;
    QString m_wavePath;
    int m_elapsedSeconds = 0;
    int m_lastError = CompressionError::None;
    quint32 m_sourceLength = 0;
    int m_waveLength = 0;
    int m_sampleCount = 0;
    QString m_tempPath;
    VoiceFormat m_voiceFormat = VoiceFormat::Gsm610Wav;
    VoiceTags m_tags;
    quint32 m_recordingLength = 0; // of the 16-bit recording the source stands for

private:
    int encodeToTempStream(BlockEncoder &encoder, int width, quint32 sourceLength);
    int writeMp3File(const Mp3Encoder &encoder);
    int writeVoiceFile(const QByteArray &head, qint64 replaced);
    int writeHead(const QByteArray &head);
    int appendStream(qint64 skip);
    int fail(int error);
    QString codecName() const;

    QString m_codecLoadError; // why the codec's library cannot be loaded
};
