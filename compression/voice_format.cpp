#include "compression/voice_format.h"

VoiceFormat VoiceFormatFromSetting(int value)
{
    return value == int(VoiceFormat::Mp3) ? VoiceFormat::Mp3 : VoiceFormat::Gsm610Wav;
}

QString VoiceFilePath(const QString &recording, VoiceFormat format)
{
    const int dot = recording.lastIndexOf(QLatin1Char('.'));
    return (dot < 0 ? QString() : recording.left(dot)) +
           (format == VoiceFormat::Mp3 ? QStringLiteral(".mp3") : QStringLiteral(".wav"));
}
