// Recording and playback through the real sound devices, on a private PulseAudio
// server with a speaker that goes nowhere and a microphone fed from a pipe.

#include "audio/qt_audio_devices.h"
#include "resources/resource_ids.h"
#include "shell/status_pane.h"
#include "tests/support/form_harness.h"
#include "tests/support/test_files.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QtEndian>

#include <cmath>

namespace {

// The best normalised correlation of heard[i + lag] with source[i], over the lags
// around the one that lines up where each first gets loud.
double bestCorrelation(const QByteArray &heard, const QByteArray &source)
{
    const auto at = [](const QByteArray &pcm, qsizetype i) {
        return i >= 0 && i < pcm.size() / 2 ? double(qFromLittleEndian<qint16>(pcm.constData() + 2 * i)) : 0.0;
    };
    const auto onset = [&at](const QByteArray &pcm) {
        qsizetype i = 0;
        while (i < pcm.size() / 2 && std::abs(at(pcm, i)) < 2000)
            ++i;
        return i;
    };
    const qsizetype aligned = onset(heard) - onset(source);
    double best = -1;
    for (qsizetype lag = aligned - 400; lag <= aligned + 400; ++lag) {
        double xy = 0, xx = 0, yy = 0;
        for (qsizetype i = 0; i < source.size() / 2; ++i) {
            const double x = at(heard, i + lag), y = at(source, i);
            xy += x * y, xx += x * x, yy += y * y;
        }
        best = std::max(best, xx > 0 && yy > 0 ? xy / std::sqrt(xx * yy) : -1.0);
    }
    return best;
}

}  // namespace

// Fails under CI and skips elsewhere when the sound server or the speech cannot be made.
#define REQUIRE_TOOL(ok, what) do { if (!(ok)) { if (qEnvironmentVariableIsSet("CI")) QFAIL(what); QSKIP(what); } } while (false)

class RealSoundTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        const QString run = m_dir.filePath(QStringLiteral("run")), speech = m_dir.filePath(QStringLiteral("speech"));
        QVERIFY(QDir().mkdir(run, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        // Qt's sound backend reads these on its first use, which is still to come.
        qputenv("XDG_RUNTIME_DIR", run.toLocal8Bit());
        qputenv("HOME", m_dir.path().toLocal8Bit());
        qputenv("PULSE_SERVER", "unix:" + run.toLocal8Bit() + "/pulse/native");
        m_server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_server.start(QStringLiteral("pulseaudio"),
                       {"-n", "--daemonize=no", "--exit-idle-time=-1", "--disallow-exit", "--log-level=error",
                        "--load=module-native-protocol-unix auth-anonymous=1", "--load=module-null-sink sink_name=spk",
                        "--load=module-pipe-source source_name=mic format=s16le rate=8000 channels=1 file=" + m_fifo});
        REQUIRE_TOOL(QTest::qWaitFor([&] { return QFile::exists(run + "/pulse/native") && QFile::exists(m_fifo); }, 15000),
                     qPrintable("pulseaudio did not start: " + m_server.errorString()));
        const QStringList toRaw = {"-r", "8000", "-c", "1", "-b", "16", "-e", "signed-integer", speech + ".raw"};
        REQUIRE_TOOL(!QProcess::execute("espeak-ng", {"-w", speech + ".wav", "Orvanto records a voice message. Please listen carefully to this test."})
                         && !QProcess::execute(QStringLiteral("sox"), QStringList{speech + ".wav"} + toRaw), "espeak-ng or sox failed");
        m_speech = TestFiles::read(speech + ".raw").left(3 * 16000);
        QCOMPARE(m_speech.size(), 3 * 16000);
        m_in = std::make_unique<QtAudioInput>();
        m_out = std::make_unique<QtAudioOutput>();
        m_h = std::make_unique<FormHarness>(FormServices{QString(), nullptr, m_in.get(), m_out.get()});
        QVERIFY(QDir(m_h->programFolder()).mkdir(QStringLiteral("emsg")));
    }

    void recordsSpeechAndPlaysItBack()
    {
        CTalkpostView &v = m_h->view();
        Recorder &recorder = v.recorder();
        const QStringList inputs = recorder.inputNames(), outputs = recorder.outputNames();
        Account account;
        account.inputDevice = int(inputs.indexOf(QRegularExpression(QStringLiteral("(?i).*fifo.*"))));
        account.outputDevice = int(outputs.indexOf(QRegularExpression(QStringLiteral("(?i).*null.*"))));
        QVERIFY2(account.inputDevice >= 0 && account.outputDevice >= 0, qPrintable((inputs + outputs).join('|')));
        v.setAccount(account);
        v.OnCommand(Ids::RecButton);
        // The built-in cue plays on the speaker first.
        QTRY_COMPARE_WITH_TIMEOUT(recorder.state(), Recorder::State::Capturing, 15000);
        // The pipe delivers what is written at once, so the speech goes in now.
        QVERIFY(TestFiles::write(m_fifo, m_speech));
        QTRY_VERIFY_WITH_TIMEOUT(m_in->position() >= m_speech.size(), 15000);
        QSignalSpy captured(m_in.get(), &AudioInput::finished);
        v.OnCommand(Ids::StopButton);
        QVERIFY(captured.wait(5000));
        // An odd byte at the end does not keep the playback from ending.
        QVERIFY(TestFiles::write(recorder.recordingFile(), TestFiles::read(recorder.recordingFile()) + 'x'));
        const QByteArray recorded = TestFiles::read(recorder.recordingFile());
        QVERIFY2(recorded.size() >= m_speech.size(), qPrintable(QString::number(recorded.size())));
        const double correlation = bestCorrelation(recorded, m_speech);
        QVERIFY2(correlation >= 0.9, qPrintable(QString::number(correlation)));

        // Playback ends by itself once the whole recording has been played.
        QSignalSpy played(m_out.get(), &AudioOutput::finished);
        QElapsedTimer playing;
        playing.start();
        v.OnCommand(Ids::PlayButton);
        QVERIFY(played.wait(30000));
        QVERIFY2(playing.elapsed() >= (recorded.size() - 1) * 1000 / 16000 - 50, qPrintable(QString::number(playing.elapsed())));
        QCOMPARE(m_h->log(), QStringLiteral("Recording...\nStopping...\nDone.\nPlaying...\nDone.\n"));
        QVERIFY(recorder.state() == Recorder::State::Idle && m_h->frame().statusPane()->text() == "Idle"
                && v.IsButtonEnabled(Ids::PlayButton) && !v.IsButtonEnabled(Ids::StopButton));
    }

private:
    QTemporaryDir m_dir;
    struct Server : QProcess { ~Server() override { terminate(); waitForFinished(5000); } } m_server;  // ends after the form
    const QString m_fifo = m_dir.filePath(QStringLiteral("run/mic.fifo"));
    QByteArray m_speech;
    std::unique_ptr<QtAudioInput> m_in;
    std::unique_ptr<QtAudioOutput> m_out;
    std::unique_ptr<FormHarness> m_h;
};

QTEST_MAIN(RealSoundTest)
#include "real_sound_test.moc"
