// The WAV container: header, data chunk and the length query.

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
    m_lastError = None;
    if (QFileInfo::exists(m_wavePath))
        CompressionFiles::removeFile(m_wavePath);
    if (!WriteWaveHeader()) {
        m_lastError = WaveHeader;
        return 0;
    }
    if (!AppendCompressedData()) {
        m_lastError = WaveData;
        return 0;
    }
    return 1;
}

int CWaveConverter::WriteWaveHeader()
{
    m_lastError = None;
    const quint32 dataLength = GetFileLength(m_tempPath);
    // A tag without a header would give a file no player understands.
    const QByteArray header = WaveFormat::BuildWaveHeader(m_formatTag, dataLength, quint32(m_sampleCount));
    if (header.isEmpty())
        return fail(WaveCreate);
    CompressionFiles::makeWritable(m_wavePath);
    QFile wave(m_wavePath);
    if (!wave.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return fail(WaveCreate);
    if (wave.write(header) != header.size() || !wave.flush())
        return fail(ShortWrite);
    return 1;
}

int CWaveConverter::AppendCompressedData()
{
    m_lastError = None;
    CompressionFiles::makeWritable(m_tempPath);
    QFile stream(m_tempPath);
    if (!stream.open(QIODevice::ReadOnly))
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
