#pragma once

#include "compression/block_encoder.h"
#include "compression/voice_format.h"

#include <QByteArray>
#include <QString>
#include <memory>

struct lame_global_struct;
namespace Lame {
struct Api;
}

// MP3 voice files from LAME: the 8000 Hz recording, resampled by LAME to 16 kHz
// (MPEG-2 Layer III, an ISO rate every decoder takes), mono, every audio frame at
// 16 kbit/s (120 KB a minute).
//
// The frames are held at 16 kbit/s through LAME's VBR mode with both bounds at 16
// and a hard minimum, not its CBR mode: at this rate a frame has 72 bytes, and in CBR
// mode LAME leaves out the Xing/LAME frame, which does not fit in one. In VBR mode it
// writes that frame at a larger rate, so players show the right length and gapless
// decoders cut the encoder's delay and padding.
class Mp3Encoder : public BlockEncoder
{
public:
    static constexpr int InputRate = 8000;
    static constexpr int OutputRate = 16000;
    static constexpr int BitRate = 16; // kbit/s

    // Puts LAME to the settings of every voice file, with the tags in its ID3v2 tag.
    static bool configure(lame_global_struct *lame, const VoiceTags &tags);
    // Empty when LAME can be used, or why it cannot be loaded; the first call loads it.
    static QString loadError();
    // An encoder whose ID3v2 tag carries the tags; null when LAME cannot start.
    static std::unique_ptr<Mp3Encoder> create(const VoiceTags &tags);
    ~Mp3Encoder() override;
    Mp3Encoder(const Mp3Encoder &) = delete;
    Mp3Encoder &operator=(const Mp3Encoder &) = delete;

    int samplesPerBlock() const override { return 4096; }
    bool encodesRest() const override { return true; }
    bool encode(const qint16 *samples, int count, std::vector<unsigned char> &out) override;
    bool finish(std::vector<unsigned char> &out) override;

    // The ID3v2 tag that goes before the frames.
    QByteArray id3v2Tag() const;
    // After finish: the Xing/LAME frame that takes the place of the stream's first
    // frame, which LAME wrote as a placeholder of the same size; empty on a failure.
    QByteArray lameTagFrame() const;

private:
    Mp3Encoder(const Lame::Api &api, lame_global_struct *lame) : m_api(api), m_lame(lame) {}
    const Lame::Api &m_api;
    lame_global_struct *m_lame;
};
