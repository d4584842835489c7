// Playback and the device lists through the form's handlers.

#include "tests/audio/handlers_test.h"

#include "app/module_state.h"
#include "audio/audio_device.h"
#include "resources/resource_ids.h"
#include "shell/status_pane.h"

#include <QDir>
#include <QFile>

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
