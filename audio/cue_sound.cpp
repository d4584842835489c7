#include "audio/cue_sound.h"

#include "audio/audio_device.h"

#include <QFile>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

constexpr quint16 TagPcm = 1;
constexpr quint16 TagFloat = 3;
constexpr quint16 TagExtensible = 0xFFFE;

struct WavFormat
{
    quint16 tag = 0;
    int channels = 0;
    int rate = 0;
    int blockAlign = 0;
    int bits = 0;
};

quint16 u16(const char *p) { return qFromLittleEndian<quint16>(p); }
quint32 u32(const char *p) { return qFromLittleEndian<quint32>(p); }

bool readFormat(const char *p, quint32 size, WavFormat &format)
{
    if (size < 16)
        return false;
    format.tag = u16(p);
    format.channels = u16(p + 2);
    format.rate = int(u32(p + 4));
    format.blockAlign = u16(p + 12);
    format.bits = u16(p + 14);
    // The extensible form names the real format in the first two bytes of its GUID.
    if (format.tag == TagExtensible && size >= 26)
        format.tag = u16(p + 24);
    const bool pcm = format.tag == TagPcm && (format.bits == 8 || format.bits == 16 || format.bits == 24 || format.bits == 32);
    const bool real = format.tag == TagFloat && format.bits == 32;
    return (pcm || real) && format.channels >= 1 && format.rate >= 1000 && format.rate <= 384000 &&
           format.blockAlign == format.channels * format.bits / 8;
}

// One sample of the file as a value from -1 to 1.
double sampleAt(const char *p, const WavFormat &format)
{
    switch (format.bits) {
    case 8: return (static_cast<unsigned char>(*p) - 128) / 128.0;
    case 16: return qFromLittleEndian<qint16>(p) / 32768.0;
    case 24: {
        const qint32 v = qint32(quint32(static_cast<unsigned char>(p[0])) << 8 | quint32(static_cast<unsigned char>(p[1])) << 16 |
                                quint32(static_cast<unsigned char>(p[2])) << 24);
        return v / 2147483648.0;
    }
    default:
        if (format.tag == TagFloat) {
            const quint32 raw = u32(p);
            float f;
            std::memcpy(&f, &raw, sizeof f);
            return std::isfinite(f) ? std::clamp(double(f), -1.0, 1.0) : 0.0;
        }
        return qint32(u32(p)) / 2147483648.0;
    }
}

std::vector<double> mixDown(const char *data, qint64 frames, const WavFormat &format)
{
    std::vector<double> mono(size_t(frames), 0.0);
    const int width = format.bits / 8;
    for (qint64 i = 0; i < frames; ++i) {
        const char *frame = data + i * format.blockAlign;
        double sum = 0;
        for (int c = 0; c < format.channels; ++c)
            sum += sampleAt(frame + c * width, format);
        mono[size_t(i)] = sum / format.channels;
    }
    return mono;
}

// Down: the average of the source samples each output sample covers. Up: straight
// lines between neighbours.
QByteArray resample(const std::vector<double> &in, int rate)
{
    const double step = double(rate) / SoundFormat::SampleRate;
    const qint64 count = qint64(double(in.size()) / step);
    QByteArray out(int(count * SoundFormat::BytesPerSample), '\0');
    for (qint64 i = 0; i < count; ++i) {
        const double start = i * step;
        double value;
        if (step > 1.0) {
            const size_t from = size_t(start), to = std::min(in.size(), size_t(start + step));
            double sum = 0;
            for (size_t k = from; k < to; ++k)
                sum += in[k];
            value = to > from ? sum / double(to - from) : 0.0;
        } else {
            const size_t k = size_t(start);
            const double next = k + 1 < in.size() ? in[k + 1] : in[k];
            value = in[k] + (next - in[k]) * (start - double(k));
        }
        const auto sample = qint16(std::lround(std::clamp(value * 32768.0, -32768.0, 32767.0)));
        qToLittleEndian(sample, out.data() + i * SoundFormat::BytesPerSample);
    }
    return out;
}

}  // namespace

QByteArray loadCue(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    if (bytes.size() < 12 || !bytes.startsWith("RIFF") || bytes.mid(8, 4) != "WAVE")
        return {};

    WavFormat format;
    bool haveFormat = false;
    qint64 at = 12;
    while (at + 8 <= bytes.size()) {
        const char *chunk = bytes.constData() + at;
        const qint64 size = std::min<qint64>(u32(chunk + 4), bytes.size() - at - 8);
        const QByteArray id(chunk, 4);
        if (id == "fmt ") {
            haveFormat = readFormat(chunk + 8, quint32(size), format);
            if (!haveFormat)
                return {};
        } else if (id == "data") {
            if (!haveFormat)
                return {};
            const qint64 frames = size / format.blockAlign;
            return resample(mixDown(chunk + 8, frames, format), format.rate);
        }
        at += 8 + size + (size & 1);
    }
    return {};
}

QByteArray builtInTone()
{
    constexpr double Frequency = 880.0;
    constexpr int Samples = SoundFormat::SampleRate * 15 / 100;  // 150 ms
    constexpr int Ramp = SoundFormat::SampleRate / 100;          // 10 ms in and out
    constexpr double Amplitude = 12000.0;
    const double pi = std::acos(-1.0);
    QByteArray out(Samples * SoundFormat::BytesPerSample, '\0');
    for (int i = 0; i < Samples; ++i) {
        const double envelope = std::min({1.0, double(i) / Ramp, double(Samples - 1 - i) / Ramp});
        const double value = Amplitude * envelope * std::sin(2 * pi * Frequency * i / SoundFormat::SampleRate);
        qToLittleEndian(qint16(std::lround(value)), out.data() + i * SoundFormat::BytesPerSample);
    }
    return out;
}
