// Recording and playback through the form and its Recorder, on in-memory sound devices.

#include "app/module_state.h"
#include "audio/cue_sound.h"
#include "resources/resource_ids.h"
#include "shell/status_pane.h"
#include "tests/support/audio/fake_audio_devices.h"
#include "tests/support/form_harness.h"
#include "tests/support/test_files.h"

#include <QDateTime>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>
#include <QtEndian>

#include <utility>

namespace {

constexpr qint64 BufferBytes = Recorder::CapacityBytes;

// Samples whose low bytes are not zero, different for every seed.
QByteArray speech(qint64 bytes, int seed)
{
    QByteArray out(bytes, '\0');
    for (qint64 i = 0; i + 1 < bytes; i += 2)
        qToLittleEndian(qint16((i * 1237 + seed * 7919) % 65536 - 32768), out.data() + i);
    return out;
}

}  // namespace

class HandlersTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_in = std::make_unique<FakeAudioInput>();
        m_out = std::make_unique<FakeAudioOutput>();
        m_h = std::make_unique<FormHarness>(FormServices{QString(), nullptr, m_in.get(), m_out.get()});
        QVERIFY(QDir(m_h->programFolder()).mkdir(QStringLiteral("emsg")));
        // The outbox path and the current folder are elsewhere than the program folder.
        view().SetOutboxPath(m_elsewhere.path());
        QDir::setCurrent(m_elsewhere.path());
        m_logSeen = 0;
    }

    void cleanup()
    {
        QVERIFY(m_h->prompter().allAnswersUsed());
        m_h.reset();
    }

    void missingOrFailingDevices()
    {
        view().OnCommand(Ids::PlayButton);  // no recording yet: nothing at all
        useDevices(-1, 0);
        view().OnCommand(Ids::RecButton);
        QCOMPARE(state(), QStringLiteral("RPSA|Idle"));  // as the form started
        useDevices(0, 0);
        m_in->failNextOpen(AudioError::Allocated, QStringLiteral("The device is taken."));
        view().OnCommand(Ids::RecButton);
        drain();
        QVERIFY(state() == "R---|Idle" && recorder().state() == Recorder::State::Idle && m_in->opens == 1);
        recorder().setRecordingFile(m_h->programFolder() + "/emsg/orv4.pcm");
        QVERIFY(TestFiles::write(recorder().recordingFile(), speech(1600, 4)));
        useDevices(0, -1);
        view().OnCommand(Ids::PlayButton);
        useDevices(0, 3);  // no such device
        view().OnCommand(Ids::PlayButton);
        QVERIFY(state() == "RP-A|Idle" && !recorder().isPlaying());
        QCOMPARE(newLog(), (QStringList{"Please select a recording device", "Recording...",
                                        "Cannot open recording device", "Error Code: 4",
                                        "Error Message: The device is taken.",
                                        "Please select a playback device", "Playing...", "Error Code: 2",
                                        "Error Message: " + audioErrorText(AudioError::BadDevice)}));
    }

    void threeSecondRecordingThenPlaybackUntilStop()
    {
        m_in->names = {QStringLiteral("first"), QStringLiteral("second")};
        m_in->samples = speech(5 * 16000, 1);
        useDevices(1, -1);
        const qint64 before = QDateTime::currentSecsSinceEpoch();
        QVERIFY(startCapture());
        // Without beep.wav the built-in tone comes first; with no output chosen, on the first one.
        QVERIFY(m_out->played == QList<QByteArray>{builtInTone()} && m_out->playedOnDevice == QList<int>{0});
        QCOMPARE(state(), QStringLiteral("--S-|Recording: 00:00|101 every 500 ms"));
        QVERIFY(m_in->openedDevice == 1 && m_in->offeredCapacity == BufferBytes);
        m_in->deliverSeconds(3);
        QVERIFY(stopCapture());
        // "orv" and the start time in seconds, in the outbox of the program folder.
        const QFileInfo file(recorder().recordingFile());
        const qint64 named = file.fileName().mid(3).chopped(4).toLongLong();
        QCOMPARE(file.filePath(), m_h->programFolder() + QStringLiteral("/emsg/orv%1.pcm").arg(named));
        QVERIFY(named >= before && named <= QDateTime::currentSecsSinceEpoch());
        QCOMPARE(TestFiles::read(file.filePath()), m_in->samples.left(48000));
        QVERIFY(QDir(m_elsewhere.path()).isEmpty() && state() == "RP-A|Idle" && !m_in->isOpen);
        QCOMPARE(recorder().recordedBytes(), 48000);
        QCOMPARE(newLog(), (QStringList{"Recording...", "Stopping...", "Done."}));

        // A recording longer than the buffer plays its first 150 seconds (whole samples
        // only), until its end or Stop.
        const QByteArray longer = speech(BufferBytes + 32001, 3);
        QVERIFY(TestFiles::write(file.filePath(), longer));
        m_out->names = {QStringLiteral("a"), QStringLiteral("b")};
        m_out->completeOnItsOwn = false;
        useDevices(1, 1);
        view().OnCommand(Ids::PlayButton);
        QVERIFY(m_out->played.last() == longer.left(BufferBytes) && m_out->playedOnDevice.last() == 1);
        QVERIFY(state() == "--S-|Playing: 00:00|102 every 500 ms" && recorder().isPlaying());
        drain();
        QVERIFY(m_out->running && newLog() == QStringList{"Playing..."});
        QSignalSpy ended(m_out.get(), &AudioOutput::finished);
        view().OnCommand(Ids::StopButton);
        QVERIFY(ended.wait(2000));
        QVERIFY(state() == "RP-A|Idle" && !recorder().isPlaying() && !m_out->isOpen);
        QCOMPARE(newLog(), (QStringList{"Stopping...", "Done."}));
        // A file of an odd length plays its whole samples and ends by itself.
        QVERIFY(TestFiles::write(file.filePath(), speech(3201, 5)));
        m_out->completeOnItsOwn = true;
        view().OnCommand(Ids::PlayButton);
        QVERIFY(ended.wait(2000));
        QVERIFY(m_out->played.last() == speech(3200, 5) && newLog() == QStringList({"Playing...", "Done."}));
    }

    void theCueComesFirstAndHoldsTheMessage()
    {
        // The program folder's beep.wav (16-bit 8000 Hz mono) plays on the chosen device.
        const QByteArray beep = speech(800, 9);
        QByteArray wav = QByteArray::fromHex("524946460000000057415645666d7420100000000100"
                                             "0100401f0000803e0000020010006461746100000000") + beep;
        qToLittleEndian<quint32>(beep.size(), wav.data() + 40);
        QVERIFY(TestFiles::write(m_h->programFolder() + "/beep.wav", wav));
        m_out->names = {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")};
        m_out->completeOnItsOwn = false;
        useDevices(0, 2);
        const QString earlier = m_h->programFolder() + "/emsg/orv7.pcm";
        QVERIFY(TestFiles::write(earlier, speech(1600, 7)));
        recorder().setRecordingFile(earlier);
        m_h->prompter().answerNext(true);  // append
        view().OnCommand(Ids::RecButton);
        QVERIFY(m_out->played == QList<QByteArray>{beep} && m_out->playedOnDevice == QList<int>{2});
        // Send while the cue of an append plays is refused like a Send while recording.
        m_h->setField(Ids::RecipientCombo, QStringLiteral("bob@example.org"));
        view().OnCommand(Ids::CmdSend);
        QVERIFY(!view().delivery().isCompressing() && view().delivery().state() == Delivery::State::Disconnected);
        // Stop while the cue plays ends it and starts no capture.
        view().OnCommand(Ids::StopButton);
        drain();
        QCOMPARE(newLog(), (QStringList{"Recording...", "Please stop the recording or playback before sending.",
                                        "Stopping..."}));
        QVERIFY(state() == "RP-A|Idle" && m_in->opens == 0 && !m_out->isOpen);
        QCOMPARE(TestFiles::read(earlier), speech(1600, 7));
    }

    void appendingOrStartingOver()
    {
        m_in->samples = speech(16000 + 8000 + 32000, 3);
        QVERIFY(startCapture());
        m_in->deliverSeconds(1);
        QVERIFY(stopCapture());
        newLog();
        // Yes continues the clock, offers what is left and joins at 8-bit precision.
        g_recordSeconds = 5;
        m_h->prompter().answerNext(true);
        QVERIFY(startCapture());
        QVERIFY(m_in->offeredCapacity == BufferBytes - 16000 && recorder().recordedBytes() == 16000);
        view().OnTimer(Ids::TimerRecordingDisplay);
        QCOMPARE(state(), QStringLiteral("--S-|Recording: 00:05|101 every 500 ms"));
        m_in->deliverSeconds(0.5);
        QVERIFY(stopCapture());
        QCOMPARE(newLog(), (QStringList{"Recording...", "Stopping...", "Done."}));
        const QString file = recorder().recordingFile();
        QByteArray joined = m_in->samples.left(24000);
        for (int i = 0; i < joined.size(); i += 2)
            joined[i] = '\0';  // 8-bit precision keeps the high bytes only
        QCOMPARE(TestFiles::read(file), joined);
        QCOMPARE(QDir(QFileInfo(file).path()).entryList(QDir::Files), QStringList{QFileInfo(file).fileName()});
        QCOMPARE(recorder().recordedBytes(), 24000);

        // No deletes the recording and restarts the clock; the name stays.
        m_h->prompter().answerNext(false);
        QVERIFY(startCapture());
        QCOMPARE(m_h->prompter().shown, QStringList(2, "Do you want to append to the existing recording?"));
        QVERIFY(!QFile::exists(file) && g_recordSeconds == 0 && recorder().recordedBytes() == 0);
        QCOMPARE(m_in->offeredCapacity, BufferBytes);
        m_in->deliverSeconds(2);
        QVERIFY(stopCapture());
        QVERIFY(recorder().recordingFile() == file && recorder().recordedBytes() == 32000);
        QCOMPARE(TestFiles::read(file), m_in->samples.mid(24000));
    }

    void fullBufferEndsTheRecordingAndFullRecordingsTakeNoMore()
    {
        m_in->samples = speech(BufferBytes + 16000, 4);
        QVERIFY(startCapture());
        QSignalSpy captured(m_in.get(), &AudioInput::finished);
        m_in->deliverSeconds(151);
        QVERIFY(captured.wait(2000));
        QCOMPARE(newLog(), (QStringList{"Recording...", "Done."}));
        QCOMPARE(TestFiles::read(recorder().recordingFile()), m_in->samples.left(BufferBytes));
        QVERIFY(state() == "RP-A|Idle" && recorder().recordedBytes() == 0);  // only Stop counts the bytes

        // Stop pressed just as the buffer fills counts the whole of it; the recording is full.
        m_h->prompter().answerNext(false);
        QVERIFY(startCapture());
        m_in->deliverSeconds(150);
        QVERIFY(stopCapture());
        QCOMPARE(recorder().recordedBytes(), BufferBytes);
        const int opens = m_in->opens, cues = int(m_out->played.size());
        m_h->prompter().answerNext(true);
        view().OnCommand(Ids::RecButton);
        drain();
        const QStringList log = newLog().mid(3);
        QVERIFY2(log.size() == 2 && log[0] == "Recording..." && log[1].contains("full"), qPrintable(log.join('|')));
        QVERIFY(m_in->opens == opens && m_out->played.size() == cues && state() == "RP-A|Idle");
    }

    void unsavableCaptureKeepsTheRecording_data()
    {
        QTest::addColumn<QString>("obstacle");
        QTest::newRow("no outbox folder") << "folder";
        QTest::newRow("piece cannot be created") << "directory";
        QTest::newRow("piece cannot be written whole") << "full disk";
        QTest::newRow("join beyond a file-size limit") << "size limit";
    }

    void unsavableCaptureKeepsTheRecording()
    {
        QFETCH(QString, obstacle);
        m_in->samples = speech(64000, 7);
        const bool earlier = obstacle != "folder";
        if (earlier) {
            QVERIFY(startCapture());
            m_in->deliverSeconds(1);
            QVERIFY(stopCapture());
            const QString piece = recorder().recordingFile() + ".tmp";
            if (obstacle == "directory")
                QVERIFY(QDir().mkdir(piece));
            else if (obstacle == "full disk")
                QVERIFY(QFile::link(QStringLiteral("/dev/full"), piece));
            m_h->prompter().answerNext(true);
        }
        QVERIFY(startCapture());
        if (!earlier)
            QVERIFY(QDir(m_h->programFolder() + "/emsg").removeRecursively());
        m_in->deliverSeconds(2);
        // The piece (32,000 bytes) fits; the joined recording (48,000) does not.
        bool stopped = false;
        TestFiles::withSizeLimit(obstacle == "size limit" ? 40000 : RLIM_INFINITY, [&] { stopped = stopCapture(); });
        QVERIFY(stopped);
        const QString log = newLog().join('|');
        const bool joinFailed = obstacle == "size limit";
        QVERIFY2(log.contains("Cannot save the recording") != joinFailed && log.contains("Appending failed.") == joinFailed,
                 qPrintable(log));
        // An earlier recording stays as it was, byte for byte; the bytes not saved are not counted.
        const QString file = recorder().recordingFile();
        QCOMPARE(TestFiles::read(file), earlier ? m_in->samples.left(16000) : "<missing>");
        QVERIFY(recorder().recordedBytes() == (earlier ? 16000 : 0) && state().endsWith("Idle"));
        if (earlier)
            QCOMPARE(QDir(QFileInfo(file).path()).entryList(QDir::Files), QStringList{QFileInfo(file).fileName()});
    }

    void aNewMessageStopsTheCaptureSavesItAndAsks_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<bool>("discard");
        QTest::newRow("New, kept") << int(Ids::CmdNew) << false;
        QTest::newRow("Tech Support, discarded") << int(Ids::CmdTechSupport) << true;
        QTest::newRow("start-up reset, discarded") << int(Ids::TimerStartupMessage) << true;
    }

    void aNewMessageStopsTheCaptureSavesItAndAsks()
    {
        QFETCH(int, command);
        QFETCH(bool, discard);
        m_in->samples = speech(32000, 8);
        QVERIFY(startCapture());
        m_in->deliverSeconds(1);
        m_h->setField(Ids::SubjectEdit, QStringLiteral("typed"));
        m_h->prompter().answerNext(discard);  // "Discard the recording that was not sent?"
        QSignalSpy captured(m_in.get(), &AudioInput::finished);
        if (command == Ids::TimerStartupMessage)
            view().OnTimer(command);
        else
            view().OnCommand(command);
        QVERIFY(captured.wait(2000));
        QCOMPARE(m_h->prompter().shown, QStringList{"Discard the recording that was not sent?"});
        QVERIFY(!m_in->running && state().startsWith(discard ? "R---" : "RP-A"));
        QCOMPARE(TestFiles::read(recorder().recordingFile()), discard ? "<missing>" : m_in->samples.left(16000));
        QCOMPARE(m_h->field(Ids::SubjectEdit) == QStringLiteral("typed"), !discard);
        QVERIFY(m_h->log().contains(QStringLiteral("Stopping...\nDone.\n")));
    }

private:
    CTalkpostView &view() { return m_h->view(); }
    Recorder &recorder() { return m_h->view().recorder(); }

    void useDevices(int input, int output)
    {
        Account account = view().account();
        account.inputDevice = input;
        account.outputDevice = output;
        view().setAccount(account);
    }

    // Runs what the devices and the cue have queued, without waiting for anything else.
    static void drain()
    {
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
    }

    // Lines logged since the last look.
    QStringList newLog()
    {
        const QStringList all = m_h->log().split('\n', Qt::SkipEmptyParts);
        return all.mid(std::exchange(m_logSeen, int(all.size())));
    }

    // Rec, Play, Stop, Attach as their first letter when enabled, "-" when not; then the
    // status pane's text and the display timers that run.
    QString state()
    {
        const int ids[] = {Ids::RecButton, Ids::PlayButton, Ids::StopButton, Ids::AttachButton};
        QString shown;
        for (int i = 0; i < 4; ++i)
            shown += QLatin1Char(view().IsButtonEnabled(ids[i]) ? "RPSA"[i] : '-');
        shown += '|' + m_h->frame().statusPane()->text();
        for (const int timer : {Ids::TimerRecordingDisplay, Ids::TimerPlaybackDisplay})
            if (view().IsTimerActive(timer))
                shown += QStringLiteral("|%1 every %2 ms").arg(timer).arg(view().TimerInterval(timer));
        return shown;
    }

    // Presses Rec; true once the cue has played and the capture runs.
    bool startCapture()
    {
        QSignalSpy capturing(&recorder(), &Recorder::captureStarted);
        view().OnCommand(Ids::RecButton);
        return capturing.wait(2000) && m_in->running;
    }

    // Presses Stop; true once the capture has been saved.
    bool stopCapture()
    {
        QSignalSpy saved(&recorder(), &Recorder::captureEnded);
        view().OnCommand(Ids::StopButton);
        return saved.wait(2000);
    }

    // The devices outlive the form that uses them.
    std::unique_ptr<FakeAudioInput> m_in;
    std::unique_ptr<FakeAudioOutput> m_out;
    std::unique_ptr<FormHarness> m_h;
    QTemporaryDir m_elsewhere;
    int m_logSeen = 0;
};

QTEST_MAIN(HandlersTest)
#include "handlers_test.moc"
