// Recording and playback through the real sound devices, on a private PulseAudio
// server with a speaker that goes nowhere and a microphone fed from a pipe.

#include "app/talkpost_view.h"
#include "audio/qt_audio_devices.h"
#include "resources/resource_ids.h"
#include "shell/main_frame.h"
#include "shell/status_pane.h"
#include "tests/support/scripted_prompter.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <cmath>
#include <vector>

namespace {

constexpr int SpeechSamples = 3 * 8000;

std::vector<double> toSamples(const QByteArray &pcm)
{
    std::vector<double> out(size_t(pcm.size() / 2));
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = qFromLittleEndian<qint16>(pcm.constData() + 2 * i);
    return out;
}

// The normalised correlation of heard[i + lag] with source[i] over their overlap, or
// -1 when the overlap covers less than nine tenths of the source.
double correlationAt(const std::vector<double> &heard, const std::vector<double> &source, qsizetype lag)
{
    const auto n = qsizetype(source.size());
    const qsizetype from = std::max<qsizetype>(0, -lag);
    const qsizetype to = std::min<qsizetype>(n, qsizetype(heard.size()) - lag);
    if (to - from < n * 9 / 10)
        return -1;
    double xy = 0, xx = 0, yy = 0;
    for (qsizetype i = from; i < to; ++i) {
        const double x = heard[size_t(i + lag)], y = source[size_t(i)];
        xy += x * y;
        xx += x * x;
        yy += y * y;
    }
    return xx > 0 && yy > 0 ? xy / std::sqrt(xx * yy) : -1;
}

std::vector<double> decimate(const std::vector<double> &in, size_t factor)
{
    std::vector<double> out(in.size() / factor);
    for (size_t i = 0; i < out.size(); ++i) {
        double sum = 0;
        for (size_t k = 0; k < factor; ++k)
            sum += in[i * factor + k];
        out[i] = sum / double(factor);
    }
    return out;
}

// The correlation at the lag, between minLag and maxLag, where the two match best:
// found on coarse copies first, then refined around that place.
double bestCorrelation(const std::vector<double> &heard, const std::vector<double> &source, qsizetype minLag,
                       qsizetype maxLag)
{
    constexpr qsizetype Factor = 8;
    const std::vector<double> coarseHeard = decimate(heard, Factor), coarseSource = decimate(source, Factor);
    qsizetype coarseLag = 0;
    double coarseBest = -2;
    for (qsizetype lag = minLag / Factor; lag <= maxLag / Factor; ++lag) {
        const double c = correlationAt(coarseHeard, coarseSource, lag);
        if (c > coarseBest) {
            coarseBest = c;
            coarseLag = lag;
        }
    }
    double best = -1;
    for (qsizetype lag = coarseLag * Factor - 2 * Factor; lag <= coarseLag * Factor + 2 * Factor; ++lag)
        best = std::max(best, correlationAt(heard, source, lag));
    return best;
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

class RealSoundTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void devicesAreListedInAFixedOrder();
    void recordsSpeechFromTheMicrophone();
    void playbackEndsOnItsOwn();
    void stopEndsPlaybackEarly();

private:
    QString startServer();
    QString makeSpeech();
    QProcessEnvironment serverEnvironment() const;
    bool hasLine(const QString &line) const;
    int indexOf(const QStringList &names, const QString &part) const;

    QTemporaryDir m_dir;
    QProcess m_server;
    QString m_fifo;
    QByteArray m_speech;
    std::unique_ptr<ScriptedPrompter> m_prompter;
    std::unique_ptr<QtAudioInput> m_in;
    std::unique_ptr<QtAudioOutput> m_out;
    std::unique_ptr<CMainFrame> m_frame;
    CTalkpostView *m_view = nullptr;
};

QProcessEnvironment RealSoundTest::serverEnvironment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.filePath(QStringLiteral("run")));
    env.insert(QStringLiteral("HOME"), m_dir.filePath(QStringLiteral("home")));
    env.insert(QStringLiteral("PULSE_SERVER"), QStringLiteral("unix:") + m_dir.filePath(QStringLiteral("run/pulse/native")));
    return env;
}

// Starts the server; an empty string on success, otherwise why it failed.
QString RealSoundTest::startServer()
{
    if (!m_dir.isValid())
        return QStringLiteral("no scratch folder");
    const QString run = m_dir.filePath(QStringLiteral("run"));
    if (!QDir().mkpath(run) || !QDir().mkpath(m_dir.filePath(QStringLiteral("home"))) ||
        !QFile::setPermissions(run, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
        return QStringLiteral("cannot prepare the runtime folder");
    const QString program = QStandardPaths::findExecutable(QStringLiteral("pulseaudio"));
    if (program.isEmpty())
        return QStringLiteral("pulseaudio is not installed");
    m_fifo = run + QStringLiteral("/mic.fifo");
    m_server.setProcessEnvironment(serverEnvironment());
    m_server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_server.setStandardOutputFile(QProcess::nullDevice());
    m_server.start(program, {QStringLiteral("-n"), QStringLiteral("--daemonize=no"), QStringLiteral("--exit-idle-time=-1"),
                             QStringLiteral("--disallow-exit"), QStringLiteral("--log-level=error"),
                             QStringLiteral("--load=module-native-protocol-unix auth-anonymous=1"),
                             QStringLiteral("--load=module-null-sink sink_name=spk"),
                             QStringLiteral("--load=module-pipe-source source_name=mic file=%1 format=s16le rate=8000 "
                                            "channels=1")
                                 .arg(m_fifo)});
    if (!m_server.waitForStarted(5000))
        return QStringLiteral("pulseaudio did not start: ") + m_server.errorString();
    const QString socket = run + QStringLiteral("/pulse/native");
    QElapsedTimer waited;
    waited.start();
    while (!(QFile::exists(socket) && QFile::exists(m_fifo))) {
        if (m_server.state() != QProcess::Running)
            return QStringLiteral("pulseaudio ended at start");
        if (waited.elapsed() > 15000)
            return QStringLiteral("pulseaudio did not open its socket");
        QTest::qWait(50);
    }
    // Qt's sound backend reads these on its first use, which is still to come.
    const QProcessEnvironment env = serverEnvironment();
    for (const char *name : {"XDG_RUNTIME_DIR", "HOME", "PULSE_SERVER"})
        qputenv(name, env.value(QString::fromLatin1(name)).toLocal8Bit());
    return {};
}

// Three seconds of speech as raw 16-bit 8000 Hz samples; empty on failure.
QString RealSoundTest::makeSpeech()
{
    const QString wav = m_dir.filePath(QStringLiteral("speech.wav"));
    const QString raw = m_dir.filePath(QStringLiteral("speech.raw"));
    const int spoken = QProcess::execute(QStringLiteral("espeak-ng"),
                                         {QStringLiteral("-w"), wav, QStringLiteral("Orvanto records a voice message. "
                                                                                    "Please listen carefully to this test.")});
    if (spoken != 0)
        return QStringLiteral("espeak-ng failed");
    const int converted = QProcess::execute(QStringLiteral("sox"), {wav, QStringLiteral("-r"), QStringLiteral("8000"),
                                                                    QStringLiteral("-c"), QStringLiteral("1"), QStringLiteral("-b"),
                                                                    QStringLiteral("16"), QStringLiteral("-e"),
                                                                    QStringLiteral("signed-integer"), raw});
    if (converted != 0)
        return QStringLiteral("sox failed");
    m_speech = readFile(raw);
    if (m_speech.size() < SpeechSamples)
        return QStringLiteral("the speech is too short");
    m_speech.truncate(SpeechSamples * 2);
    return {};
}

void RealSoundTest::initTestCase()
{
    QString failure = startServer();
    if (failure.isEmpty())
        failure = makeSpeech();
    if (!failure.isEmpty()) {
        if (qEnvironmentVariableIsSet("CI"))
            QFAIL(qPrintable(failure));
        QSKIP(qPrintable(failure));
    }
    QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("program/emsg")));
    m_prompter = std::make_unique<ScriptedPrompter>();
    m_in = std::make_unique<QtAudioInput>();
    m_out = std::make_unique<QtAudioOutput>();
    m_frame = std::make_unique<CMainFrame>();
    FormServices services;
    services.programFolder = m_dir.filePath(QStringLiteral("program"));
    services.prompter = m_prompter.get();
    services.audioInput = m_in.get();
    services.audioOutput = m_out.get();
    m_view = new CTalkpostView(services, m_frame.get());
    m_frame->setCentralWidget(m_view);
    m_frame->setClient(m_view);
}

void RealSoundTest::cleanupTestCase()
{
    m_frame.reset();
    m_out.reset();
    m_in.reset();
    if (m_server.state() != QProcess::NotRunning) {
        m_server.terminate();
        if (!m_server.waitForFinished(5000)) {
            m_server.kill();
            m_server.waitForFinished(2000);
        }
    }
}

bool RealSoundTest::hasLine(const QString &line) const
{
    return m_frame->logEdit()->toPlainText().split(QLatin1Char('\n')).contains(line);
}

int RealSoundTest::indexOf(const QStringList &names, const QString &part) const
{
    for (int i = 0; i < names.size(); ++i)
        if (names.at(i).contains(part, Qt::CaseInsensitive))
            return i;
    return -1;
}

void RealSoundTest::devicesAreListedInAFixedOrder()
{
    const QStringList inputs = m_view->InputDeviceNames();
    const QStringList outputs = m_view->OutputDeviceNames();
    QVERIFY2(indexOf(inputs, QStringLiteral("fifo")) >= 0, qPrintable(inputs.join(QLatin1Char(','))));
    QVERIFY2(indexOf(outputs, QStringLiteral("null")) >= 0, qPrintable(outputs.join(QLatin1Char(','))));
    QCOMPARE(m_view->InputDeviceNames(), inputs);
    QCOMPARE(m_view->OutputDeviceNames(), outputs);

    QtAudioInput input;
    const AudioStatus missing = input.open(int(inputs.size()));
    QCOMPARE(missing.code, AudioError::BadDevice);
    QCOMPARE(missing.text, audioErrorText(AudioError::BadDevice));
    QtAudioOutput output;
    QCOMPARE(output.open(-1).code, AudioError::BadDevice);
}

void RealSoundTest::recordsSpeechFromTheMicrophone()
{
    m_view->m_inputDevice = indexOf(m_view->InputDeviceNames(), QStringLiteral("fifo"));
    m_view->m_outputDevice = indexOf(m_view->OutputDeviceNames(), QStringLiteral("null"));
    m_view->OnCommand(Ids::RecButton);
    // The built-in cue plays on the speaker first.
    QTRY_COMPARE_WITH_TIMEOUT(m_view->m_recording, 1, 15000);
    QVERIFY(!hasLine(QStringLiteral("Cannot open recording device")));

    // The pipe delivers what is written at once, so the speech goes in now.
    QFile mic(m_fifo);
    QVERIFY(mic.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    QCOMPARE(mic.write(m_speech), qint64(m_speech.size()));
    mic.close();
    QTRY_VERIFY_WITH_TIMEOUT(m_in->position() >= m_speech.size(), 15000);
    m_view->OnCommand(Ids::StopButton);
    QTRY_VERIFY_WITH_TIMEOUT(hasLine(QStringLiteral("Done.")), 5000);
    QCOMPARE(m_view->m_recording, 0);

    const QByteArray recorded = readFile(m_view->m_recordingFile);
    QCOMPARE(QFileInfo(m_view->m_recordingFile).absolutePath(), m_dir.filePath(QStringLiteral("program/emsg")));
    QVERIFY2(recorded.size() >= m_speech.size(), qPrintable(QString::number(recorded.size())));
    const double correlation = bestCorrelation(toSamples(recorded), toSamples(m_speech), -4000, 4000);
    qInfo("recorded %lld bytes, correlation %.4f", qint64(recorded.size()), correlation);
    QVERIFY2(correlation >= 0.9, qPrintable(QString::number(correlation)));
}

void RealSoundTest::playbackEndsOnItsOwn()
{
    const QString file = m_view->m_recordingFile;
    const qint64 bytes = QFileInfo(file).size();
    QVERIFY(bytes >= 48000);
    m_frame->logEdit()->clear();

    // Listen to what reaches the speaker.
    QProcess listener;
    listener.setProcessEnvironment(serverEnvironment());
    listener.setStandardOutputFile(m_dir.filePath(QStringLiteral("heard.raw")));
    listener.start(QStringLiteral("parec"), {QStringLiteral("--device=spk.monitor"), QStringLiteral("--rate=8000"),
                                             QStringLiteral("--channels=1"), QStringLiteral("--format=s16le"),
                                             QStringLiteral("--raw")});
    QVERIFY(listener.waitForStarted(5000));
    QTest::qWait(1500);

    QElapsedTimer playing;
    playing.start();
    m_view->OnCommand(Ids::PlayButton);
    QVERIFY(hasLine(QStringLiteral("Playing...")));
    QCOMPARE(m_view->m_playing, 1);
    QTRY_VERIFY_WITH_TIMEOUT(hasLine(QStringLiteral("Done.")), 30000);
    const qint64 took = playing.elapsed();
    QVERIFY(!hasLine(QStringLiteral("Stopping...")));
    QVERIFY2(took >= bytes * 1000 / 16000 - 50, qPrintable(QString::number(took)));
    QCOMPARE(m_view->m_playing, 0);
    QCOMPARE(m_frame->statusPane()->text(), QStringLiteral("Idle"));
    QVERIFY(m_view->IsButtonEnabled(Ids::PlayButton) && !m_view->IsButtonEnabled(Ids::StopButton));

    QTest::qWait(300);
    listener.terminate();
    QVERIFY(listener.waitForFinished(5000));
    const QByteArray heard = readFile(m_dir.filePath(QStringLiteral("heard.raw")));
    // The null sink drops the first few hundred milliseconds of a stream on its way
    // to the monitor, so the rest of the speech, up to its end, is looked for.
    const QByteArray rest = m_speech.mid(m_speech.size() / 4);
    const double correlation = bestCorrelation(toSamples(heard), toSamples(rest), 0, heard.size() / 2);
    qInfo("speaker carried %lld bytes, correlation %.4f", qint64(heard.size()), correlation);
    QVERIFY2(correlation >= 0.9, qPrintable(QString::number(correlation)));
}

void RealSoundTest::stopEndsPlaybackEarly()
{
    m_frame->logEdit()->clear();
    m_view->OnCommand(Ids::PlayButton);
    QCOMPARE(m_view->m_playing, 1);
    QTest::qWait(300);
    QElapsedTimer stopping;
    stopping.start();
    m_view->OnCommand(Ids::StopButton);
    QTRY_VERIFY_WITH_TIMEOUT(hasLine(QStringLiteral("Done.")), 5000);
    QVERIFY2(stopping.elapsed() < 1000, qPrintable(QString::number(stopping.elapsed())));
    QCOMPARE(m_view->m_playing, 0);
    QCOMPARE(m_frame->statusPane()->text(), QStringLiteral("Idle"));
}

QTEST_MAIN(RealSoundTest)
#include "real_sound_test.moc"
