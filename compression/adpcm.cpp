#include "compression/adpcm.h"

#include <QByteArray>
#include <QIODevice>

#include <algorithm>

namespace {

constexpr qint16 StepTable[49] = {
    16,  17,  19,  21,  23,  25,  28,  31,  34,  37,  41,  45,  50,  55,  60,  66,  73,
    80,  88,  97,  107, 118, 130, 143, 157, 173, 190, 209, 230, 253, 279, 307, 337, 371,
    408, 449, 494, 544, 598, 658, 724, 796, 876, 963, 1060, 1166, 1282, 1411, 1552,
};

constexpr int MaxIndex = 48;
constexpr int MaxSample = 2047;
constexpr int MinSample = -2048;

}  // namespace

void AdpcmReset(AdpcmState &state)
{
    state.sample = 0;
    state.index = 0;
}

int AdpcmIndexAdjust(int code)
{
    static constexpr int Adjust[8] = {-1, -1, -1, -1, 2, 4, 6, 8};
    return Adjust[code & 7];
}

qint16 AdpcmDecodeNibble(int code, AdpcmState &state)
{
    const int step = StepTable[state.index];
    int diff = step / 8;
    if (code & 1)
        diff += step / 4;
    if (code & 2)
        diff += step / 2;
    if (code & 4)
        diff += step;
    if (code & 8)
        diff = -diff;
    state.sample = qint16(std::clamp(state.sample + diff, MinSample, MaxSample));
    state.index = qint16(std::clamp(state.index + AdpcmIndexAdjust(code), 0, MaxIndex));
    return state.sample;
}

bool WriteDecodedSamples(QIODevice &file, int width, const qint16 *samples, int count)
{
    if (count <= 0)
        return true;
    QByteArray out;
    if (width == 0 || width == 1) {
        out.resize(count);
        for (int i = 0; i < count; ++i)
            out[i] = char((samples[i] / 16 + 128) & 0xFF);
    } else {
        out.resize(2 * qsizetype(count));
        for (int i = 0; i < count; ++i) {
            const quint16 v = quint16(samples[i] * 16);
            out[2 * i] = char(v & 0xFF);
            out[2 * i + 1] = char(v >> 8);
        }
    }
    return file.write(out) == out.size();
}
