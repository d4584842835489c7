#pragma once

#include <QDateTime>
#include <QString>

// The voice file's formats. The numbers are those of the stored setting.
enum class VoiceFormat {
    Gsm610Wav = 0, // GSM 6.10 in a WAV file: the smallest, plays on desktops
    Mp3 = 1,       // MPEG-2 Layer III: plays in browsers and on phones too
};

// The format for a stored setting; anything unknown is GSM 6.10, the default.
VoiceFormat VoiceFormatFromSetting(int value);

// The voice file of a recording: the recording's path up to its last "." (all of
// it dropped when there is none) followed by ".wav" or ".mp3".
QString VoiceFilePath(const QString &recording, VoiceFormat format);

// What an MP3 voice file says about itself in its ID3 tag.
struct VoiceTags
{
    QString title;  // the message's subject
    QDateTime date; // when the message was made; no date is written when invalid
};
