#include "tests/support/audio/fake_audio_devices.h"

#include <QMetaObject>
#include <QTest>

#include <algorithm>

namespace {

// Delivers finished(bytes) on the event loop unless the device is closed before.
template <typename Device>
void finishSoon(Device *device, qint64 bytes)
{
    device->running = false;
    QMetaObject::invokeMethod(
        device,
        [device, bytes, generation = device->generation] {
            if (generation == device->generation)
                emit device->finished(bytes);
        },
        Qt::QueuedConnection);
}

}  // namespace

AudioStatus FakeDeviceState::openDevice(int device)
{
    ++opens;
    if (failure) {
        const AudioStatus status = *failure;
        failure.reset();
        return status;
    }
    if (running)
        return AudioStatus::failure(AudioError::Allocated);
    if (device < 0 || device >= names.size())
        return AudioStatus::failure(AudioError::BadDevice);
    isOpen = true;
    openedDevice = device;
    return {};
}

AudioStatus FakeDeviceState::startDevice()
{
    if (!isOpen)
        return AudioStatus::failure(AudioError::BadDevice);
    if (running)
        return AudioStatus::failure(AudioError::Allocated);
    running = true;
    ++generation;
    return {};
}

void FakeDeviceState::closeDevice()
{
    ++generation;
    running = false;
    isOpen = false;
}

AudioStatus FakeAudioInput::start(char *buffer, qint64 capacity)
{
    const AudioStatus status = startDevice();
    if (status.ok()) {
        offeredCapacity = capacity;
        m_buffer = buffer;
        m_captured = 0;
        if (capacity <= 0)
            finishSoon(this, 0);
    }
    return status;
}

void FakeAudioInput::deliver(qint64 bytes)
{
    if (!running) {
        QTest::qFail("sound delivered while no capture runs", __FILE__, __LINE__);
        return;
    }
    for (const qint64 end = std::min(m_captured + bytes, offeredCapacity); m_captured < end; ++m_captured, ++m_heard)
        m_buffer[m_captured] = m_heard < samples.size() ? samples.at(m_heard) : '\0';
    if (m_captured == offeredCapacity)
        finishSoon(this, m_captured);
}

void FakeAudioInput::reset()
{
    if (running)
        finishSoon(this, m_captured);
}

AudioStatus FakeAudioOutput::start(const char *buffer, qint64 length)
{
    const AudioStatus status = startDevice();
    if (status.ok()) {
        played << QByteArray(buffer, length);
        playedOnDevice << openedDevice;
        m_length = length;
        if (completeOnItsOwn)
            finishSoon(this, length);
    }
    return status;
}

void FakeAudioOutput::finishPlaying()
{
    if (!running)
        QTest::qFail("nothing is playing", __FILE__, __LINE__);
    else
        finishSoon(this, m_length);
}

void FakeAudioOutput::reset()
{
    // Half of it counts as heard; nothing relies on the number.
    if (running)
        finishSoon(this, m_length / 2);
}
