#include "tests/support/compression/speech_signal.h"

#include <QtEndian>

#include <algorithm>
#include <cmath>

#include <gsm.h>

namespace CompressionTestSupport {

QByteArray speechLike16(int sampleCount, quint32 seed)
{
    constexpr double Rate = 8000.0, Pi = 3.14159265358979323846;
    constexpr double Low[3] = {300, 900, 2300}, High[3] = {800, 2200, 3000}, Width[3] = {90, 120, 180};
    quint32 state = seed * 2654435761u + 1u;
    auto uniform = [&state](double low, double high) {
        state = state * 1664525u + 1013904223u;
        return low + (high - low) * double(state >> 8) / double(1u << 24);
    };
    std::vector<double> signal(size_t(std::max(sampleCount, 0)), 0.0);
    double phase[40] = {}, peak = 1e-9;
    for (size_t at = 0; at < signal.size();) {
        const size_t syllable = size_t(uniform(0.12, 0.30) * Rate), pause = size_t(uniform(0.04, 0.12) * Rate);
        const double pitchFrom = uniform(100, 200), pitchTo = uniform(100, 200);
        double from[3], to[3];
        for (int f = 0; f < 3; ++f) {
            from[f] = uniform(Low[f], High[f]);
            to[f] = uniform(Low[f], High[f]);
        }
        for (size_t i = 0; i < syllable && at < signal.size(); ++i, ++at) {
            const double t = double(i) / double(syllable), pitch = pitchFrom + (pitchTo - pitchFrom) * t;
            const double envelope = std::sin(Pi * t) * std::sin(Pi * t);
            for (int k = 1; k <= 40 && k * pitch < 3800.0; ++k) {
                double gain = 0.0; // the harmonic under the three formant resonances
                for (int f = 0; f < 3; ++f) {
                    const double d = (k * pitch - from[f] - (to[f] - from[f]) * t) / Width[f];
                    gain += 1.0 / (1.0 + d * d);
                }
                phase[k - 1] += 2.0 * Pi * k * pitch / Rate;
                signal[at] += gain * envelope * std::sin(phase[k - 1]) / k;
            }
            peak = std::max(peak, std::abs(signal[at]));
        }
        at = std::min(signal.size(), at + pause); // a silent pause
    }
    QByteArray raw(2 * qsizetype(signal.size()), '\0');
    for (size_t i = 0; i < signal.size(); ++i)
        qToLittleEndian(qint16(std::lround(signal[i] / peak * 14000.0)), raw.data() + 2 * i);
    return raw;
}

std::vector<qint16> samplesOf(const QByteArray &raw, int width)
{
    std::vector<qint16> samples(size_t(raw.size() / width));
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = width == 2 ? qFromLittleEndian<qint16>(raw.constData() + 2 * i)
                                : qint16((quint8(raw[qsizetype(i)]) - 128) * 256);
    return samples;
}

double correlation(const std::vector<qint16> &a, const std::vector<qint16> &b, size_t skip)
{
    const double n = double(std::min(a.size(), b.size() - std::min(skip, b.size())));
    double sa = 0, sb = 0, saa = 0, sbb = 0, sab = 0;
    for (size_t i = 0; i < size_t(n); ++i) {
        const double x = a[i], y = b[i + skip];
        sa += x;
        sb += y;
        saa += x * x;
        sbb += y * y;
        sab += x * y;
    }
    const double varA = n * saa - sa * sa, varB = n * sbb - sb * sb;
    return (varA > 0 && varB > 0) ? (n * sab - sa * sb) / std::sqrt(varA * varB) : 0.0;
}

std::vector<qint16> decodeGsmBlocks(const QByteArray &blocks)
{
    if (blocks.size() % 65 != 0)
        return {};
    gsm handle = gsm_create();
    int one = 1;
    gsm_option(handle, GSM_OPT_WAV49, &one);
    QByteArray copy = blocks;
    auto *bytes = reinterpret_cast<gsm_byte *>(copy.data());
    std::vector<qint16> samples;
    gsm_signal frame[160];
    bool ok = true;
    // A block holds two frames: 33 bytes, then 32.
    for (qsizetype at = 0; ok && at < copy.size(); at += 65) {
        for (int half = 0; half < 2 && ok; ++half) {
            ok = gsm_decode(handle, bytes + at + 33 * half, frame) == 0;
            samples.insert(samples.end(), frame, frame + 160);
        }
    }
    gsm_destroy(handle);
    return ok ? samples : std::vector<qint16>();
}

}  // namespace CompressionTestSupport
