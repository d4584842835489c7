// Spoken words through the job in both voice formats, decoded by the players' own
// decoders (ffmpeg, sox) and by a real browser's Web Audio API (Chromium).

#include "audio/recording_file.h"
#include "compression/voice_compressor.h"
#include "tests/support/compression/speech_signal.h"
#include "tests/support/test_files.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace CompressionTestSupport;

namespace {

constexpr int Rate = 8000;
const QString BrowserDecode = QStringLiteral(ORVANTO_SOURCE_DIR "/tests/support/browser/browser_decode.py");

// Runs a tool (scripts/deps installs them all); its output, with what went wrong in `error`.
QByteArray run(QStringList command, QByteArray &error)
{
    QProcess process;
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(command.takeFirst(), command);
    if (process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
        return process.readAllStandardOutput();
    error += process.program().toUtf8() + " failed: " + process.readAllStandardError();
    return {};
}

// The skip (up to maxSkip) at which the decoded samples correlate best with the input.
size_t bestSkip(const std::vector<qint16> &input, const std::vector<qint16> &decoded, size_t maxSkip)
{
    size_t best = 0;
    for (double bestR = correlation(input, decoded), skip = 1; skip <= maxSkip; ++skip) {
        const double r = correlation(input, decoded, size_t(skip));
        if (r > bestR) {
            bestR = r;
            best = size_t(skip);
        }
    }
    return best;
}

}  // namespace

class TestCompressionPlayers : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void decoders_data();
    void decoders();
    void mp3Tags();
    void browser_data();
    void browser();

private:
    // The voice file the road makes of the recording: GSM from a narrowed copy, MP3
    // from the read-only recording itself.
    QString voiceFile(VoiceFormat format);

    QTemporaryDir m_dir;
    QString m_recording;
    std::vector<qint16> m_spoken, m_spoken16k; // the recording, and resampled to 16 kHz by sox
};

void TestCompressionPlayers::initTestCase()
{
    for (const char *tool : {"espeak-ng", "sox", "ffmpeg", "ffprobe", "/usr/bin/chromium", "/usr/bin/python3"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) {
            if (qEnvironmentVariableIsSet("CI"))
                QFAIL(qPrintable(QStringLiteral("missing: ") + tool));
            QSKIP(qPrintable(QStringLiteral("missing: ") + tool));
        }
    }
    const QString spoken = m_dir.filePath("spoken.wav");
    m_recording = m_dir.filePath("orv1039000000.pcm");
    QByteArray error;
    run({"espeak-ng", "-w", spoken, "This is a voice message. Please call me back at nine."}, error);
    const QStringList raw16{"-t", "raw", "-e", "signed-integer", "-b", "16", "-c", "1", "-r"};
    run(QStringList{"sox", spoken} << raw16 << "8000" << m_recording, error);
    const QByteArray upsampled = run(QStringList{"sox"} << raw16 << "8000" << m_recording << raw16 << "16000" << "-", error);
    QVERIFY2(error.isEmpty(), error.constData());
    m_spoken16k = samplesOf(upsampled, 2);
    QVERIFY(QFile::setPermissions(m_recording, QFile::ReadOwner));
    m_spoken = samplesOf(TestFiles::read(m_recording), 2);
    QVERIFY(m_spoken.size() > 3 * Rate);
}

QString TestCompressionPlayers::voiceFile(VoiceFormat format)
{
    CVoiceCompressor job;
    const QString source = format == VoiceFormat::Mp3 ? m_recording : RecordingFile::narrowedCopy(m_recording);
    job.SetVoiceFormat(format);
    job.SetVoiceTags({QStringLiteral("Rückruf – Termin 9:30 ✓"), QDateTime(QDate(2024, 3, 15), QTime(9, 30))});
    job.SetCompressedFile(VoiceFilePath(m_recording, format));
    return job.SetSourceFile(source) && job.Compress() ? job.GetWavePath() : QString();
}

void TestCompressionPlayers::decoders_data()
{
    // The decoder's command: these, the voice file, those, the raw 16-bit output. The
    // MP3 is decoded at its own rate: sox's words start at an odd 16 kHz sample, half a
    // sample off at 8000 Hz.
    QTest::addColumn<int>("format");
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QStringList>("after");
    // How late the words may start: sox reads no LAME frame, so it keeps the MP3
    // encoder's delay (about 0.1 s) in front of them.
    QTest::addColumn<double>("maxLate");
    const QStringList ffmpeg{"ffmpeg", "-y", "-v", "error", "-i"}, sox{"sox"};
    const QStringList ffmpegOut{"-f", "s16le"}, soxOut{"-t", "raw", "-e", "signed-integer", "-b", "16"};
    QTest::newRow("GSM ffmpeg") << int(VoiceFormat::Gsm610Wav) << ffmpeg << ffmpegOut << 0.0;
    QTest::newRow("GSM sox") << int(VoiceFormat::Gsm610Wav) << sox << soxOut << 0.0;
    QTest::newRow("MP3 ffmpeg") << int(VoiceFormat::Mp3) << ffmpeg << ffmpegOut << 0.0;
    QTest::newRow("MP3 sox") << int(VoiceFormat::Mp3) << sox << soxOut << 0.15;
}

void TestCompressionPlayers::decoders()
{
    QFETCH(int, format);
    QFETCH(QStringList, before);
    QFETCH(QStringList, after);
    QFETCH(double, maxLate);
    const bool mp3 = VoiceFormat(format) == VoiceFormat::Mp3;
    const QString voice = voiceFile(VoiceFormat(format)), raw = m_dir.filePath("decoded.raw");
    QVERIFY(!voice.isEmpty());
    QByteArray error;
    run(QStringList(before) << voice << after << raw, error);
    QVERIFY2(error.isEmpty(), error.constData());

    const int rate = mp3 ? 2 * Rate : Rate;
    const std::vector<qint16> &spoken = mp3 ? m_spoken16k : m_spoken;
    const std::vector<qint16> decoded = samplesOf(TestFiles::read(raw), 2);
    const size_t skip = bestSkip(spoken, decoded, size_t(maxLate * rate));
    const double r = correlation(spoken, decoded, skip);
    QVERIFY2(r >= 0.9, qPrintable(QString::number(r)));
    if (!mp3) {
        QCOMPARE(decoded.size(), spoken.size() / 320 * 320);
        QVERIFY(decoded == decodeGsmBlocks(readWaveFile(voice).data)); // the same samples as libgsm's
    } else { // the words take the recording's length, within 0.1 s
        QVERIFY2(std::abs(double(decoded.size() - skip) - double(spoken.size())) <= rate / 10,
                 qPrintable(QStringLiteral("%1 samples after %2").arg(decoded.size()).arg(skip)));
    }
}

// The subject and the date in the ID3 tag, as an independent reader sees them.
void TestCompressionPlayers::mp3Tags()
{
    const QString voice = voiceFile(VoiceFormat::Mp3);
    QVERIFY(!voice.isEmpty());
    QByteArray error;
    const QByteArray tags =
        run({"ffprobe", "-v", "error", "-show_entries", "format_tags=title,date", "-of", "default=nw=1", voice}, error);
    QVERIFY2(error.isEmpty(), error.constData());
    QCOMPARE(QString::fromUtf8(tags), QStringLiteral("TAG:title=Rückruf – Termin 9:30 ✓\nTAG:date=2024-03-15 09:30\n"));
}

void TestCompressionPlayers::browser_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("refusal");
    QTest::newRow("MP3 plays") << int(VoiceFormat::Mp3) << "";
    // Why MP3 exists: browsers play no GSM 6.10 WAV. Should that change, this fails.
    QTest::newRow("GSM 6.10 WAV is refused") << int(VoiceFormat::Gsm610Wav) << "EncodingError";
}

void TestCompressionPlayers::browser()
{
    QFETCH(int, format);
    QFETCH(QString, refusal);
    const QString voice = voiceFile(VoiceFormat(format)), raw = m_dir.filePath("browser.raw");
    QVERIFY(!voice.isEmpty());
    QByteArray error;
    const QJsonObject report = QJsonDocument::fromJson(run({"/usr/bin/python3", BrowserDecode, voice, raw}, error)).object();
    QVERIFY2(error.isEmpty(), error.constData());
    QCOMPARE(report.value("refused").toString(), refusal);
    if (!refusal.isEmpty())
        return;
    const double duration = report.value("duration").toDouble();
    QVERIFY2(std::abs(duration - double(m_spoken.size()) / Rate) <= 0.1, qPrintable(QString::number(duration)));
    const double r = correlation(m_spoken, samplesOf(TestFiles::read(raw), 2));
    QVERIFY2(r >= 0.9, qPrintable(QString::number(r)));
}

QTEST_GUILESS_MAIN(TestCompressionPlayers)
#include "test_compression_players.moc"
