#pragma once

#include "audio/audio_device.h"

#include <QObject>
#include <QString>
#include <memory>

class CuePlayer;

// What a recording is: the raw recording file of the message (16-bit signed samples,
// 8000 Hz, mono, no header), the one capture buffer, the cue before a capture, the
// capture itself with its appends, and the playback of the file.
//
// One thing happens at a time, as its state says: Idle, Cue (the cue plays before a
// capture), Capturing or Playing. The recording file is never rewritten in place: an
// append is joined in a temporary file that replaces the recording by a rename only
// when every step succeeded, and compression reads a narrowed copy.
class Recorder : public QObject
{
    Q_OBJECT
public:
    enum class State { Idle, Cue, Capturing, Playing };
    Q_ENUM(State)

    // 150 seconds of 16-bit mono sound at 8000 samples per second.
    static constexpr qint64 CapacityBytes = 2400000;

    // How a capture ended once its device gave the buffer back.
    struct CaptureResult
    {
        qint64 bytes = 0;     // captured
        QString unsavedPath;  // the file the capture could not be written to, if any
        bool appendFailed = false;
    };

    // How a playback start went.
    enum class PlayStart { Started, DeviceFailed, Unreadable };

    // The devices may be null: nothing can then be opened.
    Recorder(AudioInput *input, AudioOutput *output, QObject *parent = nullptr);
    ~Recorder() override;

    State state() const { return m_state; }
    // The cue or the capture after it.
    bool isRecording() const { return m_state == State::Cue || m_state == State::Capturing; }
    bool isPlaying() const { return m_state == State::Playing; }

    // The message's recording; empty when it has none.
    const QString &recordingFile() const { return m_file; }
    // Takes a recording that exists elsewhere in the message's life (the voice of a
    // send that failed); an empty path forgets the recording without deleting it.
    void setRecordingFile(const QString &path) { m_file = path; }
    // Deletes the recording file and forgets it.
    void discardRecording();
    // The bytes the recording holds as Stop counted them, across appends.
    qint64 recordedBytes() const { return m_recordedBytes; }
    bool isFull() const { return m_recordedBytes >= CapacityBytes; }

    // The next capture starts a recording of this name.
    void beginNewRecording(const QString &path);
    // The next capture replaces the recording: its file is deleted, its name stays.
    void beginOver();

    // Plays the cue from cuePath (or a built-in tone) on cueDevice, then captures from
    // inputDevice into what the recording has room for. captureStarted or
    // captureFailed follows, then captureEnded.
    void record(int inputDevice, const QString &cuePath, int cueDevice);
    // Ends the cue, the capture or the playback; returns the state it ended. A capture
    // or playback reports its end by signal afterwards, a cue does not.
    State stop();

    // Plays the recording file, at most its first 150 seconds, on outputDevice;
    // playbackEnded follows a start. `status` tells a device failure.
    PlayStart play(int outputDevice, AudioStatus &status);

    // Writes an 8-bit copy of the recording for compression next to it; the path of
    // the copy, or empty when it could not be made (nothing is left behind then).
    QString narrowedCopy() const;

    QStringList inputNames() const;
    QStringList outputNames() const;

signals:
    void stateChanged(Recorder::State state);
    void captureStarted();
    void captureFailed(const AudioStatus &status);
    void captureEnded(const Recorder::CaptureResult &result);
    void playbackEnded();

private:
    void setState(State state);
    void startCapture();
    void captureFinished(qint64 bytes);
    void outputFinished();
    char *buffer();

    AudioInput *m_input;
    AudioOutput *m_output;
    CuePlayer *m_cue;
    std::unique_ptr<char[]> m_buffer;  // made on first use: most runs never record
    State m_state = State::Idle;
    QString m_file;
    qint64 m_recordedBytes = 0;
    qint64 m_stopBytes = 0;  // the device's count at Stop, for a buffer that reports none
    int m_inputDevice = 0;
};
