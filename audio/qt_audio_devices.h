#pragma once

#include "audio/audio_device.h"

#include <QAudioDevice>
#include <QBuffer>
#include <QByteArray>
#include <QTimer>
#include <memory>

class CaptureTarget;
class QAudioSink;
class QAudioSource;

// The sound system's inputs and outputs through Qt Multimedia. Devices are listed by
// name and then by the system's identifier, so a stored number keeps naming the same
// device while the set of devices stays the same.
class QtAudioInput : public AudioInput
{
    Q_OBJECT
public:
    explicit QtAudioInput(QObject *parent = nullptr);
    ~QtAudioInput() override;

    QStringList deviceNames() const override;
    AudioStatus open(int device) override;
    AudioStatus start(char *buffer, qint64 capacity) override;
    qint64 position() const override;
    void reset() override;
    void close() override;

private:
    void finishCapture(int generation);
    void complete(qint64 bytes);

    std::unique_ptr<QAudioSource> m_source;
    std::unique_ptr<CaptureTarget> m_target;
    bool m_running = false;
    // Tells a queued completion of an earlier capture from the current one.
    int m_generation = 0;
};

class QtAudioOutput : public AudioOutput
{
    Q_OBJECT
public:
    explicit QtAudioOutput(QObject *parent = nullptr);
    ~QtAudioOutput() override;

    QStringList deviceNames() const override;
    AudioStatus open(int device) override;
    AudioStatus start(const char *buffer, qint64 length) override;
    void reset() override;
    void close() override;

private:
    void checkProgress();
    qint64 bytesPlayed() const;
    void complete(qint64 bytes);

    std::unique_ptr<QAudioSink> m_sink;
    QByteArray m_data;
    QBuffer m_reader;
    QTimer m_progress;
    qint64 m_durationUSecs = 0;
    qint64 m_lastProcessed = -1;
    int m_stalledTicks = 0;
    bool m_running = false;
    int m_generation = 0;
};

// The recording format as Qt describes it.
QAudioFormat soundFormat();
// Qt's devices in the order whose index the settings store.
QList<QAudioDevice> orderedDevices(QList<QAudioDevice> devices);
