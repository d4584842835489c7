// Compression from the ADPCM decoder and the WAV container through the job and its
// worker to the form's Attach, completion, failures and the close that waits for a job.

#include "app/module_state.h"
#include "audio/sample_width.h"
#include "compression/adpcm.h"
#include "resources/resource_ids.h"
#include "shell/status_pane.h"
#include "tests/support/compression/speech_signal.h"
#include "tests/support/form_harness.h"
#include "tests/support/test_files.h"

#include <QBuffer>
#include <QLineEdit>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QtEndian>

#include <csignal>
#include <sys/resource.h>

using namespace CompressionTestSupport;
using TestFiles::read;
using TestFiles::write;

// Each test runs in the fresh program folder of a real main frame and form.
class TestCompression : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void adpcmCodes_data();
    void adpcmCodes();
    void adpcmSourceIsDecodedFirst();
    void header_data();
    void header();
    void speechSurvivesTheRoundTrip();
    void failures_data();
    void failures();
    void attachCompressesAndAttaches();
    void failuresLeaveTheRecordingAsItWas();
    void closeDuringAJob_data();
    void closeDuringAJob();

private:
    CTalkpostView &view() { return m_form->view(); }
    QString path(const QString &name) const { return QDir(m_form->programFolder()).filePath(name); }
    int count(const QString &line) const { return m_form->log().count(line); }
    // A job on a source of these bytes; a 16-bit recording is narrowed first, as the form does.
    void prepare(CVoiceCompressor &job, const QByteArray &bytes, bool narrow = false, const QString &folder = {})
    {
        QVERIFY(write(path(folder + "v.pcm"), bytes) && (!narrow || NarrowTo8Bit(path(folder + "v.pcm"))));
        QCOMPARE(job.SetSourceFile(path(folder + "v.pcm")), 1);
        job.SetCompressedFile(path(folder + "v.wav"));
    }
    // The form's ten-second recording.
    QString makeRecording(const QString &name = QStringLiteral("orv1039000000.pcm"))
    {
        view().recorder().setRecordingFile(path(name));
        return write(path(name), m_original) ? path(name) : QString();
    }
    static QByteArray le(quint32 value, int size)
    {
        QByteArray bytes(4, '\0');
        qToLittleEndian(value, bytes.data());
        return bytes.left(size);
    }

    std::unique_ptr<FormHarness> m_form;
    const QByteArray m_original = speechLike16(80000);
};

void TestCompression::init()
{
    m_form = std::make_unique<FormHarness>();
    view().SetOutboxPath(m_form->programFolder());
    m_form->frame().show();
}

void TestCompression::cleanup()
{
    QTRY_VERIFY(!view().delivery().isCompressing()); // its end would reach a form that is gone
    m_form.reset();
}

void TestCompression::adpcmCodes_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("times");
    QTest::addColumn<int>("sample");
    QTest::addColumn<int>("index");
    QTest::newRow("0x7 adds every part") << 0x7 << 1 << 30 << 8;
    QTest::newRow("0xF subtracts them") << 0xF << 1 << -30 << 8;
    QTest::newRow("0x0 adds an eighth") << 0x0 << 1 << 2 << 0;
    QTest::newRow("saturates at 2047") << 0x7 << 200 << 2047 << 48;
    QTest::newRow("saturates at -2048") << 0xF << 200 << -2048 << 48;
}

void TestCompression::adpcmCodes()
{
    QFETCH(int, code);
    QFETCH(int, times);
    QFETCH(int, sample);
    QFETCH(int, index);
    AdpcmState state{99, 7};
    AdpcmReset(state);
    for (int i = 0; i < times; ++i)
        AdpcmDecodeNibble(code, state);
    QCOMPARE(int(state.sample), sample);
    QCOMPARE(int(state.index), index);
    // 8-bit bytes truncate toward zero (-17 gives 127); 16-bit samples shift left by four.
    const qint16 samples[] = {2047, -2048, -17};
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QVERIFY(WriteDecodedSamples(buffer, 1, samples, 3) && WriteDecodedSamples(buffer, 2, samples, 1));
    QCOMPARE(buffer.data(), QByteArray("\xFF\x00\x7F\xF0\x7F", 5));
}

void TestCompression::adpcmSourceIsDecodedFirst()
{
    // 300 bytes: the leading block stays; each further byte gives two samples, high nibble first.
    const QByteArray source = QByteArray(256, '\x5C') + '\x70' + QByteArray(43, '\x77');
    CVoiceCompressor job;
    job.SetSourceFormat(2);
    prepare(job, source);
    QCOMPARE(job.Compress(), 1);
    const QByteArray decoded = read(job.GetSourcePath());
    QCOMPARE(decoded.size(), 344);
    QCOMPARE(decoded.left(256), source.left(256));
    // 0x7 gives 30 (byte 129), then 0x0 at index 8 adds 4; the run of 0x7 saturates.
    QCOMPARE(decoded.mid(256, 2), QByteArray("\x81\x82"));
    QCOMPARE(quint8(decoded.back()), quint8(255));
    QCOMPARE(readWaveFile(job.GetWavePath()).factSamples, 344u);
}

void TestCompression::header_data()
{
    QTest::addColumn<int>("tag");
    QTest::addColumn<QByteArray>("header");
    // GSM from a 33-byte source (no whole block, 32 samples): tag, mono, rate, bytes/s, block
    // size, 0 bits, 2 extra bytes, samples a block, fact, data.
    QTest::newRow("GSM 6.10") << 49
                              << "RIFF" + le(52, 4) + "WAVEfmt " + le(20, 4) + le(49, 2) + le(1, 2) + le(8000, 4) +
                                     le(1625, 4) + le(65, 2) + le(0, 2) + le(2, 2) + le(320, 2) + "fact" +
                                     le(4, 4) + le(32, 4) + "data" + le(0, 4);
    // TrueSpeech around 32 bytes written by hand: 1 bit, 32 extra bytes (revision, samples a block, zeros).
    QTest::newRow("TrueSpeech") << 34
                                << "RIFF" + le(82 + 32, 4) + "WAVEfmt " + le(50, 4) + le(34, 2) + le(1, 2) +
                                       le(8000, 4) + le(1067, 4) + le(32, 2) + le(1, 2) + le(32, 2) + le(1, 2) +
                                       le(240, 2) + QByteArray(28, '\0') + "fact" + le(4, 4) + le(240, 4) +
                                       "data" + le(32, 4) + QByteArray(32, '\x5A');
}

// Both on a path far past 256 characters, over a read-only WAV file of the same name.
void TestCompression::header()
{
    QFETCH(int, tag);
    QFETCH(QByteArray, header);
    const QString folder = QStringLiteral("%1/%1/%1/").arg(QString(120, QLatin1Char('d')));
    QVERIFY(QDir().mkpath(path(folder)));
    CVoiceCompressor job;
    prepare(job, QByteArray(33, '\x80'), false, folder);
    QVERIFY(write(job.GetWavePath(), QByteArray(5000, 'x')));
    QVERIFY(QFile::setPermissions(job.GetWavePath(), QFile::ReadOwner));
    job.SetCompressionType(tag);
    if (tag == 49) {
        QCOMPARE(job.Compress(), 1);
    } else {
        QVERIFY(write(job.m_tempPath, QByteArray(32, '\x5A')));
        job.m_sampleCount = 240;
        QCOMPARE(job.WriteWaveFile(), 1);
    }
    QCOMPARE(read(job.GetWavePath()), header);
}

void TestCompression::speechSurvivesTheRoundTrip()
{
    QTimer delivered; // the notify target: its start(int) slot takes the job's result
    auto job = std::make_unique<CVoiceCompressor>();
    job->SetNotifyWindow(&delivered);
    job->SetNotifyMessage([&delivered](int result) { delivered.start(result); });
    prepare(*job, speechLike16(4 * 8000), true);
    const QString source = job->GetSourcePath(), wave = job->GetWavePath();
    QVERIFY(job->StartThread());
    job.reset(); // waits for the worker; its end, sent by a job that is gone, is dropped
    QCoreApplication::processEvents();
    QVERIFY(!delivered.isActive());
    const std::vector<qint16> input = samplesOf(read(source), 1);
    const std::vector<qint16> output = decodeGsmBlocks(readWaveFile(wave).data);
    QCOMPARE(output.size(), size_t(100 * 320));
    const double r = correlation(input, output);
    QVERIFY2(r >= 0.9, qPrintable(QString::number(r)));
    // The same audio 7 ms late does not pass, so the check can fail.
    QVERIFY(correlation(input, std::vector<qint16>(output.begin() + 56, output.end())) < 0.9);
}

void TestCompression::failures_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("error");
    QTest::newRow("no codec for the tag") << "TrueSpeech" << 11;
    QTest::newRow("source missing") << "remove source" << 10;
    QTest::newRow("temporary stream cannot be created") << "folder at v.pcm_" << 13;
    QTest::newRow("WAV file cannot be created") << "folder at v.wav" << 2;
    QTest::newRow("ADPCM output cannot be created") << "folder at v.pcm.pcm" << 15;
    QTest::newRow("short write while appending") << "file size limit" << 3;
}

// Each reports 0 and leaves no temporary stream, no WAV file and the source as it was.
void TestCompression::failures()
{
    QFETCH(QString, how);
    QFETCH(int, error);
    const QByteArray before = QByteArray(256, '\x80') + QByteArray(3200 - 256, '\x11'); // ten blocks
    CVoiceCompressor job;
    prepare(job, before);
    job.SetCompressionType(how == "TrueSpeech" ? 34 : 49);
    job.SetSourceFormat(how.endsWith(".pcm.pcm") ? 2 : 1);
    if (how.startsWith("folder at "))
        QVERIFY(QDir().mkdir(path(how.mid(10))));
    if (how == "remove source")
        QVERIFY(QFile::remove(job.GetSourcePath()));
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    const rlimit lowered{60 + 650 - 10, saved.rlim_max}; // room for the stream, not the whole WAV file
    std::signal(SIGXFSZ, SIG_IGN);    // a write past it fails instead of ending the process
    QCOMPARE(setrlimit(RLIMIT_FSIZE, how == "file size limit" ? &lowered : &saved), 0);
    const int result = job.Compress();
    setrlimit(RLIMIT_FSIZE, &saved);
    QCOMPARE(result, 0);
    QCOMPARE(job.m_lastError, error);
    QVERIFY(!QFileInfo(job.GetWavePath()).isFile() && !QFileInfo(job.m_tempPath).isFile());
    QCOMPARE(read(job.GetSourcePath()), how == "remove source" ? QByteArray("<missing>") : before);
}

// Attach without a connection: the job reads an 8-bit copy and ends through the event
// loop; the voice file is listed once and the recording stays as it was.
void TestCompression::attachCompressesAndAttaches()
{
    // A recording named without "." (in a folder without one) gives ".wav" in the current folder.
    const QString rec = makeRecording(QStringLiteral("orv1039000000"));
    QVERIFY(view().OnCommand(Ids::AttachButton));
    view().OnAttach(); // while a job runs: no second job
    QVERIFY(view().delivery().isCompressing() && view().IsTimerActive(Ids::TimerProgressDisplay));
    QCOMPARE(m_form->frame().statusPane()->text(), QStringLiteral("Compressing"));
    QThread::msleep(100);
    QCOMPARE(count(QStringLiteral("Compression complete.")), 0);
    QTRY_VERIFY(!view().delivery().isCompressing());
    for (const char *line : {"Compressing...", "Compression complete.", "Compression Ratio: 9.81",
                             "Compressed file size: 16310 bytes"})
        QCOMPARE(count(QString::fromLatin1(line)), 1);
    QCOMPARE(m_form->field(Ids::AttachmentsEdit), QStringLiteral(".wav,"));
    const WaveFile file = readWaveFile(path(QStringLiteral(".wav")));
    QVERIFY(file.valid && file.factSamples == 80000u);
    QCOMPARE(file.data.size(), 16250);
    QVERIFY(read(rec) == m_original && !QFile::exists(rec + QStringLiteral(".8bit")));

    // With the voice file listed, Attach does not compress again.
    view().recorder().setRecordingFile(rec);
    view().OnAttach();
    QCOMPARE(count(QStringLiteral("Voice file already attached: .wav")), 1);
    QCOMPARE(count(QStringLiteral("Compressing...")), 1);
}

void TestCompression::failuresLeaveTheRecordingAsItWas()
{
    const QString rec = makeRecording(), copy = rec + QStringLiteral(".8bit"), wav = path("orv1039000000.wav");
    QVERIFY(QDir().mkdir(copy)); // no 8-bit copy can be made: no job starts
    view().OnAttach();
    QCOMPARE(count(QStringLiteral("Connot attach voice file")), 1);
    QVERIFY(!view().delivery().isCompressing() && !view().IsTimerActive(Ids::TimerProgressDisplay));

    // A job that fails stops the progress display and leaves the recording ready to play.
    QVERIFY(QDir().rmdir(copy) && QDir().mkdir(wav));
    view().OnAttach();
    QTRY_VERIFY(!view().delivery().isCompressing());
    QCOMPARE(count(QStringLiteral("Compression failed: cannot create the voice file")), 1);
    QVERIFY(!view().IsTimerActive(Ids::TimerProgressDisplay));
    QCOMPARE(m_form->frame().statusPane()->text(), QStringLiteral("Idle"));
    QVERIFY(read(rec) == m_original && !QFile::exists(copy) && view().recorder().recordingFile() == rec);
    QVERIFY(m_form->field(Ids::AttachmentsEdit).isEmpty() && view().IsButtonEnabled(Ids::PlayButton));
}

void TestCompression::closeDuringAJob_data()
{
    QTest::addColumn<bool>("fails");
    QTest::newRow("job succeeds") << false;
    QTest::newRow("job fails") << true;
}

// The window stays open until the job has ended, then closes by itself.
void TestCompression::closeDuringAJob()
{
    QFETCH(bool, fails);
    makeRecording();
    QVERIFY(!fails || QDir().mkdir(path("orv1039000000.wav")));
    view().OnAttach();
    m_form->prompter().answerNext(true); // "Discard the recording that was not sent?"
    QVERIFY(!m_form->frame().close());
    QVERIFY(m_form->frame().isVisible());
    QTRY_VERIFY(!m_form->frame().isVisible());
    QCOMPARE(count(fails ? QStringLiteral("Compression failed: ") : QStringLiteral("Compression complete.")), 1);
}

QTEST_MAIN(TestCompression)
#include "test_compression.moc"
