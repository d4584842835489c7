#pragma once

#include <QtGlobal>
#include <memory>

// A codec that turns fixed blocks of 16-bit samples into fixed blocks of bytes; it
// takes the place of the system's codec manager. GSM 6.10 (tag 49) is the one codec
// we have; asking for any other tag finds none.
class BlockEncoder
{
public:
    virtual ~BlockEncoder() = default;

    virtual int samplesPerBlock() const = 0;
    virtual int bytesPerBlock() const = 0;
    // Encodes samplesPerBlock() samples into bytesPerBlock() bytes; false on a codec error.
    virtual bool encodeBlock(const qint16 *samples, unsigned char *out) = 0;
};

// Whether an encoder exists for a wave format tag.
bool EncoderAvailable(int formatTag);

// A fresh encoder for the tag, or null when there is none or it cannot start.
std::unique_ptr<BlockEncoder> CreateBlockEncoder(int formatTag);
