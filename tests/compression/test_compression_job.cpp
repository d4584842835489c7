// The compression job: its figures, the audio it produces, its failures and its worker.

#include "audio/sample_width.h"
#include "compression/voice_compressor.h"
#include "tests/support/compression/gsm_wave.h"
#include "tests/support/compression/speech_signal.h"
#include "tests/support/compression/test_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <gsm.h>

using namespace CompressionTestSupport;

namespace {

// Receives the end of a job the way the form does.
class Receiver : public QObject
{
    Q_OBJECT
public:
    Q_INVOKABLE void done(int result)
    {
        results << result;
        threads << QThread::currentThread();
    }
    QList<int> results;
    QList<QThread *> threads;
};

}  // namespace

class TestCompressionJob : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void tenSecondRecording();
    void sourceWithoutWholeBlock();
    void speechSurvivesTheRoundTrip();
    void blocksMatchABareLibgsmEncoder();
    void adpcmSourceIsDecodedFirst();
    void trueSpeechHasNoEncoder();
    void sourceMissingAtCompressFails();
    void temporaryStreamThatCannotBeCreatedFails();
    void setSourceFileChecksAndCleansUp();
    void pathsHaveNoLengthLimit();
    void workerReportsThroughAQueuedCall();
    void settingsChangedDuringAJobApplyToTheNext();
    void destructorWaitsForTheWorker();

private:
    QString recording(const QByteArray &sixteenBit, const QString &name = QStringLiteral("orv1039000000.pcm"));

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestCompressionJob::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

// Writes a 16-bit recording and narrows it as the form does before a job.
QString TestCompressionJob::recording(const QByteArray &sixteenBit, const QString &name)
{
    const QString path = QDir(m_dir->path()).filePath(name);
    if (!writeAll(path, sixteenBit) || !NarrowTo8Bit(path))
        return QString();
    return path;
}

void TestCompressionJob::tenSecondRecording()
{
    const QString source = recording(speechLike16(80000));
    QCOMPARE(QFileInfo(source).size(), 80000);
    CVoiceCompressor job;
    QCOMPARE(job.SetSourceFile(source), 1);
    const QString wave = m_dir->filePath(QStringLiteral("orv1039000000.wav"));
    job.SetCompressedFile(wave);
    QCOMPARE(job.Compress(), 1);
    QCOMPARE(job.m_lastError, 0);
    QCOMPARE(job.m_sampleCount, 80000);
    QCOMPARE(job.m_waveLength, 16310);
    QCOMPARE(job.GetFileLength(wave), 16310u);
    QCOMPARE(QString::asprintf("%.2f", 2 * job.GetCompressionRatio()), QStringLiteral("9.81"));
    QVERIFY(job.GetElapsedSeconds() >= 0 && job.GetElapsedSeconds() <= 2);
    const WaveFile file = readWaveFile(wave);
    QVERIFY(file.valid);
    QCOMPARE(file.formatTag, quint16(49));
    QCOMPARE(file.data.size(), 16250);
    QCOMPARE(file.factSamples, 80000u);
    QVERIFY(!QFile::exists(source + QStringLiteral("_")));
    QCOMPARE(QFileInfo(source).size(), 80000); // the 8-bit source stays for the send
}

void TestCompressionJob::sourceWithoutWholeBlock()
{
    const QString source = m_dir->filePath(QStringLiteral("tiny.pcm"));
    QVERIFY(writeAll(source, QByteArray(33, '\x80')));
    CVoiceCompressor job;
    QCOMPARE(job.SetSourceFile(source), 1);
    job.SetCompressedFile(m_dir->filePath(QStringLiteral("tiny.wav")));
    QCOMPARE(job.Compress(), 1);
    const QByteArray f = readAll(job.GetWavePath());
    QCOMPARE(f.size(), 60);
    const WaveFile file = readWaveFile(job.GetWavePath());
    QVERIFY(file.valid);
    QCOMPARE(file.data.size(), 0);
    QCOMPARE(file.factSamples, 32u);
}

void TestCompressionJob::speechSurvivesTheRoundTrip()
{
    const QString source = recording(speechLike16(4 * 8000, 7));
    const std::vector<qint16> input = samplesOf8Bit(readAll(source));
    CVoiceCompressor job;
    QCOMPARE(job.SetSourceFile(source), 1);
    job.SetCompressedFile(m_dir->filePath(QStringLiteral("speech.wav")));
    QCOMPARE(job.Compress(), 1);
    const std::vector<qint16> decoded = decodeGsmBlocks(readWaveFile(job.GetWavePath()).data);
    QCOMPARE(decoded.size(), size_t(100 * 320));
    const double r = correlation(input, decoded);
    qInfo("correlation with the 8-bit input: %.3f", r);
    QVERIFY2(r >= 0.9, qPrintable(QString::number(r)));
    // A signal that does not survive must not pass: the same audio shifted by 7 ms.
    std::vector<qint16> shifted(decoded.begin() + 56, decoded.end());
    QVERIFY(correlation(input, shifted) < 0.9);
}

void TestCompressionJob::blocksMatchABareLibgsmEncoder()
{
    const QString source = recording(speechLike16(3200, 3));
    const QByteArray eight = readAll(source);
    CVoiceCompressor job;
    QCOMPARE(job.SetSourceFile(source), 1);
    job.SetCompressedFile(m_dir->filePath(QStringLiteral("bare.wav")));
    QCOMPARE(job.Compress(), 1);

    gsm handle = gsm_create();
    int one = 1;
    gsm_option(handle, GSM_OPT_WAV49, &one);
    QByteArray expected;
    const std::vector<qint16> samples = samplesOf8Bit(eight);
    for (size_t at = 0; at + 320 <= samples.size(); at += 320) {
        gsm_signal in[320];
        std::copy(samples.begin() + long(at), samples.begin() + long(at) + 320, in);
        gsm_byte out[65];
        gsm_encode(handle, in, out);
        gsm_encode(handle, in + 160, out + 32);
        expected.append(reinterpret_cast<const char *>(out), 65);
    }
    gsm_destroy(handle);
    QCOMPARE(readWaveFile(job.GetWavePath()).data, expected);
}

void TestCompressionJob::adpcmSourceIsDecodedFirst()
{
    const QString source = m_dir->filePath(QStringLiteral("voice.pcm"));
    QVERIFY(writeAll(source, QByteArray(256, '\0') + QByteArray(480, '\x17')));
    CVoiceCompressor job;
    job.SetSourceFormat(2);
    QCOMPARE(job.SetSourceFile(source), 1);
    job.SetCompressedFile(m_dir->filePath(QStringLiteral("voice.wav")));
    QCOMPARE(job.Compress(), 1);
    QCOMPARE(QFileInfo(source).size(), 256 + 960);
    const WaveFile file = readWaveFile(job.GetWavePath());
    QCOMPARE(file.data.size(), 3 * 65);
    QCOMPARE(file.factSamples, 1216u);
}

void TestCompressionJob::trueSpeechHasNoEncoder()
{
    const QString source = recording(speechLike16(8000));
    const QByteArray before = readAll(source);
    CVoiceCompressor job;
    job.SetCompressionType(34);
    QCOMPARE(job.SetSourceFile(source), 1);
    job.SetCompressedFile(m_dir->filePath(QStringLiteral("ts.wav")));
    QCOMPARE(job.Compress(), 0);
    QCOMPARE(job.m_lastError, 11);
    QCOMPARE(job.GetLastErrorText(), QStringLiteral("no codec for DSP Group True Speech"));
    QVERIFY(!QFile::exists(job.GetWavePath()));
    QVERIFY(!QFile::exists(job.m_tempPath));
    QCOMPARE(readAll(source), before);
}

void TestCompressionJob::sourceMissingAtCompressFails()
{
    const QString source = recording(speechLike16(8000));
    CVoiceCompressor job;
    QCOMPARE(job.SetSourceFile(source), 1);
    job.SetCompressedFile(m_dir->filePath(QStringLiteral("gone.wav")));
    QVERIFY(QFile::remove(source));
    QCOMPARE(job.Compress(), 0);
    QCOMPARE(job.m_lastError, 10);
    QVERIFY(job.GetLastErrorText().contains(source));
    QVERIFY(!QFile::exists(job.GetWavePath()));
}

void TestCompressionJob::temporaryStreamThatCannotBeCreatedFails()
{
    const QString source = recording(speechLike16(8000));
    CVoiceCompressor job;
    QCOMPARE(job.SetSourceFile(source), 1);
    job.SetCompressedFile(m_dir->filePath(QStringLiteral("blocked.wav")));
    QVERIFY(QDir().mkdir(job.m_tempPath));
    QCOMPARE(job.Compress(), 0);
    QCOMPARE(job.m_lastError, 13);
    QVERIFY(!QFile::exists(job.GetWavePath()));
}

void TestCompressionJob::setSourceFileChecksAndCleansUp()
{
    CVoiceCompressor job;
    QCOMPARE(job.SetSourceFile(m_dir->filePath(QStringLiteral("none.pcm"))), 0);
    QCOMPARE(job.m_lastError, 10);
    QCOMPARE(job.SetSourceFile(m_dir->path()), 0);
    QVERIFY(job.GetSourcePath().isEmpty());

    const QString source = m_dir->filePath(QStringLiteral("a.pcm"));
    QVERIFY(writeAll(source, QByteArray(1000, '\x80')));
    QVERIFY(writeAll(source + QStringLiteral("_"), "left over"));
    QVERIFY(QFile::setPermissions(source + QStringLiteral("_"), QFile::ReadOwner));
    QCOMPARE(job.SetSourceFile(source), 1);
    QCOMPARE(job.m_lastError, 0);
    QCOMPARE(job.m_sourceLength, 1000u);
    QCOMPARE(job.GetSourcePath(), source);
    QVERIFY(!QFile::exists(source + QStringLiteral("_")));
}

void TestCompressionJob::pathsHaveNoLengthLimit()
{
    QString folder = m_dir->path();
    for (int i = 0; i < 3; ++i)
        folder += QLatin1Char('/') + QString(120, QLatin1Char(char('d' + i)));
    QVERIFY(QDir().mkpath(folder));
    const QString source = recording(speechLike16(6400), folder.mid(m_dir->path().size() + 1) + "/orv1.pcm");
    QVERIFY(source.size() > 300);
    CVoiceCompressor job;
    QCOMPARE(job.SetSourceFile(source), 1);
    job.SetCompressedFile(folder + QStringLiteral("/orv1.wav"));
    QCOMPARE(job.Compress(), 1);
    QCOMPARE(QFileInfo(job.GetWavePath()).size(), 60 + 20 * 65);
}

void TestCompressionJob::workerReportsThroughAQueuedCall()
{
    const QString source = recording(speechLike16(16000));
    CVoiceCompressor job;
    Receiver receiver;
    job.SetNotifyWindow(&receiver);
    job.SetNotifyMessage("done");
    QCOMPARE(job.SetSourceFile(source), 1);
    job.SetCompressedFile(m_dir->filePath(QStringLiteral("worker.wav")));
    QVERIFY(job.StartThread());
    QVERIFY(job.IsRunning());
    QVERIFY(!job.StartThread()); // one job at a time
    // Nothing arrives before the event loop runs, however quick the worker is.
    QThread::msleep(50);
    QVERIFY(receiver.results.isEmpty());
    QTRY_COMPARE(receiver.results, QList<int>{1});
    QCOMPARE(receiver.threads.first(), QThread::currentThread());
    QVERIFY(!job.IsRunning());
    QCOMPARE(QFileInfo(job.GetWavePath()).size(), 60 + 50 * 65);

    // A failing job reports 0, and the next one can start.
    job.SetCompressionType(34);
    QVERIFY(job.StartThread());
    QTRY_COMPARE(receiver.results, (QList<int>{1, 0}));
    QCOMPARE(job.m_lastError, 11);
}

void TestCompressionJob::settingsChangedDuringAJobApplyToTheNext()
{
    const QString source = recording(speechLike16(16000));
    CVoiceCompressor job;
    Receiver receiver;
    job.SetNotifyWindow(&receiver);
    job.SetNotifyMessage("done");
    QCOMPARE(job.SetSourceFile(source), 1);
    job.SetCompressedFile(m_dir->filePath(QStringLiteral("settings.wav")));
    QVERIFY(job.StartThread());
    job.SetCompressionType(34);
    job.SetSourceFormat(2);
    QTRY_COMPARE(receiver.results, QList<int>{1});
    QCOMPARE(job.m_formatTag, 34);
    QCOMPARE(job.m_inputFormat, 2);
}

void TestCompressionJob::destructorWaitsForTheWorker()
{
    const QString source = recording(speechLike16(8000 * 30));
    const QString wave = m_dir->filePath(QStringLiteral("late.wav"));
    Receiver receiver;
    {
        auto job = std::make_unique<CVoiceCompressor>();
        job->SetNotifyWindow(&receiver);
        job->SetNotifyMessage("done");
        QCOMPARE(job->SetSourceFile(source), 1);
        job->SetCompressedFile(wave);
        QVERIFY(job->StartThread());
    }
    // The job finished its file; its end, addressed to a job that is gone, is dropped.
    QCOMPARE(QFileInfo(wave).size(), 60 + 750 * 65);
    QCoreApplication::processEvents();
    QVERIFY(receiver.results.isEmpty());
}

QTEST_GUILESS_MAIN(TestCompressionJob)
#include "test_compression_job.moc"
