#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class AudioOutput;

// Plays the recording cue on an output device and says when it has been heard.
//
// The output is shared with the playback of recordings, so its completion notice is
// not taken here: while ownsOutput() is true, the owner hands it to outputFinished().
class CuePlayer : public QObject
{
    Q_OBJECT
public:
    explicit CuePlayer(AudioOutput *output, QObject *parent = nullptr);

    // Plays the WAV file at wavPath, or a built-in tone when it cannot be read, on
    // output device `device`. finished() follows once the cue has been heard, and on
    // the next turn of the event loop when it cannot be played at all.
    void play(const QString &wavPath, int device);
    // Ends the cue early; finished() does not follow.
    void stop();
    // Between play() and finished() or stop().
    bool isPlaying() const { return m_state == State::Starting || m_state == State::Playing; }
    // The output is busy with the cue or with ending it.
    bool ownsOutput() const { return m_state == State::Playing || m_state == State::Stopping; }
    void outputFinished();

signals:
    void finished();

private:
    enum class State { Idle, Starting, Playing, Stopping };

    void finishSoon();

    AudioOutput *m_output;
    QByteArray m_samples;
    State m_state = State::Idle;
    int m_generation = 0;
};
