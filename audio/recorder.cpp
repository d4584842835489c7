#include "audio/recorder.h"

#include "audio/cue_player.h"
#include "audio/recording_file.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

Recorder::Recorder(AudioInput *input, AudioOutput *output, QObject *parent)
    : QObject(parent), m_input(input), m_output(output), m_cue(new CuePlayer(output, this))
{
    connect(m_cue, &CuePlayer::finished, this, &Recorder::startCapture);
    if (m_input)
        connect(m_input, &AudioInput::finished, this, &Recorder::captureFinished);
    // One output serves the cue and the playback of recordings.
    if (m_output)
        connect(m_output, &AudioOutput::finished, this, &Recorder::outputFinished);
}

Recorder::~Recorder() = default;

char *Recorder::buffer()
{
    if (!m_buffer)
        m_buffer.reset(new char[CapacityBytes]);
    return m_buffer.get();
}

void Recorder::setState(State state)
{
    if (state == m_state)
        return;
    m_state = state;
    emit stateChanged(state);
}

void Recorder::discardRecording()
{
    if (!m_file.isEmpty())
        QFile::remove(m_file);
    m_file.clear();
}

void Recorder::beginNewRecording(const QString &path)
{
    m_file = path;
    m_recordedBytes = 0;
}

void Recorder::beginOver()
{
    RecordingFile::remove(m_file);
    m_recordedBytes = 0;
}

void Recorder::record(int inputDevice, const QString &cuePath, int cueDevice)
{
    if (m_state != State::Idle)
        return;
    m_inputDevice = inputDevice;
    m_stopBytes = 0;
    setState(State::Cue);
    // Capture starts when the cue has been heard; the window keeps working meanwhile.
    m_cue->play(cuePath, cueDevice);
}

void Recorder::startCapture()
{
    if (m_state != State::Cue)
        return;
    AudioStatus status = m_input ? m_input->open(m_inputDevice) : AudioStatus::failure(AudioError::BadDevice);
    if (status.ok()) {
        setState(State::Capturing);
        status = m_input->start(buffer(), std::max<qint64>(0, CapacityBytes - m_recordedBytes));
        if (!status.ok())
            m_input->close();
    }
    if (!status.ok()) {
        setState(State::Idle);
        emit captureFailed(status);
        return;
    }
    emit captureStarted();
}

Recorder::State Recorder::stop()
{
    const State stopped = m_state;
    switch (m_state) {
    case State::Cue:
        m_cue->stop();
        setState(State::Idle);
        break;
    case State::Capturing:
        m_stopBytes = m_input->position();
        m_recordedBytes += m_stopBytes;
        m_input->reset();
        break;
    case State::Playing:
        m_output->reset();
        break;
    case State::Idle:
        break;
    }
    return stopped;
}

void Recorder::captureFinished(qint64 bytes)
{
    if (m_state != State::Capturing)
        return;
    CaptureResult result;
    result.bytes = std::clamp<qint64>(bytes != 0 ? bytes : m_stopBytes, 0, CapacityBytes);
    m_input->close();
    const bool append = QFileInfo::exists(m_file);
    const QString piece = m_file + QStringLiteral(".tmp");
    const QString target = append ? piece : m_file;
    bool kept = RecordingFile::saveCapture(target, buffer(), result.bytes);
    if (!kept)
        result.unsavedPath = target;
    if (kept && append && !RecordingFile::joinPiece(m_file, piece)) {
        result.appendFailed = true;
        kept = false;
    }
    // What Stop counted and was not kept does not count.
    if (!kept)
        m_recordedBytes = std::max<qint64>(0, m_recordedBytes - m_stopBytes);
    m_stopBytes = 0;
    setState(State::Idle);
    emit captureEnded(result);
}

Recorder::PlayStart Recorder::play(int outputDevice, AudioStatus &status)
{
    if (m_state != State::Idle)
        return PlayStart::DeviceFailed;
    status = m_output ? m_output->open(outputDevice) : AudioStatus::failure(AudioError::BadDevice);
    if (!status.ok())
        return PlayStart::DeviceFailed;
    QFile file(m_file);
    if (!file.open(QIODevice::ReadOnly)) {
        m_output->close();
        return PlayStart::Unreadable;
    }
    qint64 length = std::max<qint64>(0, file.read(buffer(), CapacityBytes));
    // Whole samples only: a device left waiting for the rest of one never ends.
    length -= length % SoundFormat::BytesPerSample;
    status = m_output->start(buffer(), length);
    if (!status.ok()) {
        m_output->close();
        return PlayStart::DeviceFailed;
    }
    setState(State::Playing);
    return PlayStart::Started;
}

void Recorder::outputFinished()
{
    if (m_cue->ownsOutput()) {
        m_cue->outputFinished();
        return;
    }
    if (m_state != State::Playing)
        return;
    m_output->close();
    setState(State::Idle);
    emit playbackEnded();
}

QString Recorder::narrowedCopy() const
{
    return RecordingFile::narrowedCopy(m_file);
}

QStringList Recorder::inputNames() const
{
    return m_input ? m_input->deviceNames() : QStringList();
}

QStringList Recorder::outputNames() const
{
    return m_output ? m_output->deviceNames() : QStringList();
}
