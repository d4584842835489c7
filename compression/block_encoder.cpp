#include "compression/block_encoder.h"

#include "compression/wave_format.h"

#include "compression/codec_libraries.h"

#include <algorithm>

namespace {

// GSM 6.10 in the WAV layout (GSM_OPT_WAV49): 320 samples become one 65-byte block of
// two frames, the first in bytes 0..31 and the second in bytes 32..64. libgsm keeps
// the frame parity itself, so blocks must be fed in order to one encoder.
class GsmEncoder : public BlockEncoder
{
public:
    static constexpr int Samples = 320;
    static constexpr int Bytes = 65;
    static constexpr int FrameSamples = 160;
    static constexpr int FirstFrameBytes = 32;

    explicit GsmEncoder(const Gsm::Api &gsm) : m_gsm(gsm), m_handle(gsm.create())
    {
        int one = 1;
        if (m_handle && m_gsm.option(m_handle, GSM_OPT_WAV49, &one) < 0) {
            m_gsm.destroy(m_handle);
            m_handle = nullptr;
        }
    }
    ~GsmEncoder() override
    {
        if (m_handle)
            m_gsm.destroy(m_handle);
    }
    GsmEncoder(const GsmEncoder &) = delete;
    GsmEncoder &operator=(const GsmEncoder &) = delete;

    bool isValid() const { return m_handle != nullptr; }
    int samplesPerBlock() const override { return Samples; }
    bool encodesRest() const override { return false; }

    bool encode(const qint16 *samples, int count, std::vector<unsigned char> &out) override
    {
        if (count != Samples)
            return false;
        // libgsm takes its input as non-const; hand it a copy.
        std::copy(samples, samples + Samples, m_signal);
        const size_t at = out.size();
        out.resize(at + Bytes);
        m_gsm.encode(m_handle, m_signal, out.data() + at);
        m_gsm.encode(m_handle, m_signal + FrameSamples, out.data() + at + FirstFrameBytes);
        return true;
    }
    bool finish(std::vector<unsigned char> &) override { return true; }

private:
    const Gsm::Api &m_gsm;
    gsm m_handle;
    gsm_signal m_signal[Samples] = {};
};

}  // namespace

bool EncoderAvailable(int formatTag)
{
    return formatTag == WaveFormat::TagGsm610;
}

QString EncoderLoadError(int formatTag)
{
    return formatTag == WaveFormat::TagGsm610 && !Gsm::library() ? Gsm::loadError() : QString();
}

std::unique_ptr<BlockEncoder> CreateBlockEncoder(int formatTag)
{
    const Gsm::Api *gsm = Gsm::library();
    if (formatTag != WaveFormat::TagGsm610 || !gsm)
        return nullptr;
    auto encoder = std::make_unique<GsmEncoder>(*gsm);
    if (!encoder->isValid())
        return nullptr;
    return encoder;
}
