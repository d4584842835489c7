// Recording and playback handlers of the form.

#include "app/talkpost_view.h"

#include "app/module_state.h"
#include "audio/audio_device.h"
#include "audio/cue_player.h"
#include "audio/sample_width.h"
#include "resources/resource_ids.h"
#include "shell/prompter.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace {

// 150 seconds of 16-bit mono sound at 8000 samples per second.
constexpr qint64 AudioBufferBytes = 2400000;
constexpr qint64 JoinBlockBytes = 256;

// The one sample buffer of capture and playback; the two never run at once.
char g_audioBuffer[AudioBufferBytes];

void setButtons(CTalkpostView &view, bool rec, bool play, bool stop, bool attach)
{
    view.EnableButton(Ids::RecButton, rec);
    view.EnableButton(Ids::PlayButton, play);
    view.EnableButton(Ids::StopButton, stop);
    view.EnableButton(Ids::AttachButton, attach);
}

// Nothing running: Rec and Stop as after a recording, Play and Attach while there
// is a recording to play or attach.
void setIdleButtons(CTalkpostView &view)
{
    const bool haveRecording = QFileInfo::exists(view.m_recordingFile);
    setButtons(view, true, haveRecording, false, haveRecording);
}

void logOpenFailure(CTalkpostView &view, const AudioStatus &status)
{
    view.AppendLog(QString::asprintf("Error Code: %d", status.code));
    view.AppendLog(QStringLiteral("Error Message: ") + status.text);
}

// Never through a link: its target is not ours to change.
void makeWritable(const QString &path)
{
    if (QFileInfo(path).isSymLink())
        return;
    QFile::setPermissions(path, QFile::permissions(path) | QFile::ReadOwner | QFile::WriteOwner);
}

void removeFile(const QString &path)
{
    makeWritable(path);
    QFile::remove(path);
}

// Writes the captured bytes to a new file; a file that could not be written whole
// is removed again.
bool saveCapture(const QString &path, const char *data, qint64 length)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const bool written = file.write(data, length) == length && file.flush();
    file.close();
    if (!written)
        removeFile(path);
    return written;
}

// Copies piece to the end of recording in blocks; false when anything failed.
bool appendFile(const QString &recording, const QString &piece)
{
    QFile in(piece);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    makeWritable(recording);
    QFile out(recording);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    char block[JoinBlockBytes];
    for (;;) {
        const qint64 got = in.read(block, JoinBlockBytes);
        if (got < 0)
            return false;
        if (got == 0)
            break;
        if (out.write(block, got) != got)
            return false;
    }
    return out.flush();
}

// Joins the piece to the recording at 8-bit precision and widens the result back to
// 16 bits; the piece is removed. A recording that could not be narrowed stays as it
// was, so a failure never leaves 8-bit and 16-bit samples mixed in one file.
bool joinPiece(const QString &recording, const QString &piece)
{
    const bool narrowed = NarrowTo8Bit(recording) == 1;
    bool joined = narrowed && NarrowTo8Bit(piece) == 1 && appendFile(recording, piece);
    removeFile(piece);
    if (narrowed && WidenTo16Bit(recording) != 1)
        joined = false;
    return joined;
}

}  // namespace

void CTalkpostView::connectAudio(const FormServices &services)
{
    m_audioInput = services.audioInput;
    m_audioOutput = services.audioOutput;
    if (m_audioInput)
        connect(m_audioInput, &AudioInput::finished, this, [this](qint64 bytes) { OnWaveInData(bytes); });
    m_cue = new CuePlayer(m_audioOutput, this);
    connect(m_cue, &CuePlayer::finished, this, [this] { startCapture(); });
    if (m_audioOutput) {
        // One output serves the cue and the playback of recordings.
        connect(m_audioOutput, &AudioOutput::finished, this, [this] {
            if (m_cue->ownsOutput())
                m_cue->outputFinished();
            else
                OnWaveOutDone();
        });
    }
}

void CTalkpostView::OnRec()
{
    if (m_account.inputDevice < 0) {
        AppendLog(QStringLiteral("Please select a recording device"));
        return;
    }
    AppendLog(QStringLiteral("Recording..."));
    setButtons(*this, false, false, true, false);
    if (m_recordingFile.isEmpty()) {
        const QString name = QStringLiteral("orv%1.pcm").arg(QDateTime::currentSecsSinceEpoch());
        m_recordingFile = QDir(m_programFolder).filePath(QStringLiteral("emsg/") + name);
        g_recordedBytes = 0;
        g_recordSeconds = 0;
    } else if (!m_prompter->ask(this, QStringLiteral("Do you want to append to the existing recording?"))) {
        // The name stays and serves the new recording.
        removeFile(m_recordingFile);
        g_recordedBytes = 0;
        g_recordSeconds = 0;
    }
    g_stopBytes = 0;
    if (g_recordedBytes >= AudioBufferBytes) {
        AppendLog(QStringLiteral("The recording is full: it already holds 150 seconds."));
        setIdleButtons(*this);
        return;
    }
    // Capture starts when the cue has been heard; the window keeps working meanwhile.
    const int cueDevice = m_account.outputDevice >= 0 ? m_account.outputDevice : 0;
    m_cue->play(QDir(m_programFolder).filePath(QStringLiteral("beep.wav")), cueDevice);
}

void CTalkpostView::startCapture()
{
    AudioStatus status = m_audioInput ? m_audioInput->open(m_account.inputDevice) : AudioStatus::failure(AudioError::BadDevice);
    if (status.ok()) {
        m_recording = 1;
        status = m_audioInput->start(g_audioBuffer, AudioBufferBytes - g_recordedBytes);
        if (!status.ok()) {
            m_recording = 0;
            m_audioInput->close();
        }
    }
    if (!status.ok()) {
        AppendLog(QStringLiteral("Cannot open recording device"));
        logOpenFailure(*this, status);
        setButtons(*this, true, false, false, false);
        return;
    }
    SetTimer(Ids::TimerRecordingDisplay, 500);
    SetPaneText(QStringLiteral("Recording: 00:00"));
    g_paneAnimationReset = 1;
}

void CTalkpostView::OnStop()
{
    AppendLog(QStringLiteral("Stopping..."));
    if (m_cue->isPlaying()) {
        m_cue->stop();
        setIdleButtons(*this);
    }
    if (m_playing && m_audioOutput)
        m_audioOutput->reset();
    if (m_recording && m_audioInput) {
        g_stopBytes = int(m_audioInput->position());
        g_recordedBytes += g_stopBytes;
        m_audioInput->reset();
    }
    m_playing = 0;
    m_recording = 0;
}

void CTalkpostView::OnWaveInData(qint64 capturedBytes)
{
    const qint64 length = qBound<qint64>(0, capturedBytes != 0 ? capturedBytes : g_stopBytes, AudioBufferBytes);
    if (m_audioInput)
        m_audioInput->close();
    m_recording = 0;

    const bool append = QFileInfo::exists(m_recordingFile);
    const QString piece = m_recordingFile + QStringLiteral(".tmp");
    const QString target = append ? piece : m_recordingFile;
    const bool saved = saveCapture(target, g_audioBuffer, length);
    if (!saved) {
        AppendLog(QStringLiteral("Cannot save the recording in ") + QDir::toNativeSeparators(target));
        // What Stop counted was not kept.
        g_recordedBytes = std::max(0, g_recordedBytes - g_stopBytes);
    }
    g_stopBytes = 0;
    if (append && saved && !joinPiece(m_recordingFile, piece))
        AppendLog(QStringLiteral("Appending failed."));

    setButtons(*this, true, true, false, true);
    AppendLog(QStringLiteral("Done."));
    KillTimer(Ids::TimerRecordingDisplay);
    SetPaneText(QStringLiteral("Idle"));
}

void CTalkpostView::OnPlay()
{
    if (m_account.outputDevice < 0) {
        AppendLog(QStringLiteral("Please select a playback device"));
        return;
    }
    if (m_recordingFile.isEmpty())
        return;
    AppendLog(QStringLiteral("Playing..."));
    setButtons(*this, false, false, true, false);

    AudioStatus status = m_audioOutput ? m_audioOutput->open(m_account.outputDevice) : AudioStatus::failure(AudioError::BadDevice);
    if (!status.ok()) {
        logOpenFailure(*this, status);
        setButtons(*this, true, true, false, true);
        return;
    }
    m_playing = 1;
    QFile file(m_recordingFile);
    if (!file.open(QIODevice::ReadOnly)) {
        m_audioOutput->close();
        m_playing = 0;
        setButtons(*this, true, true, false, true);
        return;
    }
    const qint64 length = std::max<qint64>(0, file.read(g_audioBuffer, AudioBufferBytes));
    file.close();
    // The sound system opens its stream only when playing starts.
    status = m_audioOutput->start(g_audioBuffer, length);
    if (!status.ok()) {
        m_audioOutput->close();
        m_playing = 0;
        logOpenFailure(*this, status);
        setButtons(*this, true, true, false, true);
        return;
    }
    SetTimer(Ids::TimerPlaybackDisplay, 500);
    SetPaneText(QStringLiteral("Playing: 00:00"));
    g_paneAnimationReset = 1;
}

void CTalkpostView::OnWaveOutDone()
{
    if (m_audioOutput)
        m_audioOutput->close();
    m_playing = 0;
    setButtons(*this, true, true, false, true);
    AppendLog(QStringLiteral("Done."));
    KillTimer(Ids::TimerPlaybackDisplay);
    SetPaneText(QStringLiteral("Idle"));
}

QStringList CTalkpostView::InputDeviceNames() const
{
    return m_audioInput ? m_audioInput->deviceNames() : QStringList();
}

QStringList CTalkpostView::OutputDeviceNames() const
{
    return m_audioOutput ? m_audioOutput->deviceNames() : QStringList();
}
