#include "audio/sound_module.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibrary>

namespace {

// An entry point of the module, which is loaded on the first call; null when the
// module cannot be loaded, which is said once.
QFunctionPointer entry(const char *name)
{
    static QLibrary module(QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("orvanto_sound")));
    static const bool loaded = [] {
        module.setLoadHints(QLibrary::PreventUnloadHint);
        if (module.load())
            return true;
        qWarning("Orvanto: no sound devices: %s", qPrintable(module.errorString()));
        return false;
    }();
    return loaded ? module.resolve(name) : nullptr;
}

}  // namespace

template <typename Device>
Device *SoundModuleDevice<Device>::device() const
{
    if (!m_device) {
        using Factory = Device *(*)(QObject *parent);
        auto *owner = const_cast<SoundModuleDevice *>(this);
        const auto factory = reinterpret_cast<Factory>(entry(m_entryName));
        m_device = factory ? factory(owner) : nullptr;
        if (m_device)
            QObject::connect(m_device, &Device::finished, owner, &Device::finished);
    }
    return m_device;
}

template class SoundModuleDevice<AudioInput>;
template class SoundModuleDevice<AudioOutput>;
