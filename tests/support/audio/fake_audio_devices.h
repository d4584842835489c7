#pragma once

#include "audio/audio_device.h"

#include <QByteArray>
#include <QList>
#include <QStringList>
#include <optional>

// In-memory sound devices. Like the real ones they complete on the event loop, never
// from inside a call; a test moves time on by delivering captured bytes and by
// ending playbacks.

// A microphone that hears a given sample array (silence after its end).
class FakeAudioInput : public AudioInput
{
    Q_OBJECT
public:
    using AudioInput::AudioInput;

    QStringList deviceNames() const override { return names; }
    AudioStatus open(int device) override;
    AudioStatus start(char *buffer, qint64 capacity) override;
    qint64 position() const override { return m_captured; }
    void reset() override;
    void close() override;

    // What the microphone hears, 16-bit samples as bytes.
    void setSamples(const QByteArray &samples) { m_samples = samples; }
    // The next open() fails with this code and text.
    void failNextOpen(int code, const QString &text) { m_failure = AudioStatus{code, text}; }
    // Lets the next `bytes` of the sample array arrive in the buffer; a buffer that
    // fills up completes the capture on the event loop.
    void deliver(qint64 bytes);
    void deliverSeconds(double seconds) { deliver(qint64(seconds * SoundFormat::SampleRate) * 2); }
    bool isCapturing() const { return m_running; }

    QStringList names{QStringLiteral("Fake Microphone")};
    int opens = 0;
    int openedDevice = -1;
    bool isOpen = false;
    qint64 offeredCapacity = -1;
    const char *offeredBuffer = nullptr;

private:
    void complete();

    std::optional<AudioStatus> m_failure;
    QByteArray m_samples;
    qint64 m_heard = 0;  // bytes of the sample array already delivered, over all captures
    qint64 m_captured = 0;
    char *m_buffer = nullptr;
    bool m_running = false;
    int m_generation = 0;
};

// A speaker that keeps a copy of everything it was given to play.
class FakeAudioOutput : public AudioOutput
{
    Q_OBJECT
public:
    using AudioOutput::AudioOutput;

    QStringList deviceNames() const override { return names; }
    AudioStatus open(int device) override;
    AudioStatus start(const char *buffer, qint64 length) override;
    void reset() override;
    void close() override;

    void failNextOpen(int code, const QString &text) { m_failure = AudioStatus{code, text}; }
    // The last sample has been heard: completion follows on the event loop.
    void finishPlaying();
    bool isPlaying() const { return m_running; }

    QStringList names{QStringLiteral("Fake Speakers")};
    // When set, every playback ends by itself on the next turn of the event loop.
    bool completeOnItsOwn = true;
    int opens = 0;
    int openedDevice = -1;
    bool isOpen = false;
    QList<QByteArray> played;
    QList<int> playedOnDevice;

private:
    void complete(qint64 bytes);

    std::optional<AudioStatus> m_failure;
    qint64 m_length = 0;
    bool m_running = false;
    int m_generation = 0;
};
