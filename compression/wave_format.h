#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// The voice file's container: a RIFF/WAVE file with a "fmt " chunk describing the
// codec, a "fact" chunk with the sample count and the "data" chunk. Every length is
// final when the header is written, because the compressed stream is complete first.
namespace WaveFormat {

constexpr int TagGsm610 = 49;     // WAVE_FORMAT_GSM610
constexpr int TagTrueSpeech = 34; // WAVE_FORMAT_DSPGROUP_TRUESPEECH

constexpr int GsmHeaderSize = 60;
constexpr int TrueSpeechHeaderSize = 90;

// Source format codes of the job.
constexpr int SourcePcm8 = 1;
constexpr int SourceAdpcm4 = 2;

// The raw recording's sample rate; an 8-bit source has one byte per sample.
constexpr int SampleRate = 8000;

// The header for a tag, with the data length and the fact count filled in; empty for
// a tag that has no header.
QByteArray BuildWaveHeader(int formatTag, quint32 dataLength, quint32 sampleCount);

// The codec's name as the log shows it: "GSM 6.10", "DSP Group True Speech".
QString FormatName(int formatTag);

}  // namespace WaveFormat
