#include "compression/wave_format.h"

#include <QtEndian>

namespace WaveFormat {

namespace {

// Little-endian writer over a zeroed buffer of the header's final size.
class HeaderWriter
{
public:
    explicit HeaderWriter(int size) : m_bytes(size, '\0') {}

    void text(int offset, const char (&fourCc)[5]) { m_bytes.replace(offset, 4, fourCc, 4); }
    void u16(int offset, quint16 value) { qToLittleEndian(value, m_bytes.data() + offset); }
    void u32(int offset, quint32 value) { qToLittleEndian(value, m_bytes.data() + offset); }
    QByteArray bytes() const { return m_bytes; }

private:
    QByteArray m_bytes;
};

// The RIFF, fmt and common format fields shared by both layouts.
void writeCommon(HeaderWriter &w, int headerSize, quint32 dataLength, quint32 fmtSize, quint16 tag)
{
    w.text(0, "RIFF");
    w.u32(4, dataLength + quint32(headerSize - 8));
    w.text(8, "WAVE");
    w.text(12, "fmt ");
    w.u32(16, fmtSize);
    w.u16(20, tag);
    w.u16(22, 1);
    w.u32(24, SampleRate);
}

void writeTail(HeaderWriter &w, int factOffset, quint32 dataLength, quint32 sampleCount)
{
    w.text(factOffset, "fact");
    w.u32(factOffset + 4, 4);
    w.u32(factOffset + 8, sampleCount);
    w.text(factOffset + 12, "data");
    w.u32(factOffset + 16, dataLength);
}

QByteArray gsmHeader(quint32 dataLength, quint32 sampleCount)
{
    HeaderWriter w(GsmHeaderSize);
    writeCommon(w, GsmHeaderSize, dataLength, 20, TagGsm610);
    w.u32(28, 1625); // average bytes per second
    w.u16(32, 65);   // block align
    w.u16(34, 0);    // bits per sample
    w.u16(36, 2);    // extra format bytes
    w.u16(38, 320);  // samples per block
    writeTail(w, 40, dataLength, sampleCount);
    return w.bytes();
}

QByteArray trueSpeechHeader(quint32 dataLength, quint32 sampleCount)
{
    HeaderWriter w(TrueSpeechHeaderSize);
    writeCommon(w, TrueSpeechHeaderSize, dataLength, 50, TagTrueSpeech);
    w.u32(28, 1067); // average bytes per second
    w.u16(32, 32);   // block align
    w.u16(34, 1);    // bits per sample
    w.u16(36, 32);   // extra format bytes
    w.u16(38, 1);    // revision
    w.u16(40, 240);  // samples per block; 28 reserved zero bytes follow
    writeTail(w, 70, dataLength, sampleCount);
    return w.bytes();
}

}  // namespace

QByteArray BuildWaveHeader(int formatTag, quint32 dataLength, quint32 sampleCount)
{
    switch (formatTag) {
    case TagGsm610: return gsmHeader(dataLength, sampleCount);
    case TagTrueSpeech: return trueSpeechHeader(dataLength, sampleCount);
    default: return QByteArray();
    }
}

QString FormatName(int formatTag)
{
    switch (formatTag) {
    case TagGsm610: return QStringLiteral("GSM 6.10");
    case TagTrueSpeech: return QStringLiteral("DSP Group True Speech");
    default: return QStringLiteral("format tag %1").arg(formatTag);
    }
}

}  // namespace WaveFormat
