#pragma once

#include <QString>
#include <QtGlobal>
#include <memory>
#include <vector>

// A codec that turns the recording's 16-bit samples into the voice file's stream; it
// takes the place of the system's codec manager. GSM 6.10 (WAV tag 49) is the one
// WAV codec we have; MP3 comes from LAME (mp3_encoder.h).
class BlockEncoder
{
public:
    virtual ~BlockEncoder() = default;

    // The samples the job hands over at a time.
    virtual int samplesPerBlock() const = 0;
    // Whether the samples after the last whole block are encoded too. A codec of fixed
    // blocks drops them (under one block); a streaming codec takes any count.
    virtual bool encodesRest() const = 0;
    // Encodes count samples (samplesPerBlock(), or fewer for the rest) and appends
    // the bytes that are ready to out; false on a codec error.
    virtual bool encode(const qint16 *samples, int count, std::vector<unsigned char> &out) = 0;
    // Ends the stream, appending what the codec still holds; false on a codec error.
    virtual bool finish(std::vector<unsigned char> &out) = 0;
};

// Whether a WAV encoder exists for a wave format tag.
bool EncoderAvailable(int formatTag);

// Empty when the tag's encoder can be used, or why its library cannot be loaded; the
// first call loads it.
QString EncoderLoadError(int formatTag);

// A fresh WAV encoder for the tag, or null when there is none or it cannot start.
std::unique_ptr<BlockEncoder> CreateBlockEncoder(int formatTag);
