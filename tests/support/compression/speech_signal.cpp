#include "tests/support/compression/speech_signal.h"

#include <QtEndian>

#include <algorithm>
#include <cmath>

namespace CompressionTestSupport {

namespace {

constexpr double Rate = 8000.0;
constexpr double Pi = 3.14159265358979323846;

class Random
{
public:
    explicit Random(quint32 seed) : m_state(seed * 2654435761u + 1u) {}
    double uniform(double low, double high)
    {
        m_state = m_state * 1664525u + 1013904223u;
        return low + (high - low) * double(m_state >> 8) / double(1u << 24);
    }

private:
    quint32 m_state;
};

// Gain of one harmonic under three formant resonances.
double formantGain(double frequency, const double (&formants)[3])
{
    static constexpr double Bandwidth[3] = {90.0, 120.0, 180.0};
    double gain = 0.0;
    for (int i = 0; i < 3; ++i) {
        const double d = (frequency - formants[i]) / Bandwidth[i];
        gain += 1.0 / (1.0 + d * d);
    }
    return gain;
}

}  // namespace

QByteArray speechLike16(int sampleCount, quint32 seed)
{
    Random random(seed);
    std::vector<double> signal(size_t(std::max(sampleCount, 0)), 0.0);
    double phase[40] = {};
    size_t at = 0;
    while (at < signal.size()) {
        const size_t syllable = size_t(random.uniform(0.12, 0.30) * Rate);
        const size_t pause = size_t(random.uniform(0.04, 0.12) * Rate);
        const double pitchFrom = random.uniform(100.0, 200.0), pitchTo = random.uniform(100.0, 200.0);
        const double from[3] = {random.uniform(300, 800), random.uniform(900, 2200), random.uniform(2300, 3000)};
        const double to[3] = {random.uniform(300, 800), random.uniform(900, 2200), random.uniform(2300, 3000)};
        for (size_t i = 0; i < syllable && at < signal.size(); ++i, ++at) {
            const double t = double(i) / double(syllable);
            const double pitch = pitchFrom + (pitchTo - pitchFrom) * t;
            const double formants[3] = {from[0] + (to[0] - from[0]) * t, from[1] + (to[1] - from[1]) * t,
                                        from[2] + (to[2] - from[2]) * t};
            double value = 0.0;
            for (int k = 1; k <= 40 && k * pitch < 3800.0; ++k) {
                phase[k - 1] += 2.0 * Pi * k * pitch / Rate;
                value += formantGain(k * pitch, formants) * std::sin(phase[k - 1]) / double(k);
            }
            const double envelope = std::sin(Pi * t);
            signal[at] = value * envelope * envelope;
        }
        for (size_t i = 0; i < pause && at < signal.size(); ++i, ++at)
            signal[at] = random.uniform(-0.01, 0.01);
    }
    double peak = 1e-9;
    for (double v : signal)
        peak = std::max(peak, std::abs(v));
    QByteArray raw(2 * qsizetype(signal.size()), '\0');
    for (size_t i = 0; i < signal.size(); ++i)
        qToLittleEndian(qint16(std::lround(signal[i] / peak * 14000.0)), raw.data() + 2 * i);
    return raw;
}

std::vector<qint16> samplesOf16Bit(const QByteArray &raw)
{
    std::vector<qint16> samples(size_t(raw.size() / 2));
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = qFromLittleEndian<qint16>(raw.constData() + 2 * i);
    return samples;
}

std::vector<qint16> samplesOf8Bit(const QByteArray &raw)
{
    std::vector<qint16> samples(size_t(raw.size()));
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = qint16((static_cast<unsigned char>(raw[qsizetype(i)]) - 128) * 256);
    return samples;
}

double correlation(const std::vector<qint16> &a, const std::vector<qint16> &b, size_t n)
{
    if (n == 0)
        n = std::min(a.size(), b.size());
    n = std::min({n, a.size(), b.size()});
    if (n == 0)
        return 0.0;
    double meanA = 0, meanB = 0;
    for (size_t i = 0; i < n; ++i) {
        meanA += a[i];
        meanB += b[i];
    }
    meanA /= double(n);
    meanB /= double(n);
    double ab = 0, aa = 0, bb = 0;
    for (size_t i = 0; i < n; ++i) {
        const double x = a[i] - meanA, y = b[i] - meanB;
        ab += x * y;
        aa += x * x;
        bb += y * y;
    }
    return (aa > 0 && bb > 0) ? ab / std::sqrt(aa * bb) : 0.0;
}

}  // namespace CompressionTestSupport
