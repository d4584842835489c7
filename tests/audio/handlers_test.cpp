// Recording and playback through the form's handlers, on in-memory sound devices.

#include "app/module_state.h"
#include "app/talkpost_view.h"
#include "audio/audio_device.h"
#include "audio/cue_sound.h"
#include "resources/resource_ids.h"
#include "shell/main_frame.h"
#include "shell/status_pane.h"
#include "tests/support/audio/fake_audio_devices.h"
#include "tests/support/scripted_prompter.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

namespace {

constexpr int BufferBytes = 2400000;
const QString AppendQuestion = QStringLiteral("Do you want to append to the existing recording?");

// Samples whose low bytes are not zero, different for every seed.
QByteArray speech(qint64 bytes, int seed)
{
    QByteArray out(int(bytes), '\0');
    for (qint64 i = 0; i + 1 < bytes; i += 2) {
        const auto v = qint16((i * 1237 + seed * 7919) % 65536 - 32768);
        qToLittleEndian(v, out.data() + i);
    }
    return out;
}

// What a 16-bit recording keeps after the 8-bit join: the high bytes only.
QByteArray highBytesOnly(QByteArray pcm)
{
    for (int i = 0; i + 1 < pcm.size(); i += 2)
        pcm[i] = '\0';
    return pcm;
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeFile(const QString &path, const QByteArray &data)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(data), qint64(data.size()));
}

QByteArray wav8000(const QByteArray &pcm)
{
    auto le16 = [](int v) { char b[2]; qToLittleEndian(quint16(v), b); return QByteArray(b, 2); };
    auto le32 = [](quint32 v) { char b[4]; qToLittleEndian(v, b); return QByteArray(b, 4); };
    const QByteArray fmt = le16(1) + le16(1) + le32(8000) + le32(16000) + le16(2) + le16(16);
    const QByteArray body = "WAVEfmt " + le32(16) + fmt + "data" + le32(quint32(pcm.size())) + pcm;
    return "RIFF" + le32(quint32(body.size())) + body;
}

}  // namespace

class HandlersTest : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void recWithoutInputDeviceRefuses();
    void threeSecondRecordingLandsInTheProgramFolder();
    void cueComesFirstAndFallsBackToTheTone();
    void noToAppendStartsOver();
    void yesToAppendJoinsAtEightBitPrecision();
    void fullBufferEndsTheRecordingByItself();
    void fullRecordingOffersNoEmptyBuffer();
    void inputThatFailsToOpen_data();
    void inputThatFailsToOpen();
    void stopWhileTheCuePlaysStartsNoCapture();
    void unsavableCaptureIsReported_data();
    void unsavableCaptureIsReported();

    void playWithoutRecordingDoesNothing();
    void playWithoutOutputDeviceRefuses();
    void playsTheWholeRecordingThenIdles();
    void stopDuringPlayback();
    void longRecordingPlaysItsFirst150Seconds();
    void outputThatFailsToOpen();
    void missingRecordingFileIsSilent();

    void deviceNamesComeFromTheDevices();
    void formWithoutDevicesReportsThem();

private:
    void makeForm(bool withDevices = true);
    QStringList allLog() const;
    // Lines logged since the last look, which they are then marked as seen.
    QStringList newLog();
    bool hasNewLine(const QString &line) const { return allLog().mid(m_logSeen).contains(line); }
    QString buttons() const;
    // Records `seconds` of the microphone's samples, stopped with Stop.
    void record(double seconds);
    void waitForCapture();

    std::unique_ptr<QTemporaryDir> m_program;
    std::unique_ptr<QTemporaryDir> m_elsewhere;
    std::unique_ptr<ScriptedPrompter> m_prompter;
    std::unique_ptr<FakeAudioInput> m_in;
    std::unique_ptr<FakeAudioOutput> m_out;
    std::unique_ptr<CMainFrame> m_frame;
    CTalkpostView *m_view = nullptr;
    int m_logSeen = 0;
};

void HandlersTest::init()
{
    m_program = std::make_unique<QTemporaryDir>();
    m_elsewhere = std::make_unique<QTemporaryDir>();
    QVERIFY(m_program->isValid() && m_elsewhere->isValid());
    QVERIFY(QDir(m_program->path()).mkdir(QStringLiteral("emsg")));
    m_prompter = std::make_unique<ScriptedPrompter>();
    m_in = std::make_unique<FakeAudioInput>();
    m_out = std::make_unique<FakeAudioOutput>();
    makeForm();
}

void HandlersTest::makeForm(bool withDevices)
{
    m_frame.reset();
    m_frame = std::make_unique<CMainFrame>();
    FormServices services;
    services.programFolder = m_program->path();
    services.prompter = m_prompter.get();
    if (withDevices) {
        services.audioInput = m_in.get();
        services.audioOutput = m_out.get();
    }
    m_view = new CTalkpostView(services, m_frame.get());
    m_frame->setCentralWidget(m_view);
    m_frame->setClient(m_view);
    // The outbox and the current folder are somewhere else than the program folder.
    m_view->SetOutboxPath(m_elsewhere->path());
    QDir::setCurrent(m_elsewhere->path());
    m_logSeen = 0;
}

void HandlersTest::cleanup()
{
    QVERIFY(m_prompter->allAnswersUsed());
    m_frame.reset();
    m_out.reset();
    m_in.reset();
    QDir::setCurrent(QDir::tempPath());
}

QStringList HandlersTest::allLog() const
{
    return m_frame->logEdit()->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QStringList HandlersTest::newLog()
{
    const QStringList all = allLog();
    const QStringList fresh = all.mid(m_logSeen);
    m_logSeen = int(all.size());
    return fresh;
}

QString HandlersTest::buttons() const
{
    const std::pair<int, const char *> all[] = {
        {Ids::RecButton, "Rec"}, {Ids::PlayButton, "Play"}, {Ids::StopButton, "Stop"}, {Ids::AttachButton, "Attach"}};
    QStringList shown;
    for (const auto &[id, name] : all)
        shown << (m_view->IsButtonEnabled(id) ? QString::fromLatin1(name) : QStringLiteral("-"));
    return shown.join(QLatin1Char(' '));
}

void HandlersTest::waitForCapture()
{
    QTRY_VERIFY_WITH_TIMEOUT(m_in->isCapturing(), 2000);
}

void HandlersTest::record(double seconds)
{
    m_view->OnCommand(Ids::RecButton);
    waitForCapture();
    m_in->deliverSeconds(seconds);
    m_view->OnCommand(Ids::StopButton);
    QTRY_VERIFY_WITH_TIMEOUT(hasNewLine(QStringLiteral("Done.")), 2000);
    newLog();
}

// ---- recording ------------------------------------------------------------------

void HandlersTest::recWithoutInputDeviceRefuses()
{
    m_view->m_inputDevice = -1;
    m_view->EnableButton(Ids::StopButton, false);
    m_view->EnableButton(Ids::AttachButton, false);
    m_view->OnCommand(Ids::RecButton);
    QTest::qWait(20);
    QCOMPARE(newLog(), QStringList{QStringLiteral("Please select a recording device")});
    QCOMPARE(buttons(), QStringLiteral("Rec Play - -"));
    QVERIFY(m_out->played.isEmpty());
    QCOMPARE(m_in->opens, 0);
    QVERIFY(m_view->m_recordingFile.isEmpty());
}

void HandlersTest::threeSecondRecordingLandsInTheProgramFolder()
{
    m_in->names = {QStringLiteral("first"), QStringLiteral("second")};
    m_view->m_inputDevice = 1;
    const QByteArray heard = speech(5 * 16000, 1);
    m_in->setSamples(heard);
    const qint64 before = QDateTime::currentSecsSinceEpoch();

    m_view->OnCommand(Ids::RecButton);
    QCOMPARE(newLog(), QStringList{QStringLiteral("Recording...")});
    QCOMPARE(buttons(), QStringLiteral("- - Stop -"));
    waitForCapture();
    QCOMPARE(m_in->openedDevice, 1);
    QCOMPARE(m_in->offeredCapacity, qint64(BufferBytes));
    QCOMPARE(m_view->m_recording, 1);
    QVERIFY(m_view->IsTimerActive(Ids::TimerRecordingDisplay));
    QCOMPARE(m_view->TimerInterval(Ids::TimerRecordingDisplay), 500);
    QCOMPARE(m_frame->statusPane()->text(), QStringLiteral("Recording: 00:00"));
    QCOMPARE(g_paneAnimationReset, 1);
    QCOMPARE(g_recordSeconds, 0);

    m_in->deliverSeconds(3);
    m_view->OnCommand(Ids::StopButton);
    QCOMPARE(newLog(), QStringList{QStringLiteral("Stopping...")});
    QCOMPARE(g_stopBytes, 48000);
    QCOMPARE(g_recordedBytes, 48000);
    QCOMPARE(m_view->m_recording, 0);

    QTRY_VERIFY(hasNewLine(QStringLiteral("Done.")));
    QCOMPARE(newLog(), QStringList{QStringLiteral("Done.")});
    const QFileInfo file(m_view->m_recordingFile);
    QCOMPARE(file.absolutePath(), QDir(m_program->path()).filePath(QStringLiteral("emsg")));
    const QRegularExpressionMatch name = QRegularExpression(QStringLiteral("^orv(\\d+)\\.pcm$")).match(file.fileName());
    QVERIFY2(name.hasMatch(), qPrintable(file.fileName()));
    QVERIFY(name.captured(1).toLongLong() >= before);
    QVERIFY(name.captured(1).toLongLong() <= QDateTime::currentSecsSinceEpoch());
    QCOMPARE(readFile(file.filePath()), heard.left(48000));
    QCOMPARE(QDir(m_elsewhere->path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());

    QCOMPARE(buttons(), QStringLiteral("Rec Play - Attach"));
    QVERIFY(!m_view->IsTimerActive(Ids::TimerRecordingDisplay));
    QCOMPARE(m_frame->statusPane()->text(), QStringLiteral("Idle"));
    QCOMPARE(g_stopBytes, 0);
    QVERIFY(!m_in->isOpen);
}

void HandlersTest::cueComesFirstAndFallsBackToTheTone()
{
    const QByteArray beep = speech(800, 9);
    writeFile(QDir(m_program->path()).filePath(QStringLiteral("beep.wav")), wav8000(beep));
    m_out->names = {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")};
    m_out->completeOnItsOwn = false;
    m_view->m_outputDevice = 2;

    m_view->OnCommand(Ids::RecButton);
    QCOMPARE(m_out->played, QList<QByteArray>{beep});
    QCOMPARE(m_out->playedOnDevice, QList<int>{2});
    QTest::qWait(30);
    QCOMPARE(m_in->opens, 0);  // still listening to the cue
    m_out->finishPlaying();
    waitForCapture();
    QVERIFY(!m_out->isOpen);
    m_view->OnCommand(Ids::StopButton);
    QTRY_VERIFY(hasNewLine(QStringLiteral("Done.")));
    QCOMPARE(newLog().value(2), QStringLiteral("Done."));

    // Without beep.wav the built-in tone plays, and with no output device chosen it
    // plays on the first one.
    QVERIFY(QFile::remove(QDir(m_program->path()).filePath(QStringLiteral("beep.wav"))));
    m_view->m_outputDevice = -1;
    m_prompter->answerNext(true);
    m_view->OnCommand(Ids::RecButton);
    QCOMPARE(m_out->played.value(1), builtInTone());
    QCOMPARE(m_out->playedOnDevice.value(1), 0);
    m_out->finishPlaying();
    waitForCapture();
    QCOMPARE(newLog(), QStringList{QStringLiteral("Recording...")});
}

void HandlersTest::noToAppendStartsOver()
{
    const QByteArray heard = speech(16000 + 32000, 2);
    m_in->setSamples(heard);
    record(1);
    const QString first = m_view->m_recordingFile;
    QVERIFY(QFile::exists(first));
    g_recordSeconds = 42;  // as the recording display left it

    m_prompter->answerNext(false);
    m_view->OnCommand(Ids::RecButton);
    QCOMPARE(m_prompter->shown, QStringList{AppendQuestion});
    QVERIFY(!QFile::exists(first));
    QCOMPARE(g_recordSeconds, 0);
    QCOMPARE(g_recordedBytes, 0);
    waitForCapture();
    QCOMPARE(m_in->offeredCapacity, qint64(BufferBytes));
    m_in->deliverSeconds(2);
    m_view->OnCommand(Ids::StopButton);
    QTRY_VERIFY(!m_in->isOpen);
    QCOMPARE(m_view->m_recordingFile, first);
    QCOMPARE(readFile(first), heard.mid(16000, 32000));
    QCOMPARE(g_recordedBytes, 32000);
}

void HandlersTest::yesToAppendJoinsAtEightBitPrecision()
{
    const QByteArray heard = speech(16000 + 8000, 3);
    m_in->setSamples(heard);
    record(1);
    g_recordSeconds = 5;

    m_prompter->answerNext(true);
    m_view->OnCommand(Ids::RecButton);
    QCOMPARE(m_prompter->shown, QStringList{AppendQuestion});
    waitForCapture();
    QCOMPARE(m_in->offeredCapacity, qint64(BufferBytes - 16000));
    QCOMPARE(g_recordedBytes, 16000);
    // The clock goes on from the earlier recording.
    m_view->OnTimer(Ids::TimerRecordingDisplay);
    QCOMPARE(m_frame->statusPane()->text(), QStringLiteral("Recording: 00:05"));

    m_in->deliverSeconds(0.5);
    m_view->OnCommand(Ids::StopButton);
    QTRY_VERIFY(!m_in->isOpen);
    QCOMPARE(newLog(), (QStringList{QStringLiteral("Recording..."), QStringLiteral("Stopping..."), QStringLiteral("Done.")}));
    QCOMPARE(readFile(m_view->m_recordingFile), highBytesOnly(heard));
    QVERIFY(!QFile::exists(m_view->m_recordingFile + QStringLiteral(".tmp")));
    QVERIFY(!QFile::exists(m_view->m_recordingFile + QStringLiteral("_")));
    QCOMPARE(g_recordedBytes, 24000);
}

void HandlersTest::fullBufferEndsTheRecordingByItself()
{
    const QByteArray heard = speech(BufferBytes + 16000, 4);
    m_in->setSamples(heard);
    m_view->OnCommand(Ids::RecButton);
    waitForCapture();
    m_in->deliverSeconds(151);
    QTRY_VERIFY(hasNewLine(QStringLiteral("Done.")));
    QCOMPARE(newLog(), (QStringList{QStringLiteral("Recording..."), QStringLiteral("Done.")}));
    QCOMPARE(readFile(m_view->m_recordingFile), heard.left(BufferBytes));
    QCOMPARE(buttons(), QStringLiteral("Rec Play - Attach"));
    QCOMPARE(m_frame->statusPane()->text(), QStringLiteral("Idle"));
    QVERIFY(!m_view->IsTimerActive(Ids::TimerRecordingDisplay));
    QCOMPARE(m_view->m_recording, 0);
    // Only Stop counts the bytes.
    QCOMPARE(g_recordedBytes, 0);
}

void HandlersTest::fullRecordingOffersNoEmptyBuffer()
{
    const QByteArray heard = speech(BufferBytes, 5);
    m_in->setSamples(heard);
    record(100);
    m_prompter->answerNext(true);
    m_view->OnCommand(Ids::RecButton);
    waitForCapture();
    QCOMPARE(m_in->offeredCapacity, qint64(800000));
    // Stop pressed just as the buffer fills: Stop counts the whole of it.
    m_in->deliverSeconds(50);
    m_view->OnCommand(Ids::StopButton);
    QTRY_VERIFY(!m_in->isOpen);
    QCOMPARE(g_recordedBytes, BufferBytes);
    QCOMPARE(readFile(m_view->m_recordingFile), highBytesOnly(heard));
    newLog();

    const int opens = m_in->opens;
    const qsizetype cues = m_out->played.size();
    m_prompter->answerNext(true);
    m_view->OnCommand(Ids::RecButton);
    QTest::qWait(30);
    const QStringList log = newLog();
    QCOMPARE(log.size(), 2);
    QCOMPARE(log.at(0), QStringLiteral("Recording..."));
    QVERIFY2(log.at(1).contains(QStringLiteral("full")), qPrintable(log.at(1)));
    QCOMPARE(m_in->opens, opens);
    QCOMPARE(m_out->played.size(), cues);
    QCOMPARE(buttons(), QStringLiteral("Rec Play - Attach"));
    QCOMPARE(m_view->m_recording, 0);
}

void HandlersTest::inputThatFailsToOpen_data()
{
    QTest::addColumn<int>("device");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    QTest::newRow("refused") << 0 << 4 << QStringLiteral("The device is taken.");
    QTest::newRow("no such device") << 3 << AudioError::BadDevice << audioErrorText(AudioError::BadDevice);
}

void HandlersTest::inputThatFailsToOpen()
{
    QFETCH(int, device);
    QFETCH(int, code);
    QFETCH(QString, text);
    m_in->setSamples(speech(16000, 6));
    record(1);
    const QString earlier = m_view->m_recordingFile;
    m_view->m_inputDevice = device;
    if (device == 0)
        m_in->failNextOpen(code, text);
    m_frame->statusPane()->setPaneText(QStringLiteral("Idle"));

    m_prompter->answerNext(false);
    m_view->OnCommand(Ids::RecButton);
    QTRY_VERIFY(hasNewLine(QStringLiteral("Error Message: ") + text));
    QCOMPARE(newLog(), (QStringList{QStringLiteral("Recording..."), QStringLiteral("Cannot open recording device"),
                                        QStringLiteral("Error Code: %1").arg(code), QStringLiteral("Error Message: ") + text}));
    QCOMPARE(buttons(), QStringLiteral("Rec - - -"));
    QCOMPARE(m_view->m_recording, 0);
    QVERIFY(!m_view->IsTimerActive(Ids::TimerRecordingDisplay));
    QCOMPARE(m_frame->statusPane()->text(), QStringLiteral("Idle"));
    // The answer No had already deleted the earlier recording.
    QVERIFY(!QFile::exists(earlier));
}

void HandlersTest::stopWhileTheCuePlaysStartsNoCapture()
{
    m_out->completeOnItsOwn = false;
    m_view->OnCommand(Ids::RecButton);
    QVERIFY(m_out->isPlaying());
    m_view->OnCommand(Ids::StopButton);
    QCOMPARE(buttons(), QStringLiteral("Rec - - -"));
    QTest::qWait(50);
    QCOMPARE(newLog(), (QStringList{QStringLiteral("Recording..."), QStringLiteral("Stopping...")}));
    QCOMPARE(m_in->opens, 0);
    QVERIFY(!m_out->isOpen);
    QVERIFY(!m_view->IsTimerActive(Ids::TimerRecordingDisplay));

    // The next Rec records as usual.
    m_out->completeOnItsOwn = true;
    m_prompter->answerNext(true);
    m_view->OnCommand(Ids::RecButton);
    waitForCapture();
    QCOMPARE(m_in->offeredCapacity, qint64(BufferBytes));
}

void HandlersTest::unsavableCaptureIsReported_data()
{
    QTest::addColumn<QString>("obstacle");
    QTest::newRow("no outbox folder") << QStringLiteral("folder");
    QTest::newRow("piece cannot be created") << QStringLiteral("directory");
    QTest::newRow("piece cannot be written whole") << QStringLiteral("full disk");
}

void HandlersTest::unsavableCaptureIsReported()
{
    QFETCH(QString, obstacle);
    const QByteArray heard = speech(64000, 7);
    m_in->setSamples(heard);
    QByteArray earlier;
    if (obstacle != QLatin1String("folder")) {
        record(1);
        earlier = readFile(m_view->m_recordingFile);
        const QString piece = m_view->m_recordingFile + QStringLiteral(".tmp");
        if (obstacle == QLatin1String("directory"))
            QVERIFY(QDir().mkdir(piece));
        else if (QFile::exists(QStringLiteral("/dev/full")))
            QVERIFY(QFile::link(QStringLiteral("/dev/full"), piece));
        else
            QSKIP("this system has no /dev/full");
        m_prompter->answerNext(true);
    }
    m_view->OnCommand(Ids::RecButton);
    waitForCapture();
    if (obstacle == QLatin1String("folder"))
        QVERIFY(QDir(m_program->path()).rmdir(QStringLiteral("emsg")));
    m_in->deliverSeconds(2);
    m_view->OnCommand(Ids::StopButton);
    QTRY_VERIFY(hasNewLine(QStringLiteral("Done.")));
    QVERIFY(newLog().join(QLatin1Char('|')).contains(QStringLiteral("Cannot save the recording")));
    QVERIFY(!m_frame->logEdit()->toPlainText().contains(QStringLiteral("Appending failed.")));
    // The bytes that could not be saved are not counted either.
    if (obstacle == QLatin1String("folder")) {
        QVERIFY(!QFile::exists(m_view->m_recordingFile));
        QCOMPARE(g_recordedBytes, 0);
    } else {
        QCOMPARE(readFile(m_view->m_recordingFile), earlier);
        QCOMPARE(earlier, heard.left(16000));
        QCOMPARE(g_recordedBytes, 16000);
    }
    QCOMPARE(m_frame->statusPane()->text(), QStringLiteral("Idle"));
    QCOMPARE(m_view->m_recording, 0);
}

// ---- playback -------------------------------------------------------------------

void HandlersTest::playWithoutRecordingDoesNothing()
{
    m_view->EnableButton(Ids::StopButton, false);
    m_view->EnableButton(Ids::AttachButton, false);
    m_view->OnCommand(Ids::PlayButton);
    QTest::qWait(20);
    QCOMPARE(newLog(), QStringList());
    QCOMPARE(m_out->opens, 0);
    QCOMPARE(buttons(), QStringLiteral("Rec Play - -"));
    QCOMPARE(m_view->m_playing, 0);
}

void HandlersTest::playWithoutOutputDeviceRefuses()
{
    m_view->m_outputDevice = -1;
    m_view->m_recordingFile = QDir(m_program->path()).filePath(QStringLiteral("emsg/orv1.pcm"));
    writeFile(m_view->m_recordingFile, speech(100, 1));
    m_view->OnCommand(Ids::PlayButton);
    QCOMPARE(newLog(), QStringList{QStringLiteral("Please select a playback device")});
    QCOMPARE(m_out->opens, 0);
}

void HandlersTest::playsTheWholeRecordingThenIdles()
{
    m_in->setSamples(speech(48000, 8));
    record(3);
    const QByteArray recording = readFile(m_view->m_recordingFile);
    m_out->names = {QStringLiteral("a"), QStringLiteral("b")};
    m_out->completeOnItsOwn = false;
    m_view->m_outputDevice = 1;

    m_view->OnCommand(Ids::PlayButton);
    QCOMPARE(newLog(), QStringList{QStringLiteral("Playing...")});
    QCOMPARE(buttons(), QStringLiteral("- - Stop -"));
    QCOMPARE(m_view->m_playing, 1);
    QCOMPARE(m_out->played.last(), recording);
    QCOMPARE(m_out->playedOnDevice.last(), 1);
    QVERIFY(m_view->IsTimerActive(Ids::TimerPlaybackDisplay));
    QCOMPARE(m_view->TimerInterval(Ids::TimerPlaybackDisplay), 500);
    QCOMPARE(m_frame->statusPane()->text(), QStringLiteral("Playing: 00:00"));
    QCOMPARE(g_paneAnimationReset, 1);

    // The end of the sound finishes the playback with no user action.
    QTest::qWait(30);
    QCOMPARE(newLog(), QStringList());
    m_out->finishPlaying();
    QTRY_VERIFY(hasNewLine(QStringLiteral("Done.")));
    QCOMPARE(newLog(), QStringList{QStringLiteral("Done.")});
    QCOMPARE(buttons(), QStringLiteral("Rec Play - Attach"));
    QCOMPARE(m_view->m_playing, 0);
    QVERIFY(!m_view->IsTimerActive(Ids::TimerPlaybackDisplay));
    QCOMPARE(m_frame->statusPane()->text(), QStringLiteral("Idle"));
    QVERIFY(!m_out->isOpen);
}

void HandlersTest::stopDuringPlayback()
{
    m_view->m_recordingFile = QDir(m_program->path()).filePath(QStringLiteral("emsg/orv2.pcm"));
    writeFile(m_view->m_recordingFile, speech(32000, 2));
    m_out->completeOnItsOwn = false;
    m_view->OnCommand(Ids::PlayButton);
    QVERIFY(m_out->isPlaying());
    m_view->OnCommand(Ids::StopButton);
    QCOMPARE(m_view->m_playing, 0);
    QCOMPARE(newLog(), (QStringList{QStringLiteral("Playing..."), QStringLiteral("Stopping...")}));
    QTRY_VERIFY(hasNewLine(QStringLiteral("Done.")));
    QCOMPARE(newLog(), QStringList{QStringLiteral("Done.")});
    QVERIFY(!m_out->isPlaying());
    QCOMPARE(buttons(), QStringLiteral("Rec Play - Attach"));
    QCOMPARE(m_frame->statusPane()->text(), QStringLiteral("Idle"));
    // Recording still works after a playback on the same buffer.
    m_prompter->answerNext(true);
    m_view->OnCommand(Ids::RecButton);
    m_out->finishPlaying();
    waitForCapture();
}

void HandlersTest::longRecordingPlaysItsFirst150Seconds()
{
    const QByteArray longer = speech(BufferBytes + 32000, 3);
    m_view->m_recordingFile = QDir(m_program->path()).filePath(QStringLiteral("emsg/orv3.pcm"));
    writeFile(m_view->m_recordingFile, longer);
    m_view->OnCommand(Ids::PlayButton);
    QCOMPARE(m_out->played.size(), 1);
    QCOMPARE(m_out->played.first().size(), BufferBytes);
    QVERIFY(m_out->played.first() == longer.left(BufferBytes));
    QTRY_VERIFY(hasNewLine(QStringLiteral("Done.")));
    QCOMPARE(newLog(), (QStringList{QStringLiteral("Playing..."), QStringLiteral("Done.")}));
}

void HandlersTest::outputThatFailsToOpen()
{
    m_view->m_recordingFile = QDir(m_program->path()).filePath(QStringLiteral("emsg/orv4.pcm"));
    writeFile(m_view->m_recordingFile, speech(1600, 4));
    m_out->failNextOpen(AudioError::BadFormat, QStringLiteral("Wrong format."));
    m_frame->statusPane()->setPaneText(QStringLiteral("Idle"));
    m_view->OnCommand(Ids::PlayButton);
    QCOMPARE(newLog(), (QStringList{QStringLiteral("Playing..."), QStringLiteral("Error Code: 32"),
                                    QStringLiteral("Error Message: Wrong format.")}));
    QCOMPARE(buttons(), QStringLiteral("Rec Play - Attach"));
    QCOMPARE(m_view->m_playing, 0);
    QVERIFY(!m_view->IsTimerActive(Ids::TimerPlaybackDisplay));
    QCOMPARE(m_frame->statusPane()->text(), QStringLiteral("Idle"));
}

void HandlersTest::missingRecordingFileIsSilent()
{
    m_view->m_recordingFile = QDir(m_program->path()).filePath(QStringLiteral("emsg/orv5.pcm"));
    m_view->OnCommand(Ids::PlayButton);
    QTest::qWait(20);
    QCOMPARE(newLog(), QStringList{QStringLiteral("Playing...")});
    QCOMPARE(buttons(), QStringLiteral("Rec Play - Attach"));
    QCOMPARE(m_view->m_playing, 0);
    QCOMPARE(m_out->opens, 1);
    QVERIFY(!m_out->isOpen);
    QVERIFY(m_out->played.isEmpty());
}

// ---- device lists ---------------------------------------------------------------

void HandlersTest::deviceNamesComeFromTheDevices()
{
    m_in->names = {QStringLiteral("USB headset"), QStringLiteral("Line in")};
    m_out->names = {QStringLiteral("Speakers")};
    QCOMPARE(m_view->InputDeviceNames(), m_in->names);
    QCOMPARE(m_view->OutputDeviceNames(), m_out->names);
}

void HandlersTest::formWithoutDevicesReportsThem()
{
    makeForm(false);
    QCOMPARE(m_view->InputDeviceNames(), QStringList());
    QCOMPARE(m_view->OutputDeviceNames(), QStringList());
    m_view->OnCommand(Ids::RecButton);
    QTRY_VERIFY(hasNewLine(QStringLiteral("Error Code: 2")));
    QCOMPARE(newLog().value(1), QStringLiteral("Cannot open recording device"));
    m_view->m_recordingFile = QDir(m_program->path()).filePath(QStringLiteral("emsg/orv6.pcm"));
    writeFile(m_view->m_recordingFile, speech(100, 1));
    m_view->OnCommand(Ids::PlayButton);
    QCOMPARE(newLog().value(1), QStringLiteral("Error Code: 2"));
}

QTEST_MAIN(HandlersTest)
#include "handlers_test.moc"
