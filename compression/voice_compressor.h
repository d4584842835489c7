#pragma once

#include "compression/wave_compressor.h"

// The form's compression job.
class CVoiceCompressor : public CWaveCompressor
{
public:
    CVoiceCompressor() = default;
    ~CVoiceCompressor() override = default;
};
