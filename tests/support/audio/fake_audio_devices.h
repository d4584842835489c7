#pragma once

#include "audio/audio_device.h"

#include <QByteArray>
#include <QList>
#include <QStringList>
#include <optional>

// In-memory sound devices. Like the real ones they complete on the event loop, never
// from inside a call; a test moves time on by delivering captured bytes and by
// ending playbacks.

// The device list and the rules of opening and starting that both fakes share.
struct FakeDeviceState
{
    AudioStatus openDevice(int device);
    AudioStatus startDevice();
    void closeDevice();
    // The next open() fails with this code and text.
    void failNextOpen(int code, const QString &text) { failure = AudioStatus{code, text}; }

    QStringList names{QStringLiteral("Fake device")};
    int opens = 0;
    int openedDevice = -1;
    bool isOpen = false;
    bool running = false;
    int generation = 0;  // a completion still queued when the device closes is dropped
    std::optional<AudioStatus> failure;
};

// A microphone that hears a given sample array (silence after its end).
class FakeAudioInput : public AudioInput, public FakeDeviceState
{
    Q_OBJECT
public:
    QStringList deviceNames() const override { return names; }
    AudioStatus open(int device) override { return openDevice(device); }
    AudioStatus start(char *buffer, qint64 capacity) override;
    qint64 position() const override { return m_captured; }
    void reset() override;
    void close() override { closeDevice(); }
    // Lets the next `bytes` of the samples arrive; a buffer that fills up completes the capture.
    void deliver(qint64 bytes);
    void deliverSeconds(double seconds) { deliver(qint64(seconds * SoundFormat::SampleRate) * 2); }

    QByteArray samples;  // what the microphone hears, 16-bit samples as bytes
    qint64 offeredCapacity = -1;

private:
    qint64 m_heard = 0;  // bytes of the samples already delivered, over all captures
    qint64 m_captured = 0;
    char *m_buffer = nullptr;
};

// A speaker that keeps a copy of everything it was given to play.
class FakeAudioOutput : public AudioOutput, public FakeDeviceState
{
    Q_OBJECT
public:
    QStringList deviceNames() const override { return names; }
    AudioStatus open(int device) override { return openDevice(device); }
    AudioStatus start(const char *buffer, qint64 length) override;
    void reset() override;
    void close() override { closeDevice(); }
    // The last sample has been heard: completion follows on the event loop.
    void finishPlaying();

    // When set, every playback ends by itself on the next turn of the event loop.
    bool completeOnItsOwn = true;
    QList<QByteArray> played;
    QList<int> playedOnDevice;

private:
    qint64 m_length = 0;
};
