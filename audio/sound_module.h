#pragma once

#include "audio/audio_device.h"

// The sound system's inputs and outputs (qt_audio_devices.h) as the program uses
// them: from the module orvanto_sound beside the program, loaded when a device is
// first listed or opened. Qt Multimedia and the sound server's client libraries come
// with the module; loaded with the program they would cost every start about 3 MB
// and a tenth of its time, though a start touches no sound device.
//
// Without the module there are no devices: the lists are empty and opening fails.
class SoundModuleInput : public AudioInput
{
    Q_OBJECT
public:
    explicit SoundModuleInput(QObject *parent = nullptr) : AudioInput(parent) {}

    QStringList deviceNames() const override;
    AudioStatus open(int device) override;
    AudioStatus start(char *buffer, qint64 capacity) override;
    qint64 position() const override;
    void reset() override;
    void close() override;

private:
    AudioInput *device() const;

    mutable AudioInput *m_device = nullptr;
};

class SoundModuleOutput : public AudioOutput
{
    Q_OBJECT
public:
    explicit SoundModuleOutput(QObject *parent = nullptr) : AudioOutput(parent) {}

    QStringList deviceNames() const override;
    AudioStatus open(int device) override;
    AudioStatus start(const char *buffer, qint64 length) override;
    void reset() override;
    void close() override;

private:
    AudioOutput *device() const;

    mutable AudioOutput *m_device = nullptr;
};

// The module's entry points: each makes a device object owned by `parent`.
extern "C" {
using SoundInputFactory = AudioInput *(*)(QObject *parent);
using SoundOutputFactory = AudioOutput *(*)(QObject *parent);
}
