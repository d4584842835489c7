// The voice file's container: header and data, and the length query.

#include "compression/file_ops.h"
#include "compression/wave_converter.h"

#include <QFile>
#include <QFileInfo>

using namespace CompressionError;

quint32 CWaveConverter::GetFileLength(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isFile()) {
        m_lastError = NoSuchFile;
        return 0;
    }
    return quint32(info.size());
}

int CWaveConverter::WriteWaveFile()
{
    const quint32 dataLength = GetFileLength(m_tempPath);
    return writeVoiceFile(WaveFormat::BuildWaveHeader(m_formatTag, dataLength, quint32(m_sampleCount)), 0);
}

int CWaveConverter::WriteWaveHeader()
{
    m_lastError = None;
    const quint32 dataLength = GetFileLength(m_tempPath);
    return writeHead(WaveFormat::BuildWaveHeader(m_formatTag, dataLength, quint32(m_sampleCount)));
}

int CWaveConverter::AppendCompressedData()
{
    m_lastError = None;
    return appendStream(0);
}

// The head, then the temporary stream less its first `replaced` bytes, which the
// head's end stands in for.
int CWaveConverter::writeVoiceFile(const QByteArray &head, qint64 replaced)
{
    m_lastError = None;
    if (QFileInfo::exists(m_wavePath))
        CompressionFiles::removeFile(m_wavePath);
    if (!writeHead(head))
        return fail(WaveHeader);
    if (!appendStream(replaced))
        return fail(WaveData);
    return 1;
}

int CWaveConverter::writeHead(const QByteArray &head)
{
    // A format without a header would give a file no player understands.
    if (head.isEmpty())
        return fail(WaveCreate);
    CompressionFiles::makeWritable(m_wavePath);
    QFile wave(m_wavePath);
    if (!wave.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return fail(WaveCreate);
    if (wave.write(head) != head.size() || !wave.flush())
        return fail(ShortWrite);
    return 1;
}

int CWaveConverter::appendStream(qint64 skip)
{
    CompressionFiles::makeWritable(m_tempPath);
    QFile stream(m_tempPath);
    if (!stream.open(QIODevice::ReadOnly) || stream.size() < skip || !stream.seek(skip))
        return fail(TempOpen);
    QFile wave(m_wavePath);
    if (!wave.open(QIODevice::WriteOnly | QIODevice::Append))
        return fail(WaveAppendOpen);

    char block[16384];
    for (;;) {
        const qint64 got = stream.read(block, sizeof block);
        if (got < 0)
            return fail(TempOpen);
        if (got == 0)
            break;
        if (wave.write(block, got) != got)
            return fail(ShortWrite);
    }
    // The data reaches the disk only here; a short write shows up now.
    if (!wave.flush())
        return fail(ShortWrite);
    wave.close();
    stream.close();
    CompressionFiles::makeWritable(m_wavePath);
    return 1;
}
