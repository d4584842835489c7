#pragma once

#include <QtGlobal>

class QIODevice;

// Dialogic (OKI) 4-bit ADPCM decoding: 12-bit samples, a 49-entry step table,
// two codes per byte. Only decoding exists; nothing here encodes ADPCM.

// Decoder state; one state serves a whole stream and is never reset in mid-stream.
struct AdpcmState
{
    qint16 sample = 0; // predicted sample, -2048 ... 2047
    qint16 index = 0;  // step index, 0 ... 48
};

// Puts the state back to sample 0, index 0.
void AdpcmReset(AdpcmState &state);

// Decodes one code (its low 4 bits) into the next sample and advances the state.
qint16 AdpcmDecodeNibble(int code, AdpcmState &state);

// The step index change for a code: -1 for the magnitudes 0 to 3, then +2, +4, +6, +8.
int AdpcmIndexAdjust(int code);

// Writes decoded samples. Width code 0 or 1 gives 8-bit unsigned output (the sample
// divided by 16, truncating, plus 128); any other code gives 16-bit little-endian
// samples shifted left by 4. Returns false when not every byte could be written.
bool WriteDecodedSamples(QIODevice &file, int width, const qint16 *samples, int count);
