#pragma once

#include "compression/wave_compressor.h"

// The form's compression job.
//
// A GSM 6.10 WAV job (the default) reads an 8-bit copy of the recording:
//     job.SetVoiceFormat(VoiceFormat::Gsm610Wav);
//     job.SetSourceFile(narrowedCopy);
//     job.SetCompressedFile(VoiceFilePath(recording, VoiceFormat::Gsm610Wav));
//     job.StartThread();
// An MP3 job reads the 16-bit recording itself and never changes it:
//     job.SetVoiceFormat(VoiceFormat::Mp3);
//     job.SetVoiceTags({subject, date});
//     job.SetSourceFile(recording);
//     job.SetCompressedFile(VoiceFilePath(recording, VoiceFormat::Mp3));
//     job.StartThread();
// Either way the temporary stream is the source path followed by "_", a failed job
// leaves neither it nor a voice file behind, and GetRecordingRatio() compares the
// voice file with the 16-bit recording.
class CVoiceCompressor : public CWaveCompressor
{
public:
    CVoiceCompressor() = default;
    ~CVoiceCompressor() override = default;
};
