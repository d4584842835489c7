// The form's side of a compression, on a real main frame: Attach, the completion,
// the close that waits for a job, and the failures.

#include "app/module_state.h"
#include "app/talkpost_view.h"
#include "resources/resource_ids.h"
#include "shell/main_frame.h"
#include "shell/status_pane.h"
#include "tests/support/compression/gsm_wave.h"
#include "tests/support/compression/speech_signal.h"
#include "tests/support/scripted_prompter.h"
#include "tests/support/compression/test_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace CompressionTestSupport;

namespace {

// The 16-bit recording as it is after narrowing and widening: low bytes zero.
QByteArray highBytesOnly(QByteArray sixteenBit)
{
    for (qsizetype i = 0; i < sixteenBit.size(); i += 2)
        sixteenBit[i] = 0;
    return sixteenBit;
}

}  // namespace

class TestCompressionForm : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void attachCompressesAndAttaches();
    void secondAttachWhileRunningDoesNothing();
    void alreadyAttachedNarrowsNothing();
    void narrowingFailureStartsNoJob();
    void noRecordingDoesNothing();
    void pathWithoutDotGivesDotWav();
    void failedJobRestoresTheRecording();
    void closeDuringAJobClosesWhenItEnds();
    void closeDuringAFailingJobClosesToo();
    void settingCommandsAndDefaults();

private:
    QString log() const { return m_frame->logEdit()->toPlainText(); }
    int count(const QString &line) const { return log().count(line); }
    QString makeRecording(const QString &name = QStringLiteral("orv1039000000.pcm"));

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ScriptedPrompter> m_prompter;
    std::unique_ptr<CMainFrame> m_frame;
    CTalkpostView *m_view = nullptr;
    QByteArray m_original;
    QString m_savedCurrent;
};

void TestCompressionForm::init()
{
    m_savedCurrent = QDir::currentPath();
    m_dir = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/orvantoXXXXXX"));
    QVERIFY(m_dir->isValid());
    m_prompter = std::make_unique<ScriptedPrompter>();
    m_frame = std::make_unique<CMainFrame>();
    FormServices services;
    services.programFolder = m_dir->path();
    services.prompter = m_prompter.get();
    m_view = new CTalkpostView(services, m_frame.get());
    m_frame->setCentralWidget(m_view);
    m_frame->setClient(m_view);
    // As the form's first update wires the job.
    m_view->m_compressor.SetNotifyWindow(m_view);
    m_view->m_compressor.SetNotifyMessage("OnCompressionComplete");
    m_view->m_outboxPath = m_dir->path();
    m_frame->show();
    m_original = speechLike16(80000);
}

void TestCompressionForm::cleanup()
{
    // A job still running would report to a form that is gone.
    QTRY_VERIFY(!m_view->m_compressor.IsRunning());
    m_frame.reset();
    m_prompter.reset();
    QDir::setCurrent(m_savedCurrent);
    m_dir.reset();
}

QString TestCompressionForm::makeRecording(const QString &name)
{
    const QString path = QDir(m_dir->path()).filePath(name);
    if (!writeAll(path, m_original))
        return QString();
    m_view->m_recordingFile = path;
    return path;
}

void TestCompressionForm::attachCompressesAndAttaches()
{
    const QString rec = makeRecording();
    const QString wave = m_dir->filePath(QStringLiteral("orv1039000000.wav"));
    m_view->EnableButton(Ids::PlayButton, true);
    QVERIFY(m_view->OnCommand(Ids::AttachButton));

    QCOMPARE(QFileInfo(rec).size(), 80000);
    QCOMPARE(g_compressionIdle, 0);
    QCOMPARE(count(QStringLiteral("Compressing...")), 1);
    QVERIFY(m_view->IsTimerActive(Ids::TimerProgressDisplay));
    QCOMPARE(m_view->TimerInterval(Ids::TimerProgressDisplay), 100);
    QCOMPARE(m_frame->statusPane()->text(), QStringLiteral("Compressing"));
    QCOMPARE(g_compressingAnimation, 1);
    QCOMPARE(g_paneAnimationReset, 1);
    QVERIFY(!m_view->IsButtonEnabled(Ids::PlayButton));
    QCOMPARE(m_view->m_compressedFile, wave);
    QCOMPARE(m_view->m_infoFile, wave + QStringLiteral(".info"));
    QCOMPARE(g_lastCompressedFile, wave);
    QCOMPARE(g_lastRecordingFile, rec);

    QTRY_COMPARE(g_compressionIdle, 1);
    QCOMPARE(count(QStringLiteral("Compression complete.")), 1);
    QVERIFY(log().contains(QRegularExpression(QStringLiteral("Compression elapsed time: [0-2] sec"))));
    QVERIFY(log().contains(QStringLiteral("Compression Ratio: 9.81")));
    QVERIFY(log().contains(QStringLiteral("Compressed file size: 16310 bytes")));
    QCOMPARE(m_view->m_attachments, wave + QStringLiteral(","));
    QCOMPARE(m_view->m_attachmentsEdit->text(), wave + QStringLiteral(","));
    QCOMPARE(m_view->m_voiceFile, rec);
    QVERIFY(m_view->m_recordingFile.isEmpty());
    QVERIFY(m_view->m_compressedFile.isEmpty());
    QVERIFY(readWaveFile(wave).valid);
    // The progress display keeps running for the send that follows.
    QVERIFY(m_view->IsTimerActive(Ids::TimerProgressDisplay));
}

void TestCompressionForm::secondAttachWhileRunningDoesNothing()
{
    const QString rec = makeRecording();
    m_view->OnAttach();
    m_view->OnAttach();
    m_view->OnCommand(Ids::AttachButton);
    QCOMPARE(QFileInfo(rec).size(), 80000);
    QCOMPARE(count(QStringLiteral("Compressing...")), 1);
    QTRY_COMPARE(g_compressionIdle, 1);
    const WaveFile wave = readWaveFile(m_dir->filePath(QStringLiteral("orv1039000000.wav")));
    QCOMPARE(wave.factSamples, 80000u);
    QCOMPARE(count(QStringLiteral("Compression complete.")), 1);
}

void TestCompressionForm::alreadyAttachedNarrowsNothing()
{
    const QString rec = makeRecording();
    const QString wave = m_dir->filePath(QStringLiteral("orv1039000000.wav"));
    m_view->m_attachments = QStringLiteral("/elsewhere/a.txt,") + wave + QStringLiteral(",");
    m_view->UpdateData(false);
    m_view->OnAttach();
    QCOMPARE(readAll(rec), m_original);
    QCOMPARE(count(QStringLiteral("Voice file already attached: ") + wave), 1);
    QCOMPARE(count(QStringLiteral("Compressing...")), 0);
    QCOMPARE(g_compressionIdle, 1);
    QVERIFY(!m_view->IsTimerActive(Ids::TimerProgressDisplay));
    QVERIFY(!QFile::exists(wave));
}

void TestCompressionForm::narrowingFailureStartsNoJob()
{
    const QString rec = makeRecording();
    // The rewrite's temporary cannot be created where a folder of its name stands.
    QVERIFY(QDir().mkdir(rec + QStringLiteral("_")));
    m_view->OnAttach();
    QCOMPARE(count(QStringLiteral("Connot attach voice file")), 1);
    QCOMPARE(readAll(rec), m_original);
    QCOMPARE(g_compressionIdle, 1);
    QVERIFY(!m_view->m_compressor.IsRunning());
    QVERIFY(!m_view->IsTimerActive(Ids::TimerProgressDisplay));

    // A recording that is gone: nothing further, and no empty one made in its place.
    const QString missing = m_dir->filePath(QStringLiteral("missing.pcm"));
    m_view->m_recordingFile = missing;
    m_view->OnAttach();
    QCOMPARE(count(QStringLiteral("Connot attach voice file")), 1);
    QCOMPARE(count(QStringLiteral("Compressing...")), 0);
    QCOMPARE(g_compressionIdle, 1);
    QVERIFY(!QFile::exists(missing));
}

void TestCompressionForm::noRecordingDoesNothing()
{
    m_view->m_attachments = QStringLiteral("/music/song.wav,");
    m_view->UpdateData(false);
    const QString before = log();
    m_view->OnAttach();
    QCOMPARE(log(), before);
    QCOMPARE(g_compressionIdle, 1);
    QCOMPARE(m_view->m_attachments, QStringLiteral("/music/song.wav,"));
}

void TestCompressionForm::pathWithoutDotGivesDotWav()
{
    QVERIFY(!m_dir->path().contains(QLatin1Char('.')));
    QDir::setCurrent(m_dir->path());
    const QString rec = makeRecording(QStringLiteral("orv1039000000"));
    m_view->OnAttach();
    QCOMPARE(m_view->m_compressedFile, QStringLiteral(".wav"));
    QCOMPARE(m_view->m_infoFile, QStringLiteral(".wav.info"));
    QTRY_COMPARE(g_compressionIdle, 1);
    QCOMPARE(m_view->m_attachments, QStringLiteral(".wav,"));
    QCOMPARE(QFileInfo(m_dir->filePath(QStringLiteral(".wav"))).size(), 16310);
}

void TestCompressionForm::failedJobRestoresTheRecording()
{
    const QString rec = makeRecording();
    m_view->m_compressionType = 0;
    QVERIFY(m_view->OnCommand(Ids::CmdCompressionType));
    QCOMPARE(count(QStringLiteral("Setting compression type to DSP Group True Speech")), 1);
    m_view->OnAttach();
    QCOMPARE(QFileInfo(rec).size(), 80000);
    QTRY_COMPARE(g_compressionIdle, 1);

    QCOMPARE(count(QStringLiteral("Compression failed: no codec for DSP Group True Speech")), 1);
    QCOMPARE(count(QStringLiteral("Compression complete.")), 0);
    QCOMPARE(readAll(rec), highBytesOnly(m_original));
    QVERIFY(!m_view->IsTimerActive(Ids::TimerProgressDisplay));
    QCOMPARE(m_frame->statusPane()->text(), QStringLiteral("Idle"));
    QCOMPARE(g_compressingAnimation, 0);
    QVERIFY(m_view->m_attachments.isEmpty());
    QCOMPARE(m_view->m_recordingFile, rec);
    QVERIFY(m_view->IsButtonEnabled(Ids::PlayButton));
    QVERIFY(!QFile::exists(m_dir->filePath(QStringLiteral("orv1039000000.wav"))));

    // A later Send can compress again.
    m_view->m_compressionType = 1;
    m_view->OnCompressionType();
    m_view->OnAttach();
    QTRY_COMPARE(g_compressionIdle, 1);
    QCOMPARE(count(QStringLiteral("Compression complete.")), 1);
    QCOMPARE(m_view->m_attachments, m_dir->filePath(QStringLiteral("orv1039000000.wav")) + QStringLiteral(","));
}

void TestCompressionForm::closeDuringAJobClosesWhenItEnds()
{
    makeRecording();
    m_view->OnAttach();
    m_prompter->answerNext(true);  // "Discard the recording that was not sent?"
    QVERIFY(!m_frame->close());
    QVERIFY(m_frame->isVisible());
    QCOMPARE(g_closeRequested, 1);
    QTRY_VERIFY(!m_frame->isVisible());
    QCOMPARE(g_compressionIdle, 1);
    QVERIFY(m_view->m_attachments.isEmpty());
}

void TestCompressionForm::closeDuringAFailingJobClosesToo()
{
    makeRecording();
    m_view->m_compressionType = 0;
    m_view->OnCompressionType();
    m_view->OnAttach();
    m_prompter->answerNext(true);  // "Discard the recording that was not sent?"
    QVERIFY(!m_frame->close());
    QTRY_VERIFY(!m_frame->isVisible());
    QCOMPARE(count(QStringLiteral("Compression failed: ")), 1);
    QCOMPARE(g_compressionIdle, 1);
}

void TestCompressionForm::settingCommandsAndDefaults()
{
    m_view->m_compressionType = 0;
    m_view->m_sourceFormat = 1;
    m_view->ApplyCompressionDefaults();
    QCOMPARE(m_view->m_compressionType, 1);
    QCOMPARE(m_view->m_sourceFormat, 0);
    QCOMPARE(m_view->m_compressor.m_formatTag, 49);
    QCOMPARE(m_view->m_compressor.m_inputFormat, 1);
    QVERIFY(log().contains(QStringLiteral("Setting audio compression type to GSM 6.10")));
    QVERIFY(log().contains(QStringLiteral("Setting audio source format to 16 bit PCM 8khz")));

    m_view->m_sourceFormat = 1;
    QVERIFY(m_view->OnCommand(Ids::CmdSourceFormat));
    QCOMPARE(m_view->m_compressor.m_inputFormat, 2);
    QCOMPARE(count(QStringLiteral("Set source format to 4 bit ADPCM 8khz")), 1);
    m_view->m_sourceFormat = 0;
    QVERIFY(m_view->OnCommand(Ids::CmdSourceFormat));
    QCOMPARE(m_view->m_compressor.m_inputFormat, 1);
    QCOMPARE(count(QStringLiteral("Setting source format to 8 bit PCM 8khz")), 1);
    QVERIFY(m_view->OnCommand(Ids::CmdCompressionType));
    QCOMPARE(m_view->m_compressor.m_formatTag, 49);
    QCOMPARE(count(QStringLiteral("Setting compression type to GSM 6.10")), 1);

    // Changed while a job runs, the type applies from the next job on.
    makeRecording();
    m_view->OnAttach();
    m_view->m_compressionType = 0;
    m_view->OnCompressionType();
    QTRY_COMPARE(g_compressionIdle, 1);
    QCOMPARE(count(QStringLiteral("Compression complete.")), 1);
    QCOMPARE(m_view->m_compressor.m_formatTag, 34);
}

QTEST_MAIN(TestCompressionForm)
#include "test_compression_form.moc"
