// Spoken words through the whole job, decoded by the players' own decoders.

#include "audio/sample_width.h"
#include "compression/voice_compressor.h"
#include "tests/support/compression/gsm_wave.h"
#include "tests/support/compression/speech_signal.h"
#include "tests/support/compression/test_files.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace CompressionTestSupport;

namespace {

// Runs a tool; its error output when it failed, empty when it succeeded.
QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000))
        return program + QStringLiteral(" did not finish");
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return program + QStringLiteral(": ") + QString::fromLocal8Bit(process.readAllStandardError());
    return QString();
}

}  // namespace

class TestCompressionPlayers : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void ffmpegDecodesTheVoiceFile();
    void soxDecodesTheVoiceFile();

private:
    void checkDecoded(const QString &raw);

    QTemporaryDir m_dir;
    QString m_wave;
    std::vector<qint16> m_input;
    std::vector<qint16> m_libgsm;
};

void TestCompressionPlayers::initTestCase()
{
    for (const char *tool : {"ffmpeg", "sox", "espeak-ng"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) {
            const QString why = QStringLiteral("%1 is not installed (scripts/deps installs it)").arg(tool);
            if (qEnvironmentVariableIsSet("CI"))
                QFAIL(qPrintable(why));
            QSKIP(qPrintable(why));
        }
    }
    QVERIFY(m_dir.isValid());
    const QString spoken = m_dir.filePath(QStringLiteral("spoken.wav"));
    const QString recording = m_dir.filePath(QStringLiteral("orv1039000000.pcm"));
    QString error = run(QStringLiteral("espeak-ng"),
                        {QStringLiteral("-w"), spoken,
                         QStringLiteral("This is a voice message from Orvanto. Please call me back tomorrow "
                                        "morning, the meeting moved to half past nine.")});
    QVERIFY2(error.isEmpty(), qPrintable(error));
    error = run(QStringLiteral("sox"), {spoken, QStringLiteral("-r"), QStringLiteral("8000"), QStringLiteral("-c"),
                                        QStringLiteral("1"), QStringLiteral("-b"), QStringLiteral("16"),
                                        QStringLiteral("-e"), QStringLiteral("signed-integer"),
                                        QStringLiteral("-t"), QStringLiteral("raw"), recording});
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QVERIFY(QFileInfo(recording).size() > 3 * 16000);

    QCOMPARE(NarrowTo8Bit(recording), 1);
    m_input = samplesOf8Bit(readAll(recording));
    CVoiceCompressor job;
    QCOMPARE(job.SetSourceFile(recording), 1);
    m_wave = m_dir.filePath(QStringLiteral("orv1039000000.wav"));
    job.SetCompressedFile(m_wave);
    QCOMPARE(job.Compress(), 1);
    m_libgsm = decodeGsmBlocks(readWaveFile(m_wave).data);
    QCOMPARE(m_libgsm.size(), m_input.size() / 320 * 320);
}

void TestCompressionPlayers::checkDecoded(const QString &raw)
{
    const std::vector<qint16> decoded = samplesOf16Bit(readAll(raw));
    QCOMPARE(decoded.size(), m_libgsm.size());
    const double r = correlation(m_input, decoded);
    qInfo("correlation of %s with the 8-bit input: %.3f", qPrintable(QFileInfo(raw).fileName()), r);
    QVERIFY2(r >= 0.9, qPrintable(QString::number(r)));
    QVERIFY(decoded == m_libgsm);
}

void TestCompressionPlayers::ffmpegDecodesTheVoiceFile()
{
    const QString raw = m_dir.filePath(QStringLiteral("ffmpeg.raw"));
    const QString error = run(QStringLiteral("ffmpeg"), {QStringLiteral("-v"), QStringLiteral("error"),
                                                          QStringLiteral("-y"), QStringLiteral("-i"), m_wave,
                                                          QStringLiteral("-f"), QStringLiteral("s16le"), raw});
    QVERIFY2(error.isEmpty(), qPrintable(error));
    checkDecoded(raw);
}

void TestCompressionPlayers::soxDecodesTheVoiceFile()
{
    const QString raw = m_dir.filePath(QStringLiteral("sox.raw"));
    const QString error = run(QStringLiteral("sox"), {m_wave, QStringLiteral("-t"), QStringLiteral("raw"),
                                                       QStringLiteral("-e"), QStringLiteral("signed-integer"),
                                                       QStringLiteral("-b"), QStringLiteral("16"), raw});
    QVERIFY2(error.isEmpty(), qPrintable(error));
    checkDecoded(raw);
}

QTEST_GUILESS_MAIN(TestCompressionPlayers)
#include "test_compression_players.moc"
