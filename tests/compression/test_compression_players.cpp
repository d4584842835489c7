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

}  // namespace

class TestCompressionPlayers : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_recording;
    std::vector<qint16> m_spoken, m_spoken16k; // the recording, and resampled to 16 kHz by sox

    // The voice file the road makes of the recording: GSM from a narrowed copy, MP3
    // from the read-only recording itself.
    QString voiceFile(VoiceFormat format)
    {
        CVoiceCompressor job;
        job.SetVoiceFormat(format);
        job.SetVoiceTags({QStringLiteral("Rückruf – Termin 9:30 ✓"), QDateTime(QDate(2024, 3, 15), QTime(9, 30))});
        job.SetCompressedFile(VoiceFilePath(m_recording, format));
        const QString source = format == VoiceFormat::Mp3 ? m_recording : RecordingFile::narrowedCopy(m_recording);
        return job.SetSourceFile(source) && job.Compress() ? job.GetWavePath() : QString();
    }

private slots:
    void initTestCase()
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
        m_spoken16k = samplesOf(upsampled, 2);
        QVERIFY2(error.isEmpty(), error.constData());
        QVERIFY(QFile::setPermissions(m_recording, QFile::ReadOwner));
        m_spoken = samplesOf(TestFiles::read(m_recording), 2);
        QVERIFY(m_spoken.size() > 3 * Rate);
    }

    void decoders_data()
    {
        // The command: these, the voice file, those, the raw 16-bit output at this rate. ffmpeg and
        // sox decode the MP3 at its own rate (sox's words start at an odd 16 kHz sample, half a
        // sample off at 8000 Hz); sox reads no LAME frame and keeps the encoder's delay (about
        // 0.1 s) before the words. The browser's page decodes at 8000 Hz and reports in JSON.
        QTest::addColumn<int>("format");
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QStringList>("after");
        QTest::addColumn<int>("rate");
        QTest::addColumn<double>("maxLate");  // how late the words may start
        QTest::addColumn<QString>("refusal");
        const QStringList ffmpeg{"ffmpeg", "-y", "-v", "error", "-i"}, sox{"sox"},
            chromium{"/usr/bin/python3", ORVANTO_SOURCE_DIR "/tests/support/browser/browser_decode.py"};
        const QStringList ffmpegOut{"-f", "s16le"}, soxOut{"-t", "raw", "-e", "signed-integer", "-b", "16"};
        const int gsm = int(VoiceFormat::Gsm610Wav), mp3 = int(VoiceFormat::Mp3);
        QTest::newRow("GSM ffmpeg") << gsm << ffmpeg << ffmpegOut << Rate << 0.0 << "";
        QTest::newRow("GSM sox") << gsm << sox << soxOut << Rate << 0.0 << "";
        QTest::newRow("MP3 ffmpeg") << mp3 << ffmpeg << ffmpegOut << 2 * Rate << 0.0 << "";
        QTest::newRow("MP3 sox") << mp3 << sox << soxOut << 2 * Rate << 0.15 << "";
        QTest::newRow("MP3 Chromium") << mp3 << chromium << QStringList() << Rate << 0.0 << "";
        // Why MP3 exists: browsers play no GSM 6.10 WAV. Should that change, this fails.
        QTest::newRow("GSM Chromium refuses") << gsm << chromium << QStringList() << Rate << 0.0 << "EncodingError";
    }

    void decoders()
    {
        QFETCH(int, format);
        QFETCH(QStringList, before);
        QFETCH(QStringList, after);
        QFETCH(int, rate);
        QFETCH(double, maxLate);
        QFETCH(QString, refusal);
        const QString voice = voiceFile(VoiceFormat(format)), raw = m_dir.filePath("decoded.raw");
        QByteArray error;
        const QJsonObject report = QJsonDocument::fromJson(run(QStringList(before) << voice << after << raw, error)).object();
        QVERIFY2(!voice.isEmpty() && error.isEmpty(), error.constData());
        QCOMPARE(report.value("refused").toString(), refusal);
        if (!refusal.isEmpty())
            return;
        const std::vector<qint16> &spoken = rate == Rate ? m_spoken : m_spoken16k;
        const std::vector<qint16> decoded = samplesOf(TestFiles::read(raw), 2);
        std::pair<double, size_t> best{correlation(spoken, decoded), 0};  // where the words start, within maxLate
        for (size_t s = 1; s <= size_t(maxLate * rate); ++s)
            best = std::max(best, std::make_pair(correlation(spoken, decoded, s), s));
        const auto [r, skip] = best;
        QVERIFY2(r >= 0.9, qPrintable(QString::number(r)));
        if (VoiceFormat(format) == VoiceFormat::Gsm610Wav) {  // the same samples as libgsm's, after the header
            QCOMPARE(decoded.size(), spoken.size() / 320 * 320);
            QVERIFY(decoded == decodeGsmBlocks(TestFiles::read(voice).mid(60)));
            return;
        }
        // The words take the recording's length, within 0.1 s; the ID3 tag, as an independent
        // reader sees it, holds the subject and the date.
        QVERIFY2(std::abs(double(decoded.size() - skip) - double(spoken.size())) <= rate / 10,
                 qPrintable(QStringLiteral("%1 samples after %2").arg(decoded.size()).arg(skip)));
        QCOMPARE(QString::fromUtf8(run({"ffprobe", "-v", "error", "-show_entries", "format_tags=title,date", "-of",
                                        "default=nw=1", voice}, error)),
                 QStringLiteral("TAG:title=Rückruf – Termin 9:30 ✓\nTAG:date=2024-03-15 09:30\n"));
    }
};

QTEST_GUILESS_MAIN(TestCompressionPlayers)
#include "test_compression_players.moc"
