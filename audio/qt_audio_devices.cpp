#include "audio/qt_audio_devices.h"

#include <QAudioSink>
#include <QAudioSource>
#include <QMediaDevices>
#include <QMetaObject>

#include <algorithm>
#include <cstring>
#include <functional>

// Copies what the sound system captures into the caller's buffer, up to its
// capacity; once full it tells its owner and takes nothing more.
class CaptureTarget : public QIODevice
{
public:
    CaptureTarget(char *buffer, qint64 capacity, std::function<void()> full)
        : m_buffer(buffer), m_capacity(capacity), m_full(std::move(full))
    {
    }

    qint64 count() const { return m_count; }
    void closeGate() { m_open = false; }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 length) override
    {
        if (!m_open)
            return length;
        const qint64 taken = std::min(length, m_capacity - m_count);
        std::memcpy(m_buffer + m_count, data, size_t(taken));
        m_count += taken;
        if (m_count == m_capacity) {
            m_open = false;
            m_full();
        }
        // The rest is dropped: the source must not see a short write as an error.
        return length;
    }

private:
    char *m_buffer;
    qint64 m_capacity;
    std::function<void()> m_full;
    qint64 m_count = 0;
    bool m_open = true;
};

namespace {

// How often playback progress is checked, and how long it may stand still before
// the playback counts as over although the sink never reached the end.
constexpr int ProgressTickMs = 20;
constexpr int StalledTicksAllowed = 2000 / ProgressTickMs;

}  // namespace

QAudioFormat soundFormat()
{
    QAudioFormat format;
    format.setSampleRate(SoundFormat::SampleRate);
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Int16);
    return format;
}

QList<QAudioDevice> orderedDevices(QList<QAudioDevice> devices)
{
    std::stable_sort(devices.begin(), devices.end(), [](const QAudioDevice &a, const QAudioDevice &b) {
        const int byName = QString::compare(a.description(), b.description());
        return byName != 0 ? byName < 0 : a.id() < b.id();
    });
    return devices;
}

namespace {

QStringList namesOf(const QList<QAudioDevice> &devices)
{
    QStringList names;
    for (const QAudioDevice &device : devices)
        names << device.description();
    return names;
}

// The device numbered `index`, or a status saying why there is none usable.
AudioStatus pick(const QList<QAudioDevice> &devices, int index, QAudioDevice &chosen)
{
    if (index < 0 || index >= devices.size())
        return AudioStatus::failure(AudioError::BadDevice);
    chosen = devices.at(index);
    if (!chosen.isFormatSupported(soundFormat()))
        return AudioStatus::failure(AudioError::BadFormat);
    return {};
}

}  // namespace

// ---- input ----------------------------------------------------------------------

QtAudioInput::QtAudioInput(QObject *parent) : AudioInput(parent) {}

QtAudioInput::~QtAudioInput()
{
    close();
}

QStringList QtAudioInput::deviceNames() const
{
    return namesOf(orderedDevices(QMediaDevices::audioInputs()));
}

AudioStatus QtAudioInput::open(int device)
{
    if (m_running)
        return AudioStatus::failure(AudioError::Allocated);
    close();
    QAudioDevice chosen;
    const AudioStatus status = pick(orderedDevices(QMediaDevices::audioInputs()), device, chosen);
    if (status.ok())
        m_source = std::make_unique<QAudioSource>(chosen, soundFormat());
    return status;
}

AudioStatus QtAudioInput::start(char *buffer, qint64 capacity)
{
    if (!m_source)
        return AudioStatus::failure(AudioError::BadDevice);
    if (m_running)
        return AudioStatus::failure(AudioError::Allocated);
    const int generation = ++m_generation;
    m_target = std::make_unique<CaptureTarget>(buffer, std::max<qint64>(capacity, 0), [this, generation] {
        // The sound system is inside its own call here; stop it from the event loop.
        QMetaObject::invokeMethod(this, [this, generation] { finishCapture(generation); }, Qt::QueuedConnection);
    });
    m_target->open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    m_running = true;
    if (capacity <= 0) {
        QMetaObject::invokeMethod(this, [this, generation] { finishCapture(generation); }, Qt::QueuedConnection);
        return {};
    }
    // A failed start sends no state change; only error() tells.
    m_source->start(m_target.get());
    if (m_source->error() != QAudio::NoError || m_source->state() == QAudio::StoppedState) {
        m_running = false;
        m_source->stop();
        return AudioStatus::failure(AudioError::Unspecified);
    }
    return {};
}

qint64 QtAudioInput::position() const
{
    return m_target ? m_target->count() : 0;
}

void QtAudioInput::reset()
{
    if (!m_running)
        return;
    m_target->closeGate();
    m_source->stop();
    complete(m_target->count());
}

void QtAudioInput::close()
{
    ++m_generation;
    m_running = false;
    if (m_source)
        m_source->stop();
    m_source.reset();
    m_target.reset();
}

void QtAudioInput::finishCapture(int generation)
{
    if (generation != m_generation || !m_running)
        return;
    m_source->stop();
    complete(m_target->count());
}

void QtAudioInput::complete(qint64 bytes)
{
    m_running = false;
    const int generation = m_generation;
    QMetaObject::invokeMethod(
        this,
        [this, generation, bytes] {
            if (generation == m_generation)
                emit finished(bytes);
        },
        Qt::QueuedConnection);
}

// ---- output ---------------------------------------------------------------------

QtAudioOutput::QtAudioOutput(QObject *parent) : AudioOutput(parent)
{
    m_progress.setInterval(ProgressTickMs);
    connect(&m_progress, &QTimer::timeout, this, &QtAudioOutput::checkProgress);
}

QtAudioOutput::~QtAudioOutput()
{
    close();
}

QStringList QtAudioOutput::deviceNames() const
{
    return namesOf(orderedDevices(QMediaDevices::audioOutputs()));
}

AudioStatus QtAudioOutput::open(int device)
{
    if (m_running)
        return AudioStatus::failure(AudioError::Allocated);
    close();
    QAudioDevice chosen;
    const AudioStatus status = pick(orderedDevices(QMediaDevices::audioOutputs()), device, chosen);
    if (status.ok())
        m_sink = std::make_unique<QAudioSink>(chosen, soundFormat());
    return status;
}

AudioStatus QtAudioOutput::start(const char *buffer, qint64 length)
{
    if (!m_sink)
        return AudioStatus::failure(AudioError::BadDevice);
    if (m_running)
        return AudioStatus::failure(AudioError::Allocated);
    ++m_generation;
    length = std::max<qint64>(length, 0);
    m_reader.close();
    m_data = QByteArray::fromRawData(buffer, length);
    m_reader.setBuffer(&m_data);
    m_reader.open(QIODevice::ReadOnly);
    m_durationUSecs = length * 1000000 / SoundFormat::BytesPerSecond;
    m_lastProcessed = -1;
    m_stalledTicks = 0;
    m_running = true;
    if (length == 0) {
        complete(0);
        return {};
    }
    m_sink->start(&m_reader);
    if (m_sink->error() != QAudio::NoError || m_sink->state() == QAudio::StoppedState) {
        m_running = false;
        m_sink->stop();
        return AudioStatus::failure(AudioError::Unspecified);
    }
    m_progress.start();
    return {};
}

// The sink turns idle while its last samples are still on their way to the
// speaker, so the playback is over only when the processed time reaches the
// buffer's duration.
void QtAudioOutput::checkProgress()
{
    if (!m_running)
        return;
    const qint64 processed = m_sink->processedUSecs();
    const bool failed = m_sink->state() == QAudio::StoppedState;
    if (processed == m_lastProcessed)
        ++m_stalledTicks;
    else
        m_stalledTicks = 0;
    m_lastProcessed = processed;
    if (processed >= m_durationUSecs || failed || m_stalledTicks > StalledTicksAllowed) {
        m_sink->stop();
        complete(std::min<qint64>(m_data.size(), bytesPlayed()));
    }
}

qint64 QtAudioOutput::bytesPlayed() const
{
    if (!m_sink)
        return 0;
    const qint64 bytes = m_sink->processedUSecs() * SoundFormat::BytesPerSecond / 1000000;
    return bytes - bytes % SoundFormat::BytesPerSample;
}

void QtAudioOutput::reset()
{
    if (!m_running)
        return;
    const qint64 played = std::min<qint64>(m_data.size(), bytesPlayed());
    m_sink->stop();
    complete(played);
}

void QtAudioOutput::close()
{
    ++m_generation;
    m_running = false;
    m_progress.stop();
    if (m_sink)
        m_sink->stop();
    m_sink.reset();
    m_reader.close();
    m_data.clear();
}

void QtAudioOutput::complete(qint64 bytes)
{
    m_running = false;
    m_progress.stop();
    const int generation = m_generation;
    QMetaObject::invokeMethod(
        this,
        [this, generation, bytes] {
            if (generation == m_generation)
                emit finished(bytes);
        },
        Qt::QueuedConnection);
}
