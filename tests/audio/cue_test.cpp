// The recording cue: reading WAV files into the recording format, the built-in
// tone, and the player on an output device.

#include "audio/cue_player.h"
#include "audio/cue_sound.h"
#include "tests/support/audio/fake_audio_devices.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <cmath>

namespace {

QByteArray le16(int v)
{
    char b[2];
    qToLittleEndian(quint16(v), b);
    return QByteArray(b, 2);
}

QByteArray le32(quint32 v)
{
    char b[4];
    qToLittleEndian(v, b);
    return QByteArray(b, 4);
}

QByteArray wav(int tag, int channels, int rate, int bits, const QByteArray &data, const QByteArray &extraChunk = {})
{
    const int blockAlign = channels * bits / 8;
    QByteArray fmt = le16(tag) + le16(channels) + le32(quint32(rate)) + le32(quint32(rate * blockAlign)) +
                     le16(blockAlign) + le16(bits);
    QByteArray body = "WAVE" + QByteArray("fmt ") + le32(quint32(fmt.size())) + fmt + extraChunk + "data" +
                      le32(quint32(data.size())) + data;
    if (data.size() % 2)
        body.append('\0');
    return "RIFF" + le32(quint32(body.size())) + body;
}

QByteArray samples(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out += le16(v);
    return out;
}

qint16 sampleAt(const QByteArray &pcm, int i)
{
    return qFromLittleEndian<qint16>(pcm.constData() + 2 * i);
}

}  // namespace

class CueTest : public QObject
{
    Q_OBJECT
private slots:
    void readsTheRecordingFormatUnchanged()
    {
        const QByteArray pcm = samples({0, 1000, -1000, 32767, -32768, 5});
        // A chunk the reader does not know comes before the sound and is skipped.
        const QString path = write(wav(1, 1, 8000, 16, pcm, "LIST" + le32(3) + "abc" + QByteArray(1, '\0')));
        QCOMPARE(loadCue(path), pcm);
    }

    void mixesStereoDownAndHalvesTheRate()
    {
        // 16000 Hz stereo: frames (L, R); every two frames make one output sample.
        const QByteArray data = samples({1000, 3000, 1000, 3000, -4000, -4000, -2000, -2000});
        const QByteArray cue = loadCue(write(wav(1, 2, 16000, 16, data)));
        QCOMPARE(cue.size(), 4);
        QCOMPARE(sampleAt(cue, 0), qint16(2000));
        QCOMPARE(sampleAt(cue, 1), qint16(-3000));
    }

    void widensUnsignedBytesAndRaisesTheRate()
    {
        // 4000 Hz 8-bit: twice as many output samples, the new ones halfway between.
        QByteArray data;
        data.append(char(128)).append(char(192)).append(char(64));
        const QByteArray cue = loadCue(write(wav(1, 1, 4000, 8, data)));
        QCOMPARE(cue.size(), 12);
        QCOMPARE(sampleAt(cue, 0), qint16(0));
        QCOMPARE(sampleAt(cue, 1), qint16(8192));
        QCOMPARE(sampleAt(cue, 2), qint16(16384));
        QCOMPARE(sampleAt(cue, 3), qint16(0));
        QCOMPARE(sampleAt(cue, 4), qint16(-16384));
    }

    void readsFloatingPointSound()
    {
        QByteArray data;
        for (float f : {0.5f, -0.25f, 2.0f}) {
            quint32 raw;
            std::memcpy(&raw, &f, sizeof raw);
            data += le32(raw);
        }
        const QByteArray cue = loadCue(write(wav(3, 1, 8000, 32, data)));
        QCOMPARE(cue.size(), 6);
        QCOMPARE(sampleAt(cue, 0), qint16(16384));
        QCOMPARE(sampleAt(cue, 1), qint16(-8192));
        QCOMPARE(sampleAt(cue, 2), qint16(32767));
    }

    void refusesWhatItCannotPlay_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::newRow("not a wav") << QByteArray("RIFX0000WAVEfmt ");
        QTest::newRow("compressed") << wav(49, 1, 8000, 0, QByteArray(65, 'x'));
        QTest::newRow("data before format") << QByteArray("RIFF") + le32(12) + "WAVEdata" + le32(0);
        QTest::newRow("no data") << wav(1, 1, 8000, 16, QByteArray()).left(36);
        QTest::newRow("zero channels") << wav(1, 0, 8000, 16, samples({1, 2}));
    }
    void refusesWhatItCannotPlay()
    {
        QFETCH(QByteArray, file);
        QVERIFY(loadCue(write(file)).isEmpty());
    }

    void missingFileGivesNothing()
    {
        QVERIFY(loadCue(m_dir.filePath(QStringLiteral("none.wav"))).isEmpty());
    }

    void builtInToneIsShortAndAudible()
    {
        const QByteArray tone = builtInTone();
        const int count = int(tone.size() / 2);
        QVERIFY(count >= 800 && count <= 4000);  // 0.1 to 0.5 s
        int peak = 0;
        double energy = 0;
        for (int i = 0; i < count; ++i) {
            peak = std::max(peak, std::abs(int(sampleAt(tone, i))));
            energy += double(sampleAt(tone, i)) * sampleAt(tone, i);
        }
        QVERIFY(peak > 4000 && peak < 32767);
        QVERIFY(std::sqrt(energy / count) > 2000);
        // It fades in and out instead of starting and ending with a click.
        QVERIFY(std::abs(sampleAt(tone, 0)) < 200 && std::abs(sampleAt(tone, count - 1)) < 200);
    }

    void playsTheFileOnTheGivenDevice()
    {
        FakeAudioOutput output;
        output.names = {QStringLiteral("one"), QStringLiteral("two")};
        CuePlayer player(&output);
        QSignalSpy heard(&player, &CuePlayer::finished);
        const QByteArray pcm = samples({7, 8, 9});
        player.play(write(wav(1, 1, 8000, 16, pcm)), 1);
        QVERIFY(player.isPlaying());
        QCOMPARE(output.played, QList<QByteArray>{pcm});
        QCOMPARE(output.playedOnDevice, QList<int>{1});
        // The owner hands the output's completion over.
        connect(&output, &AudioOutput::finished, &player, [&] { player.outputFinished(); });
        QVERIFY(heard.wait(1000));
        QCOMPARE(heard.count(), 1);
        QVERIFY(!player.isPlaying());
        QVERIFY(!output.isOpen);
    }

    void playsTheToneWithoutAFile()
    {
        FakeAudioOutput output;
        CuePlayer player(&output);
        player.play(m_dir.filePath(QStringLiteral("beep.wav")), 0);
        QCOMPARE(output.played, QList<QByteArray>{builtInTone()});
    }

    void stoppedCueNeverFinishes()
    {
        FakeAudioOutput output;
        output.completeOnItsOwn = false;
        CuePlayer player(&output);
        connect(&output, &AudioOutput::finished, &player, [&] { player.outputFinished(); });
        QSignalSpy heard(&player, &CuePlayer::finished);
        player.play(QString(), 0);
        player.stop();
        QVERIFY(!player.isPlaying());
        QVERIFY(player.ownsOutput());  // until the device has given the buffer back
        QTRY_VERIFY(!player.ownsOutput());
        QTest::qWait(20);
        QCOMPARE(heard.count(), 0);
        QVERIFY(!output.isOpen);
    }

    void cueThatCannotPlayLetsTheRecordingGoOn()
    {
        FakeAudioOutput output;
        output.failNextOpen(AudioError::Allocated, QStringLiteral("busy"));
        CuePlayer player(&output);
        QSignalSpy heard(&player, &CuePlayer::finished);
        player.play(QString(), 0);
        QCOMPARE(heard.count(), 0);  // never from inside the call
        QVERIFY(heard.wait(1000));
        QVERIFY(output.played.isEmpty());

        // Stopped before its turn comes, it stays silent.
        output.failNextOpen(AudioError::Allocated, QStringLiteral("busy"));
        player.play(QString(), 0);
        player.stop();
        QTest::qWait(20);
        QCOMPARE(heard.count(), 1);
    }

private:
    QString write(const QByteArray &data)
    {
        const QString path = m_dir.filePath(QStringLiteral("cue%1.wav").arg(++m_files));
        QFile f(path);
        if (f.open(QIODevice::WriteOnly))
            f.write(data);
        return path;
    }

    QTemporaryDir m_dir;
    int m_files = 0;
};

QTEST_GUILESS_MAIN(CueTest)
#include "cue_test.moc"
