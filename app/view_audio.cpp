// Recording and playback: the form's side of the Recorder.

#include "app/talkpost_view.h"

#include "app/module_state.h"
#include "resources/resource_ids.h"
#include "shell/prompter.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

namespace {

void logDeviceFailure(CTalkpostView &view, const AudioStatus &status)
{
    view.AppendLog(QString::asprintf("Error Code: %d", status.code));
    view.AppendLog(QStringLiteral("Error Message: ") + status.text);
}

}  // namespace

void CTalkpostView::connectRecorder()
{
    connect(m_recorder, &Recorder::captureStarted, this, &CTalkpostView::onCaptureStarted);
    connect(m_recorder, &Recorder::captureFailed, this, &CTalkpostView::onCaptureFailed);
    connect(m_recorder, &Recorder::captureEnded, this, &CTalkpostView::OnWaveInData);
    connect(m_recorder, &Recorder::playbackEnded, this, &CTalkpostView::OnWaveOutDone);
}

void CTalkpostView::setAudioButtons(bool rec, bool play, bool stop, bool attach)
{
    EnableButton(Ids::RecButton, rec);
    EnableButton(Ids::PlayButton, play);
    EnableButton(Ids::StopButton, stop);
    EnableButton(Ids::AttachButton, attach);
}

// Nothing running: Rec on, Stop off, Play and Attach while there is a recording.
void CTalkpostView::setIdleAudioButtons()
{
    const bool haveRecording = QFileInfo::exists(m_recorder->recordingFile());
    setAudioButtons(true, haveRecording, false, haveRecording);
}

void CTalkpostView::OnRec()
{
    if (m_account.inputDevice < 0) {
        AppendLog(QStringLiteral("Please select a recording device"));
        return;
    }
    AppendLog(QStringLiteral("Recording..."));
    setAudioButtons(false, false, true, false);
    // A name whose capture never reached the disk (the device did not open) has
    // nothing to append to.
    if (!QFileInfo::exists(m_recorder->recordingFile())) {
        const QString name = QStringLiteral("orv%1.pcm").arg(QDateTime::currentSecsSinceEpoch());
        m_recorder->beginNewRecording(QDir(m_programFolder).filePath(QStringLiteral("emsg/") + name));
        g_recordSeconds = 0;
    } else if (!m_prompter->ask(this, QStringLiteral("Do you want to append to the existing recording?"))) {
        m_recorder->beginOver();
        g_recordSeconds = 0;
    }
    if (m_recorder->isFull()) {
        AppendLog(QStringLiteral("The recording is full: it already holds 150 seconds."));
        setIdleAudioButtons();
        return;
    }
    const int cueDevice = m_account.outputDevice >= 0 ? m_account.outputDevice : 0;
    m_recorder->record(m_account.inputDevice, QDir(m_programFolder).filePath(QStringLiteral("beep.wav")), cueDevice);
}

void CTalkpostView::onCaptureStarted()
{
    SetTimer(Ids::TimerRecordingDisplay, 500);
    SetPaneText(QStringLiteral("Recording: 00:00"));
    g_paneAnimationReset = 1;
}

void CTalkpostView::onCaptureFailed(const AudioStatus &status)
{
    AppendLog(QStringLiteral("Cannot open recording device"));
    logDeviceFailure(*this, status);
    setAudioButtons(true, false, false, false);
}

void CTalkpostView::OnStop()
{
    AppendLog(QStringLiteral("Stopping..."));
    // A cue ends at once and captures nothing; a capture or playback reports its end.
    if (m_recorder->stop() == Recorder::State::Cue)
        setIdleAudioButtons();
}

void CTalkpostView::OnWaveInData(const Recorder::CaptureResult &result)
{
    if (!result.unsavedPath.isEmpty())
        AppendLog(QStringLiteral("Cannot save the recording in ") + QDir::toNativeSeparators(result.unsavedPath));
    if (result.appendFailed)
        AppendLog(QStringLiteral("Appending failed."));
    setAudioButtons(true, true, false, true);
    AppendLog(QStringLiteral("Done."));
    KillTimer(Ids::TimerRecordingDisplay);
    SetPaneText(QStringLiteral("Idle"));
    if (std::function<void()> then = std::exchange(m_afterCapture, {}))
        then();
}

void CTalkpostView::OnPlay()
{
    if (m_account.outputDevice < 0) {
        AppendLog(QStringLiteral("Please select a playback device"));
        return;
    }
    if (m_recorder->recordingFile().isEmpty())
        return;
    AppendLog(QStringLiteral("Playing..."));
    setAudioButtons(false, false, true, false);
    AudioStatus status;
    switch (m_recorder->play(m_account.outputDevice, status)) {
    case Recorder::PlayStart::Started:
        SetTimer(Ids::TimerPlaybackDisplay, 500);
        SetPaneText(QStringLiteral("Playing: 00:00"));
        g_paneAnimationReset = 1;
        return;
    case Recorder::PlayStart::DeviceFailed:
        logDeviceFailure(*this, status);
        break;
    case Recorder::PlayStart::Unreadable:
        break;
    }
    setAudioButtons(true, true, false, true);
}

void CTalkpostView::OnWaveOutDone()
{
    setAudioButtons(true, true, false, true);
    AppendLog(QStringLiteral("Done."));
    KillTimer(Ids::TimerPlaybackDisplay);
    SetPaneText(QStringLiteral("Idle"));
}
