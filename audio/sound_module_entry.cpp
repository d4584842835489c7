// The entry points of the orvanto_sound module, which the program loads on first use
// (see sound_module.h): each makes a device object owned by `parent`.

#include "audio/qt_audio_devices.h"

extern "C" Q_DECL_EXPORT AudioInput *orvantoSoundInput(QObject *parent)
{
    return new QtAudioInput(parent);
}

extern "C" Q_DECL_EXPORT AudioOutput *orvantoSoundOutput(QObject *parent)
{
    return new QtAudioOutput(parent);
}
