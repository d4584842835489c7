#include "audio/cue_player.h"

#include "audio/audio_device.h"
#include "audio/cue_sound.h"

#include <QTimer>

CuePlayer::CuePlayer(AudioOutput *output, QObject *parent) : QObject(parent), m_output(output) {}

void CuePlayer::play(const QString &wavPath, int device)
{
    if (m_state != State::Idle)
        return;
    m_samples = loadCue(wavPath);
    if (m_samples.isEmpty())
        m_samples = builtInTone();
    if (m_output && m_output->open(device).ok()) {
        if (m_output->start(m_samples.constData(), m_samples.size()).ok()) {
            m_state = State::Playing;
            return;
        }
        m_output->close();
    }
    // A cue that cannot be heard must not hold up the recording.
    m_state = State::Starting;
    finishSoon();
}

void CuePlayer::stop()
{
    if (m_state == State::Playing) {
        m_state = State::Stopping;
        m_output->reset();
    } else if (m_state == State::Starting) {
        m_state = State::Idle;
    }
}

void CuePlayer::outputFinished()
{
    if (!ownsOutput())
        return;
    const bool heard = m_state == State::Playing;
    m_output->close();
    m_state = State::Idle;
    if (heard)
        emit finished();
}

void CuePlayer::finishSoon()
{
    const int generation = ++m_generation;
    QTimer::singleShot(0, this, [this, generation] {
        if (generation != m_generation || m_state != State::Starting)
            return;
        m_state = State::Idle;
        emit finished();
    });
}
