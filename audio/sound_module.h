#pragma once

#include "audio/audio_device.h"

// The sound system's inputs and outputs (qt_audio_devices.h) as the program uses
// them: from the module orvanto_sound beside the program, loaded when a device is
// first listed or opened. Qt Multimedia and the sound server's client libraries come
// with the module; loaded with the program they would cost every start about 3 MB
// and a tenth of its time, though a start touches no sound device.
//
// Without the module there are no devices: the lists are empty and opening fails.
// `Device` is AudioInput or AudioOutput; the module's device passes each call on.
template <typename Device>
class SoundModuleDevice : public Device
{
public:
    QStringList deviceNames() const override { return device() ? device()->deviceNames() : QStringList(); }
    AudioStatus open(int index) override
    {
        return device() ? device()->open(index) : AudioStatus::failure(AudioError::BadDevice);
    }
    void reset() override
    {
        if (m_device)
            m_device->reset();
    }
    void close() override
    {
        if (m_device)
            m_device->close();
    }

protected:
    SoundModuleDevice(const char *entryName, QObject *parent) : Device(parent), m_entryName(entryName) {}
    // The module's device, made on the first call by its entry point (Device *(QObject *owner));
    // null without the module.
    Device *device() const;
    // The module's device only if one was made already.
    Device *madeDevice() const { return m_device; }

private:
    const char *m_entryName;
    mutable Device *m_device = nullptr;
};

class SoundModuleInput : public SoundModuleDevice<AudioInput>
{
public:
    explicit SoundModuleInput(QObject *parent = nullptr) : SoundModuleDevice("orvantoSoundInput", parent) {}

    AudioStatus start(char *buffer, qint64 capacity) override
    {
        return device() ? device()->start(buffer, capacity) : AudioStatus::failure(AudioError::BadDevice);
    }
    qint64 position() const override { return madeDevice() ? madeDevice()->position() : 0; }
};

class SoundModuleOutput : public SoundModuleDevice<AudioOutput>
{
public:
    explicit SoundModuleOutput(QObject *parent = nullptr) : SoundModuleDevice("orvantoSoundOutput", parent) {}

    AudioStatus start(const char *buffer, qint64 length) override
    {
        return device() ? device()->start(buffer, length) : AudioStatus::failure(AudioError::BadDevice);
    }
};

