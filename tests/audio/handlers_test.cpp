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
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QtEndian>

// Samples whose low bytes are not zero, different for every seed.
static QByteArray speech(qint64 bytes, int seed)
{
    QByteArray out(bytes, '\0');
    for (qint64 i = 0; i + 1 < bytes; i += 2)
        qToLittleEndian(qint16((i * 1237 + seed * 7919) % 65536 - 32768), out.data() + i);
    return out;
}

class HandlersTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_in = std::make_unique<FakeAudioInput>();
        m_out = std::make_unique<FakeAudioOutput>();
        m_out->names = {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")};
        m_h = std::make_unique<FormHarness>(FormServices{QString(), nullptr, m_in.get(), m_out.get()});
        QVERIFY(QDir(m_h->programFolder()).mkdir(QStringLiteral("emsg")));
        // The outbox path and the current folder are elsewhere than the program folder.
        view().SetOutboxPath(m_elsewhere.path());
        QDir::setCurrent(m_elsewhere.path());
    }

    void cleanup()
    {
        QVERIFY(m_h->prompter().allAnswersUsed());
        m_h.reset();
    }

    // Rec and Play on missing, failing and chosen devices, until Stop or the end.
    void recordingAndPlaybackOnTheirDevices()
    {
        view().OnCommand(Ids::PlayButton);  // no recording yet: nothing at all
        useDevices(-1, 0);
        view().OnCommand(Ids::RecButton);
        QCOMPARE(state(), QStringLiteral("RPSA|Idle"));  // as the form started
        m_in->names = {QStringLiteral("first"), QStringLiteral("second")};
        m_in->samples = speech(5 * 16000, 1);
        useDevices(1, -1);
        const qint64 before = QDateTime::currentSecsSinceEpoch();
        QVERIFY(startCapture());
        // Without beep.wav the built-in tone comes first; with no output chosen, on the first one.
        QVERIFY(m_out->played == QList<QByteArray>{builtInTone()} && m_out->playedOnDevice == QList<int>{0});
        QVERIFY(state() == "--S-|Recording: 00:00|101 every 500 ms" && m_in->openedDevice == 1
                && m_in->offeredCapacity == Recorder::CapacityBytes);
        m_in->deliverSeconds(3);
        QVERIFY(stopCapture());
        // "orv" and the start time in seconds, in the outbox of the program folder.
        const QString file = recorder().recordingFile();
        const qint64 named = QFileInfo(file).fileName().mid(3).chopped(4).toLongLong();
        QVERIFY2(file == m_h->programFolder() + QStringLiteral("/emsg/orv%1.pcm").arg(named) && named >= before
                     && named <= QDateTime::currentSecsSinceEpoch(), qPrintable(file));
        QCOMPARE(TestFiles::read(file), m_in->samples.left(48000));
        QVERIFY(QDir(m_elsewhere.path()).isEmpty() && state() == "RP-A|Idle" && !m_in->isOpen);
        QCOMPARE(newLog(), (QStringList{"Please select a recording device", "Recording...", "Stopping...", "Done."}));
        // A microphone that cannot be opened, no playback device, one that does not exist.
        m_in->failNextOpen(AudioError::Allocated, QStringLiteral("The device is taken."));
        m_h->prompter().answerNext(true);
        view().OnCommand(Ids::RecButton);
        drain();
        QVERIFY(state().contains(QRegularExpression("^R.-.\\|Idle$")) && recorder().state() == Recorder::State::Idle && m_in->opens == 2);
        useDevices(1, -1);
        view().OnCommand(Ids::PlayButton);
        useDevices(1, 5);
        view().OnCommand(Ids::PlayButton);
        QVERIFY(state() == "RP-A|Idle" && !recorder().isPlaying() && TestFiles::read(file) == m_in->samples.left(48000));
        QCOMPARE(newLog(), (QStringList{"Recording...", "Cannot open recording device", "Error Code: 4", "Error Message: The device is taken.",
                                        "Please select a playback device", "Playing...", "Error Code: 2",
                                        "Error Message: " + audioErrorText(AudioError::BadDevice)}));
        // Longer than the buffer: its first 150 seconds play, until Stop.
        const QByteArray longer = speech(Recorder::CapacityBytes + 32001, 3);
        QVERIFY(TestFiles::write(file, longer));
        m_out->completeOnItsOwn = false;
        useDevices(1, 1);
        view().OnCommand(Ids::PlayButton);
        QVERIFY(m_out->played.last() == longer.left(Recorder::CapacityBytes) && m_out->playedOnDevice.last() == 1);
        QVERIFY(state() == "--S-|Playing: 00:00|102 every 500 ms" && recorder().isPlaying());
        drain();
        QVERIFY(m_out->running && newLog() == QStringList{"Playing..."});
        QSignalSpy ended(m_out.get(), &AudioOutput::finished);
        view().OnCommand(Ids::StopButton);
        QVERIFY(ended.wait(2000));
        QVERIFY(state() == "RP-A|Idle" && !recorder().isPlaying() && !m_out->isOpen);
        QCOMPARE(newLog(), (QStringList{"Stopping...", "Done."}));
        // A file of an odd length plays its whole samples and ends by itself.
        QVERIFY(TestFiles::write(file, speech(3201, 5)));
        m_out->completeOnItsOwn = true;
        view().OnCommand(Ids::PlayButton);
        QVERIFY(ended.wait(2000));
        QVERIFY(m_out->played.last() == speech(3200, 5) && newLog() == QStringList({"Playing...", "Done."}));
    }

    // An append: its cue, failures, Yes and No; then a full buffer and a full recording.
    void appendingStartingOverAndFilling()
    {
        m_in->samples = speech(120000 + Recorder::CapacityBytes + 16000, 3);
        QVERIFY(startCapture());
        m_in->deliverSeconds(1);
        QVERIFY(stopCapture());
        const QString file = recorder().recordingFile();
        newLog();
        // The program folder's beep.wav (16-bit 8000 Hz mono) plays on the chosen device.
        const QByteArray beep = speech(800, 9);
        QVERIFY(TestFiles::write(m_h->programFolder() + "/beep.wav", QByteArray::fromHex("524946460000000057415645666d74201000000001000100"
                                                                                        "401f0000803e00000200100064617461" "20030000") + beep));
        m_out->completeOnItsOwn = false;
        useDevices(0, 2);
        m_h->prompter().answerNext(true);
        view().OnCommand(Ids::RecButton);
        QVERIFY(m_out->played.last() == beep && m_out->playedOnDevice.last() == 2);
        // Send while the cue of an append plays is refused like a Send while recording.
        m_h->setField(Ids::RecipientCombo, QStringLiteral("bob@example.org"));
        view().OnCommand(Ids::CmdSend);
        QVERIFY(!view().delivery().isCompressing() && view().delivery().state() == Delivery::State::Disconnected);
        // Stop while the cue plays ends it and starts no capture.
        view().OnCommand(Ids::StopButton);
        drain();
        QCOMPARE(newLog(), (QStringList{"Recording...", "Please stop the recording or playback before sending.", "Stopping..."}));
        QVERIFY(state() == "RP-A|Idle" && m_in->opens == 1 && !m_out->isOpen);
        m_out->completeOnItsOwn = true;

        // A piece not written whole, a join past a file-size limit: the recording stays, byte for byte.
        for (const bool fullDisk : {true, false}) {
            QVERIFY(!fullDisk || QFile::link(QStringLiteral("/dev/full"), file + ".tmp"));
            m_h->prompter().answerNext(true);
            QVERIFY(startCapture());
            m_in->deliverSeconds(2);
            bool stopped = false;  // the piece (32,000 bytes) fits the limit, the joined recording (48,000) does not
            TestFiles::withSizeLimit(fullDisk ? RLIM_INFINITY : 40000, [&] { stopped = stopCapture(); });
            const QString log = newLog().join('|');
            QVERIFY2(stopped && log.contains("Cannot save the recording") == fullDisk && log.contains("Appending failed.") != fullDisk,
                     qPrintable(log));
            QVERIFY(TestFiles::read(file) == m_in->samples.left(16000) && recorder().recordedBytes() == 16000 && state() == "RP-A|Idle");
            QCOMPARE(QDir(QFileInfo(file).path()).entryList(QDir::Files), QStringList{QFileInfo(file).fileName()});
        }

        // Yes continues the clock, offers what is left and joins at 8-bit precision.
        g_recordSeconds = 5;
        m_h->prompter().answerNext(true);
        QVERIFY(startCapture());
        QVERIFY(m_in->offeredCapacity == Recorder::CapacityBytes - 16000 && recorder().recordedBytes() == 16000);
        view().OnTimer(Ids::TimerRecordingDisplay);
        QCOMPARE(state(), QStringLiteral("--S-|Recording: 00:05|101 every 500 ms"));
        m_in->deliverSeconds(0.5);
        QVERIFY(stopCapture());
        QCOMPARE(newLog(), (QStringList{"Recording...", "Stopping...", "Done."}));
        QByteArray joined = m_in->samples.left(16000) + m_in->samples.mid(80000, 8000);
        for (int i = 0; i < joined.size(); i += 2)
            joined[i] = '\0';  // 8-bit precision keeps the high bytes only
        QCOMPARE(TestFiles::read(file), joined);
        QVERIFY(recorder().recordedBytes() == 24000 && QDir(QFileInfo(file).path()).entryList(QDir::Files) == QStringList{QFileInfo(file).fileName()});

        // No deletes the recording and restarts the clock; the name stays.
        m_h->prompter().answerNext(false);
        QVERIFY(startCapture());
        QCOMPARE(m_h->prompter().shown, QStringList(5, "Do you want to append to the existing recording?"));
        QVERIFY(!QFile::exists(file) && g_recordSeconds == 0 && recorder().recordedBytes() == 0
                && m_in->offeredCapacity == Recorder::CapacityBytes);
        m_in->deliverSeconds(2);
        QVERIFY(stopCapture());
        QVERIFY(recorder().recordingFile() == file && recorder().recordedBytes() == 32000);
        QCOMPARE(TestFiles::read(file), m_in->samples.mid(88000, 32000));

        // A full buffer ends the capture by itself; only Stop counts the bytes.
        m_h->prompter().answerNext(false);
        QVERIFY(startCapture());
        QSignalSpy captured(m_in.get(), &AudioInput::finished);
        m_in->deliverSeconds(151);
        QVERIFY(captured.wait(2000));
        QCOMPARE(newLog().mid(3), (QStringList{"Recording...", "Done."}));
        QCOMPARE(TestFiles::read(file), m_in->samples.mid(120000, Recorder::CapacityBytes));
        QVERIFY(state() == "RP-A|Idle" && recorder().recordedBytes() == 0);
        // Stop pressed just as the buffer fills counts the whole of it; the recording is full.
        m_h->prompter().answerNext(false);
        QVERIFY(startCapture());
        m_in->deliverSeconds(150);
        QVERIFY(stopCapture());
        QCOMPARE(recorder().recordedBytes(), Recorder::CapacityBytes);
        const int opens = m_in->opens, cues = int(m_out->played.size());
        m_h->prompter().answerNext(true);
        view().OnCommand(Ids::RecButton);
        drain();
        QCOMPARE(newLog().mid(3), (QStringList{"Recording...", "The recording is full: it already holds 150 seconds."}));
        QVERIFY(m_in->opens == opens && m_out->played.size() == cues && state() == "RP-A|Idle");
    }

    void aNewMessageStopsTheCaptureSavesItAndAsks_data()
    {
        QTest::addColumn<int>("command");  // New keeps the recording, the others discard it
        QTest::newRow("New, kept") << int(Ids::CmdNew);
        QTest::newRow("Tech Support, discarded") << int(Ids::CmdTechSupport);
        QTest::newRow("start-up reset, discarded") << int(Ids::TimerStartupMessage);
    }

    void aNewMessageStopsTheCaptureSavesItAndAsks()
    {
        QFETCH(int, command);
        const bool discard = command != Ids::CmdNew;
        m_in->samples = speech(32000, 8);
        QVERIFY(startCapture());
        m_in->deliverSeconds(1);
        m_h->setField(Ids::SubjectEdit, QStringLiteral("typed"));
        m_h->prompter().answerNext(discard);  // "Discard the recording that was not sent?"
        QSignalSpy captured(m_in.get(), &AudioInput::finished);
        command == Ids::TimerStartupMessage ? view().OnTimer(command) : void(view().OnCommand(command));
        QVERIFY(captured.wait(2000));
        QCOMPARE(m_h->prompter().shown, QStringList{"Discard the recording that was not sent?"});
        QVERIFY(!m_in->running && state().startsWith(discard ? "R---" : "RP-A"));
        QCOMPARE(TestFiles::read(recorder().recordingFile()), discard ? "<missing>" : m_in->samples.left(16000));
        QVERIFY((m_h->field(Ids::SubjectEdit) == QStringLiteral("typed")) != discard && m_h->log().contains("Stopping...\nDone.\n"));
    }

private:
    CTalkpostView &view() { return m_h->view(); }
    Recorder &recorder() { return m_h->view().recorder(); }

    void useDevices(int input, int output)
    {
        Account account = view().account();
        account.inputDevice = input, account.outputDevice = output;
        view().setAccount(account);
    }

    // Runs what the devices and the cue have queued, without waiting for anything else.
    static void drain()
    {
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
    }

    // Lines logged since the last look, which empties the log window.
    QStringList newLog()
    {
        const QStringList lines = m_h->log().split('\n', Qt::SkipEmptyParts);
        m_h->frame().logEdit()->clear();
        return lines;
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
};

QTEST_MAIN(HandlersTest)
#include "handlers_test.moc"
