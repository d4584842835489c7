// Recording through the form's handlers.

#include "tests/audio/handlers_test.h"

#include "app/module_state.h"
#include "audio/audio_device.h"
#include "audio/cue_sound.h"
#include "resources/resource_ids.h"
#include "shell/status_pane.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QRegularExpression>

namespace {
const QString AppendQuestion = QStringLiteral("Do you want to append to the existing recording?");
}

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

