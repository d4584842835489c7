// Compression from the ADPCM decoder and the WAV container through the job and its
// worker to the form's Attach, completion, failures and the close that waits for a job.

#include "audio/recording_file.h"
#include "audio/sample_width.h"
#include "compression/adpcm.h"
#include "compression/codec_libraries.h"
#include "resources/resource_ids.h"
#include "shell/status_pane.h"
#include "tests/support/compression/speech_signal.h"
#include "tests/support/form_harness.h"
#include "tests/support/test_files.h"

#include <QTest>
#include <QThread>

using namespace CompressionTestSupport;
using TestFiles::read;
using TestFiles::write;

// Each test runs in the fresh program folder of a real main frame and form.
class TestCompression : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        m_form = std::make_unique<FormHarness>();
        m_form->frame().show();
    }

    void cleanup()
    {
        QTRY_VERIFY(!view().delivery().isCompressing()); // its end would reach a form that is gone
        m_form.reset();
    }

    void adpcmDecoding()
    {
        // From a fresh state, `times` codes give this sample and step index.
        const struct { int code, times, sample, index; } cases[] = {
            {0x7, 1, 30, 8}, {0xF, 1, -30, 8}, {0x0, 1, 2, 0}, {0x7, 200, 2047, 48}, {0xF, 200, -2048, 48}};
        for (const auto &c : cases) {
            AdpcmState state{99, 7};
            AdpcmReset(state);
            for (int i = 0; i < c.times; ++i)
                AdpcmDecodeNibble(c.code, state);
            QCOMPARE((QList<int>{c.code, c.times, state.sample, state.index}), (QList<int>{c.code, c.times, c.sample, c.index}));
        }
        // Through the job, 300 bytes: the leading block stays; each further byte gives two samples, high nibble first.
        const QByteArray source = QByteArray(256, '\x5C') + "\x70\xFF" + QByteArray(42, '\x77');
        CVoiceCompressor job;
        job.SetSourceFormat(2);
        prepare(job, source);
        QCOMPARE(job.Compress(), 1);
        // 0x7 gives 30 (byte 129), 0x0 at index 8 adds 4; 0xF takes 56 and 123, and a byte
        // truncates toward zero (-22 gives 127, -145 gives 119); the run of 0x7 saturates.
        const QByteArray decoded = read(job.GetSourcePath());
        QCOMPARE(decoded.left(260) + decoded.back(), source.left(256) + "\x81\x82\x7F\x77\xFF");
    }

    // GSM from a 33-byte source (no whole block, 32 samples), on a path far past 256
    // characters, over a read-only WAV file of the same name.
    void header()
    {
        const QString folder = QStringLiteral("%1/%1/%1/").arg(QString(120, QLatin1Char('d')));
        QVERIFY(QDir().mkpath(path(folder)));
        CVoiceCompressor job;
        prepare(job, QByteArray(33, '\x80'), false, folder);
        QVERIFY(write(job.GetWavePath(), QByteArray(5000, 'x')) && QFile::setPermissions(job.GetWavePath(), QFile::ReadOwner));
        QCOMPARE(job.Compress(), 1);
        // Little-endian: 52 bytes; 20 bytes of format: tag 49, mono, 8000 Hz, 1625 bytes/s, blocks of
        // 65 bytes, 0 bits, 2 extra bytes, 320 samples a block; 32 samples; no data.
        QCOMPARE(read(job.GetWavePath()), "RIFF" + QByteArray::fromHex("34000000") + "WAVEfmt "
                                              + QByteArray::fromHex("14000000 3100 0100 401f0000 59060000 4100 0000 0200 4001")
                                              + "fact" + QByteArray::fromHex("04000000 20000000") + "data" + QByteArray(4, '\0'));
    }

    void destroyingARunningJobWaits()
    {
        bool ended = false;
        auto job = std::make_unique<CVoiceCompressor>();
        job->SetNotifyWindow(&view());
        job->SetNotifyMessage([&ended](int) { ended = true; });
        prepare(*job, speechLike16(4 * 8000), true);
        const QString wave = job->GetWavePath();
        QVERIFY(job->StartThread());
        job.reset(); // waits for the worker; its end, sent by a job that is gone, is dropped
        QCoreApplication::processEvents();
        QVERIFY(!ended && QFileInfo(wave).size() == 60 + 100 * 65);
    }

    // The MP3 job as the road runs it on the worker, from the read-only recording itself;
    // a format chosen meanwhile waits for the next job.
    void mp3JobOnTheWorker()
    {
        const QString rec = path("orv1039000000.pcm");
        QVERIFY(write(rec, m_original) && QFile::setPermissions(rec, QFile::ReadOwner));
        CVoiceCompressor job;
        job.SetVoiceFormat(VoiceFormat::Mp3);
        QCOMPARE(job.SetSourceFile(rec), 1);
        job.SetCompressedFile(VoiceFilePath(rec, VoiceFormat::Mp3));
        int result = -1;
        job.SetNotifyWindow(&view());
        job.SetNotifyMessage([&result](int r) { result = r; });
        QVERIFY(job.StartThread());
        job.SetVoiceFormat(VoiceFormat::Gsm610Wav);
        QTRY_COMPARE(result, 1);
        QCOMPARE(job.GetVoiceFormat(), VoiceFormat::Gsm610Wav);
        const QByteArray voice = read(path("orv1039000000.mp3"));
        QCOMPARE(job.GetRecordingRatio(), 160000.0 / voice.size());
        QVERIFY2(voice.size() * 6 <= 125000, qPrintable(QString::number(voice.size())));  // 125 KB a minute at most
        QVERIFY(read(rec) == m_original && !(QFile::permissions(rec) & QFile::WriteOwner) && !QFile::exists(job.m_tempPath));
    }

    // A codec library that is not there, and one without the functions asked of it, are
    // reported by name; the job then fails with that text instead of crashing.
    void codecLibraryLoadErrors()
    {
        QVERIFY(Gsm::load("libgsm-absent.so.1").error.contains("libgsm-absent.so.1"));
        const LoadedCodecLibrary<Lame::Api> wrong = Lame::load(Gsm::LibraryName, Gsm::LibraryVersion);
        QVERIFY2(wrong.error.contains("lame_init") && !wrong.api.init, qPrintable(wrong.error));
    }

    void failures_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("error");
        QTest::newRow("source missing") << "remove source" << 10;
        QTest::newRow("temporary stream cannot be created") << "folder at v.pcm_" << 13;
        QTest::newRow("WAV file cannot be created") << "folder at v.wav" << 2;
        QTest::newRow("ADPCM output cannot be created") << "folder at v.pcm.pcm" << 15;
        QTest::newRow("short write while appending") << "file size limit" << 3;
        // The MP3's source is the recording itself: ADPCM would be decoded into it.
        QTest::newRow("MP3 from an ADPCM source") << "MP3, folder at v.pcm.pcm" << 18;
        QTest::newRow("MP3 file cannot be created") << "MP3, folder at v.mp3" << 2;
    }

    // Each reports 0 and leaves no temporary stream, no WAV file and the source as it was.
    void failures()
    {
        QFETCH(QString, how);
        QFETCH(int, error);
        const QByteArray before = QByteArray(256, '\x80') + QByteArray(3200 - 256, '\x11'); // ten blocks
        CVoiceCompressor job;
        prepare(job, before);
        job.SetSourceFormat(how.endsWith(".pcm.pcm") ? 2 : 1);
        job.SetVoiceFormat(how.startsWith("MP3, ") ? VoiceFormat::Mp3 : VoiceFormat::Gsm610Wav);
        job.SetCompressedFile(VoiceFilePath(job.GetSourcePath(), job.GetVoiceFormat()));
        how.remove(QStringLiteral("MP3, "));
        QVERIFY(!how.startsWith("folder at ") || QDir().mkdir(path(how.mid(10))));
        QVERIFY(how != "remove source" || QFile::remove(job.GetSourcePath()));
        int result = -1;  // the size limit leaves room for the stream, not for the whole WAV file
        TestFiles::withSizeLimit(how == "file size limit" ? 60 + 650 - 10 : RLIM_INFINITY, [&] { result = job.Compress(); });
        QVERIFY(result == 0 && job.m_lastError == error);
        QVERIFY(!QFileInfo(job.GetWavePath()).isFile() && !QFileInfo(job.m_tempPath).isFile());
        QCOMPARE(read(job.GetSourcePath()), how == "remove source" ? QByteArray("<missing>") : before);
    }

    void attachCompressesAndAttaches()
    {
        // A recording named without "." (in a folder without one) gives ".wav" in the current folder.
        const QString rec = makeRecording(QStringLiteral("orv1039000000"));
        QVERIFY(view().OnCommand(Ids::AttachButton));
        view().OnAttach(); // while a job runs: no second job
        QVERIFY(view().delivery().isCompressing() && view().IsTimerActive(Ids::TimerProgressDisplay));
        QCOMPARE(m_form->frame().statusPane()->text(), QStringLiteral("Compressing"));
        QThread::msleep(100);
        QCOMPARE(count(QStringLiteral("Compression complete.")), 0); // the end comes through the event loop
        QTRY_VERIFY(!view().delivery().isCompressing());
        for (const char *line : {"Compressing...", "Compression complete.", "Compression Ratio: 9.81", "Compressed file size: 16310 bytes"})
            QVERIFY2(count(QLatin1String(line)) == 1, line);
        QCOMPARE(m_form->field(Ids::AttachmentsEdit), QStringLiteral(".wav,"));
        QCOMPARE(QFileInfo(path(QStringLiteral(".wav"))).size(), 16310);
        // The job read a narrowed copy, which is gone; the recording is as it was.
        QVERIFY(read(rec) == m_original && !QFile::exists(rec + QStringLiteral(".8bit")));

        // With the voice file already listed, no second job starts.
        view().recorder().setRecordingFile(rec);
        view().OnAttach();
        QCOMPARE(count(QStringLiteral("Voice file already attached: .wav")), 1);
        QCOMPARE(count(QStringLiteral("Compressing...")), 1);
    }

    // A job that fails stops the progress display and attaches nothing.
    void failuresLeaveTheRecordingUsable()
    {
        const QString rec = makeRecording(), wave = path(QStringLiteral("orv1039000000.wav"));
        QVERIFY(QDir().mkdir(rec + QStringLiteral(".8bit"))); // the narrowed copy cannot be made
        view().OnAttach();
        QCOMPARE(count(QStringLiteral("Connot attach voice file")), 1);
        QVERIFY(!view().delivery().isCompressing() && !view().IsTimerActive(Ids::TimerProgressDisplay));

        QVERIFY(QDir().rmdir(rec + QStringLiteral(".8bit")) && QDir().mkdir(wave));
        view().OnAttach();
        QTRY_VERIFY(!view().delivery().isCompressing());
        QCOMPARE(count(QStringLiteral("Compression failed: cannot create the voice file")), 1);
        QVERIFY(read(rec) == m_original && !view().IsTimerActive(Ids::TimerProgressDisplay) && !QFileInfo(wave).isFile());
        QVERIFY(m_form->frame().statusPane()->text() == "Idle" && m_form->field(Ids::AttachmentsEdit).isEmpty());
    }

    void closeDuringAJob_data()
    {
        QTest::addColumn<bool>("jobFails");
        QTest::newRow("job succeeds") << false;
        QTest::newRow("job fails") << true;
    }

    // Closing the window while a job runs keeps it open until the job has ended.
    void closeDuringAJob()
    {
        QFETCH(bool, jobFails);
        makeRecording();
        QVERIFY(!jobFails || QDir().mkdir(path(QStringLiteral("orv1039000000.wav"))));
        view().OnAttach();
        m_form->prompter().answerNext(true); // "Discard the recording that was not sent?"
        QVERIFY(!m_form->frame().close() && m_form->frame().isVisible());
        QTRY_VERIFY(!m_form->frame().isVisible());
        QCOMPARE(count(QStringLiteral("Compression failed: ")), jobFails ? 1 : 0);
    }

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

    std::unique_ptr<FormHarness> m_form;
    const QByteArray m_original = speechLike16(80000);
};

QTEST_MAIN(TestCompression)
#include "test_compression.moc"
