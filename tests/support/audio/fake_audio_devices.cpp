#include "tests/support/audio/fake_audio_devices.h"

#include <QMetaObject>
#include <QTest>

#include <algorithm>
#include <cstring>

namespace {

AudioStatus openStatus(std::optional<AudioStatus> &failure, bool busy, int device, const QStringList &names)
{
    if (failure) {
        const AudioStatus status = *failure;
        failure.reset();
        return status;
    }
    if (busy)
        return AudioStatus::failure(AudioError::Allocated);
    if (device < 0 || device >= names.size())
        return AudioStatus::failure(AudioError::BadDevice);
    return {};
}

}  // namespace

// ---- input ----------------------------------------------------------------------

AudioStatus FakeAudioInput::open(int device)
{
    ++opens;
    const AudioStatus status = openStatus(m_failure, m_running, device, names);
    if (status.ok()) {
        isOpen = true;
        openedDevice = device;
    }
    return status;
}

AudioStatus FakeAudioInput::start(char *buffer, qint64 capacity)
{
    if (!isOpen)
        return AudioStatus::failure(AudioError::BadDevice);
    if (m_running)
        return AudioStatus::failure(AudioError::Allocated);
    offeredBuffer = buffer;
    offeredCapacity = capacity;
    m_buffer = buffer;
    m_captured = 0;
    m_running = true;
    ++m_generation;
    if (capacity <= 0)
        complete();
    return {};
}

void FakeAudioInput::deliver(qint64 bytes)
{
    if (!m_running) {
        QTest::qFail("sound delivered while no capture runs", __FILE__, __LINE__);
        return;
    }
    const qint64 taken = std::min(bytes, offeredCapacity - m_captured);
    for (qint64 i = 0; i < taken; ++i, ++m_heard)
        m_buffer[m_captured + i] = m_heard < m_samples.size() ? m_samples.at(int(m_heard)) : '\0';
    m_captured += taken;
    if (m_captured == offeredCapacity)
        complete();
}

void FakeAudioInput::reset()
{
    if (m_running)
        complete();
}

void FakeAudioInput::close()
{
    ++m_generation;
    m_running = false;
    isOpen = false;
}

void FakeAudioInput::complete()
{
    m_running = false;
    const int generation = m_generation;
    const qint64 bytes = m_captured;
    QMetaObject::invokeMethod(
        this,
        [this, generation, bytes] {
            if (generation == m_generation)
                emit finished(bytes);
        },
        Qt::QueuedConnection);
}

// ---- output ---------------------------------------------------------------------

AudioStatus FakeAudioOutput::open(int device)
{
    ++opens;
    const AudioStatus status = openStatus(m_failure, m_running, device, names);
    if (status.ok()) {
        isOpen = true;
        openedDevice = device;
    }
    return status;
}

AudioStatus FakeAudioOutput::start(const char *buffer, qint64 length)
{
    if (!isOpen)
        return AudioStatus::failure(AudioError::BadDevice);
    if (m_running)
        return AudioStatus::failure(AudioError::Allocated);
    played << QByteArray(buffer, int(length));
    playedOnDevice << openedDevice;
    m_length = length;
    m_running = true;
    ++m_generation;
    if (completeOnItsOwn)
        complete(length);
    return {};
}

void FakeAudioOutput::finishPlaying()
{
    if (!m_running) {
        QTest::qFail("nothing is playing", __FILE__, __LINE__);
        return;
    }
    complete(m_length);
}

void FakeAudioOutput::reset()
{
    // Half of it counts as heard; nothing relies on the number.
    if (m_running)
        complete(m_length / 2);
}

void FakeAudioOutput::close()
{
    ++m_generation;
    m_running = false;
    isOpen = false;
}

void FakeAudioOutput::complete(qint64 bytes)
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
