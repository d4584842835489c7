// Decoding a 4-bit ADPCM source in place into 8-bit unsigned PCM.

#include "compression/adpcm.h"
#include "compression/file_ops.h"
#include "compression/wave_converter.h"

#include <QFile>

#include <vector>

namespace {

constexpr qint64 LeadingBlock = 256; // passed through unchanged
constexpr qint64 InputBlock = 512;   // bytes of codes per step, two codes each

// Decodes the codes after the leading block; false when a read or write failed.
bool decodeCodes(QFile &source, QFile &output)
{
    AdpcmState state;
    AdpcmReset(state);
    char in[InputBlock];
    std::vector<qint16> samples(2 * InputBlock);
    for (;;) {
        const qint64 got = source.read(in, InputBlock);
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        for (qint64 i = 0; i < got; ++i) {
            const int byte = static_cast<unsigned char>(in[i]);
            samples[size_t(2 * i)] = AdpcmDecodeNibble(byte >> 4, state);
            samples[size_t(2 * i + 1)] = AdpcmDecodeNibble(byte & 0x0F, state);
        }
        if (!WriteDecodedSamples(output, 1, samples.data(), int(2 * got)))
            return false;
    }
}

}  // namespace

int CWaveConverter::DecodeAdpcmFile()
{
    const QString outputPath = m_sourcePath + QStringLiteral(".pcm");
    QFile source(m_sourcePath);
    if (!source.open(QIODevice::ReadOnly))
        return 0;
    QFile output(outputPath);
    if (!output.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 0;

    // A source shorter than the leading block is padded with zero bytes.
    QByteArray leading = source.read(LeadingBlock);
    leading.append(QByteArray(LeadingBlock - leading.size(), '\0'));
    const bool ok = source.error() == QFileDevice::NoError && output.write(leading) == LeadingBlock &&
                    decodeCodes(source, output) && output.flush();
    output.close();
    source.close();
    // A source that could not be decoded whole stays as it was.
    if (!ok || !CompressionFiles::replaceFile(outputPath, m_sourcePath)) {
        CompressionFiles::removeFile(outputPath);
        return 0;
    }
    return 1;
}
