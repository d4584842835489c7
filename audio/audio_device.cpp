#include "audio/audio_device.h"

QString audioErrorText(int code)
{
    switch (code) {
    case AudioError::None: return QStringLiteral("The operation completed successfully.");
    case AudioError::BadDevice: return QStringLiteral("There is no sound device with this number.");
    case AudioError::Allocated: return QStringLiteral("The sound device is already in use.");
    case AudioError::BadFormat:
        return QStringLiteral("The sound device cannot take 16-bit mono sound at 8000 samples per second.");
    default: return QStringLiteral("The sound system could not open the device.");
    }
}
