#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

// The one sound format of recording and playback: 16-bit signed samples, 8000 per
// second, one channel.
namespace SoundFormat {
constexpr int SampleRate = 8000;
constexpr int BytesPerSample = 2;
constexpr int BytesPerSecond = SampleRate * BytesPerSample;
}  // namespace SoundFormat

// Numbers of the failures a device reports when it cannot be opened or started.
namespace AudioError {
constexpr int None = 0;
constexpr int Unspecified = 1;  // the sound system refused the device
constexpr int BadDevice = 2;    // no device has this number
constexpr int Allocated = 4;    // the device is busy with an earlier start
constexpr int BadFormat = 32;   // the device cannot take the sound format
}  // namespace AudioError

// The text shown for an AudioError number.
QString audioErrorText(int code);

// The result of opening or starting a device: 0, or a number with its text.
struct AudioStatus
{
    int code = AudioError::None;
    QString text;

    bool ok() const { return code == AudioError::None; }
    static AudioStatus failure(int code) { return {code, audioErrorText(code)}; }
};

// A sound input chosen by its position in deviceNames(). The caller owns the buffer;
// it must stay valid until finished() has been delivered.
//
// Life of one capture: open(), start(), any number of position() queries, then either
// reset() or a full buffer, then exactly one finished() on the owner's thread (never
// from inside a call), then close().
class AudioInput : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // Device names in a fixed order; the index of a name is the device's number.
    virtual QStringList deviceNames() const = 0;
    // Claims device number `device` for the sound format.
    virtual AudioStatus open(int device) = 0;
    // Captures into buffer until capacity bytes have arrived or reset() is called.
    virtual AudioStatus start(char *buffer, qint64 capacity) = 0;
    // Bytes captured so far.
    virtual qint64 position() const = 0;
    // Ends the capture; finished() follows with the bytes captured.
    virtual void reset() = 0;
    // Releases the device; no finished() follows for a capture still running.
    virtual void close() = 0;

signals:
    void finished(qint64 bytes);
};

// A sound output chosen by its position in deviceNames(); plays one caller-owned
// buffer whole. finished() comes once the last sample has been heard, or after
// reset(), on the owner's thread and never from inside a call.
class AudioOutput : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    virtual QStringList deviceNames() const = 0;
    virtual AudioStatus open(int device) = 0;
    virtual AudioStatus start(const char *buffer, qint64 length) = 0;
    // Ends the playback early; finished() follows with the bytes played.
    virtual void reset() = 0;
    virtual void close() = 0;

signals:
    void finished(qint64 bytes);
};
