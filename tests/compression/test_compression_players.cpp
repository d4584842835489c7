// Spoken words through the whole job, decoded by the players' own decoders.

#include "audio/sample_width.h"
#include "compression/voice_compressor.h"
#include "tests/support/compression/speech_signal.h"
#include "tests/support/test_files.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace CompressionTestSupport;

namespace {

// Runs a tool (scripts/deps installs them all); what went wrong, or nothing.
QByteArray run(QStringList command)
{
    QProcess process;
    process.start(command.takeFirst(), command);
    if (process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
        return {};
    return process.program().toUtf8() + " failed: " + process.readAllStandardError();
}

}  // namespace

class TestCompressionPlayers : public QObject
{
    Q_OBJECT
private slots:
    void decodesTheVoiceFile_data();
    void decodesTheVoiceFile();
};

void TestCompressionPlayers::decodesTheVoiceFile_data()
{
    // The decoder's command: these, the voice file, those, the raw 16-bit output.
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QStringList>("after");
    QTest::newRow("ffmpeg") << QStringList{"ffmpeg", "-v", "error", "-i"} << QStringList{"-f", "s16le"};
    QTest::newRow("sox") << QStringList{"sox"} << QStringList{"-t", "raw", "-e", "signed-integer", "-b", "16"};
}

void TestCompressionPlayers::decodesTheVoiceFile()
{
    QFETCH(QStringList, before);
    QFETCH(QStringList, after);
    QTemporaryDir dir;
    const QString spoken = dir.filePath("spoken.wav"), pcm = dir.filePath("v.pcm"), wave = dir.filePath("v.wav");
    QByteArray error = run({"espeak-ng", "-w", spoken, "This is a voice message. Please call me back at nine."});
    error += run({"sox", spoken, "-r", "8000", "-c", "1", "-b", "16", "-e", "signed-integer", "-t", "raw", pcm});
    QVERIFY2(error.isEmpty(), error.constData());
    QCOMPARE(NarrowTo8Bit(pcm), 1);
    CVoiceCompressor job;
    QCOMPARE(job.SetSourceFile(pcm), 1);
    job.SetCompressedFile(wave);
    QCOMPARE(job.Compress(), 1);

    error = run(QStringList(before) << wave << after << dir.filePath("v.raw"));
    QVERIFY2(error.isEmpty(), error.constData());
    const std::vector<qint16> input = samplesOf(TestFiles::read(pcm), 1);
    const std::vector<qint16> decoded = samplesOf(TestFiles::read(dir.filePath("v.raw")), 2);
    QVERIFY(input.size() > 3 * 8000);
    QCOMPARE(decoded.size(), input.size() / 320 * 320);
    QVERIFY(decoded == decodeGsmBlocks(readWaveFile(wave).data)); // the same samples as libgsm's
    const double r = correlation(input, decoded);
    QVERIFY2(r >= 0.9, qPrintable(QString::number(r)));
}

QTEST_GUILESS_MAIN(TestCompressionPlayers)
#include "test_compression_players.moc"
