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

template <typename Device, typename Factory>
Device *make(const char *name, Device *owner)
{
    const auto factory = reinterpret_cast<Factory>(entry(name));
    Device *device = factory ? factory(owner) : nullptr;
    if (device)
        QObject::connect(device, &Device::finished, owner, &Device::finished);
    return device;
}

}  // namespace

// ---- input ----------------------------------------------------------------------

AudioInput *SoundModuleInput::device() const
{
    if (!m_device)
        m_device = make<AudioInput, SoundInputFactory>("orvantoSoundInput", const_cast<SoundModuleInput *>(this));
    return m_device;
}

QStringList SoundModuleInput::deviceNames() const
{
    return device() ? device()->deviceNames() : QStringList();
}

AudioStatus SoundModuleInput::open(int index)
{
    return device() ? device()->open(index) : AudioStatus::failure(AudioError::BadDevice);
}

AudioStatus SoundModuleInput::start(char *buffer, qint64 capacity)
{
    return device() ? device()->start(buffer, capacity) : AudioStatus::failure(AudioError::BadDevice);
}

qint64 SoundModuleInput::position() const
{
    return m_device ? m_device->position() : 0;
}

void SoundModuleInput::reset()
{
    if (m_device)
        m_device->reset();
}

void SoundModuleInput::close()
{
    if (m_device)
        m_device->close();
}

// ---- output ---------------------------------------------------------------------

AudioOutput *SoundModuleOutput::device() const
{
    if (!m_device)
        m_device = make<AudioOutput, SoundOutputFactory>("orvantoSoundOutput", const_cast<SoundModuleOutput *>(this));
    return m_device;
}

QStringList SoundModuleOutput::deviceNames() const
{
    return device() ? device()->deviceNames() : QStringList();
}

AudioStatus SoundModuleOutput::open(int index)
{
    return device() ? device()->open(index) : AudioStatus::failure(AudioError::BadDevice);
}

AudioStatus SoundModuleOutput::start(const char *buffer, qint64 length)
{
    return device() ? device()->start(buffer, length) : AudioStatus::failure(AudioError::BadDevice);
}

void SoundModuleOutput::reset()
{
    if (m_device)
        m_device->reset();
}

void SoundModuleOutput::close()
{
    if (m_device)
        m_device->close();
}
