#pragma once

// Recording and playback through the form's handlers, on in-memory sound devices.

#include "app/talkpost_view.h"
#include "shell/main_frame.h"
#include "tests/support/audio/fake_audio_devices.h"
#include "tests/support/scripted_prompter.h"

#include <QByteArray>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

constexpr int BufferBytes = 2400000;

// Samples whose low bytes are not zero, different for every seed.
QByteArray speech(qint64 bytes, int seed);
// What a 16-bit recording keeps after the 8-bit join: the high bytes only.
QByteArray highBytesOnly(QByteArray pcm);
QByteArray readFile(const QString &path);
void writeFile(const QString &path, const QByteArray &data);
// A WAV file holding 16-bit 8000 Hz mono samples.
QByteArray wav8000(const QByteArray &pcm);

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

