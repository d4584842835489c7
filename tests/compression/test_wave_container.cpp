// The WAV container: header bytes of both tags, the data chunk, the length query and
// the failures of each step.

#include "compression/wave_converter.h"
#include "tests/support/compression/gsm_wave.h"
#include "tests/support/compression/test_files.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <csignal>
#include <sys/resource.h>

using CompressionTestSupport::readAll;
using CompressionTestSupport::readWaveFile;
using CompressionTestSupport::writeAll;

namespace {

QByteArray le16(quint16 v)
{
    QByteArray b(2, '\0');
    qToLittleEndian(v, b.data());
    return b;
}

QByteArray le32(quint32 v)
{
    QByteArray b(4, '\0');
    qToLittleEndian(v, b.data());
    return b;
}

// Lowers the largest file this process may write, and restores it on scope exit.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lowered = m_saved;
        lowered.rlim_cur = bytes;
        m_ok = setrlimit(RLIMIT_FSIZE, &lowered) == 0;
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    bool ok() const { return m_ok; }

private:
    rlimit m_saved{};
    void (*m_oldHandler)(int) = nullptr;
    bool m_ok = false;
};

}  // namespace

class TestWaveContainer : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void gsmHeaderFieldByField();
    void gsmFileOfThreeBlocks();
    void trueSpeechHeaderFieldByField();
    void readOnlyWaveOfTheSameNameIsReplaced();
    void lengthOfMissingFileIsZero();
    void waveThatCannotBeCreatedFails();
    void missingStreamFailsTheAppend();
    void shortWriteWhileAppendingIsAFailure();
    void tagWithoutHeaderWritesNothing();

private:
    void prepare(int tag, const QByteArray &stream, int sampleCount);

    std::unique_ptr<QTemporaryDir> m_dir;
    CWaveConverter m_converter;
};

void TestWaveContainer::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_converter = CWaveConverter();
}

void TestWaveContainer::prepare(int tag, const QByteArray &stream, int sampleCount)
{
    const QString source = m_dir->filePath(QStringLiteral("orv1039000000.pcm"));
    QVERIFY(writeAll(source, QByteArray(100, '\x80')));
    QCOMPARE(m_converter.SetSourceFile(source), 1);
    QCOMPARE(m_converter.m_tempPath, source + QStringLiteral("_"));
    QVERIFY(writeAll(m_converter.m_tempPath, stream));
    m_converter.SetCompressedFile(m_dir->filePath(QStringLiteral("orv1039000000.wav")));
    m_converter.SetCompressionType(tag);
    m_converter.m_sampleCount = sampleCount;
}

void TestWaveContainer::gsmHeaderFieldByField()
{
    prepare(49, QByteArray(), 1234567);
    QCOMPARE(m_converter.WriteWaveFile(), 1);
    QCOMPARE(m_converter.m_lastError, 0);
    // RIFF size 52; fmt: 20 bytes, tag 49, mono, 8000 Hz, 1625 bytes/s, blocks of 65
    // bytes, 0 bits, 2 extra bytes, 320 samples a block; fact; an empty data chunk.
    const QByteArray expected = "RIFF" + le32(52) + "WAVEfmt " + le32(20) + le16(49) + le16(1) + le32(8000) +
                                le32(1625) + le16(65) + le16(0) + le16(2) + le16(320) + "fact" + le32(4) +
                                le32(1234567) + "data" + le32(0);
    QCOMPARE(expected.size(), 60);
    QCOMPARE(readAll(m_converter.GetWavePath()), expected);
}

void TestWaveContainer::gsmFileOfThreeBlocks()
{
    QByteArray stream;
    for (int i = 0; i < 195; ++i)
        stream.append(char(i * 7));
    prepare(49, stream, 960);
    QCOMPARE(m_converter.WriteWaveFile(), 1);
    const QByteArray f = readAll(m_converter.GetWavePath());
    QCOMPARE(f.size(), 255);
    QCOMPARE(f.mid(4, 4), le32(247));
    QCOMPARE(f.mid(48, 4), le32(960));
    QCOMPARE(f.mid(56), le32(195) + stream);
    QVERIFY(readWaveFile(m_converter.GetWavePath()).valid);
    // The temporary stream stays; the job deletes it itself.
    QVERIFY(QFile::exists(m_converter.m_tempPath));
}

void TestWaveContainer::trueSpeechHeaderFieldByField()
{
    const QByteArray stream(32, '\x5A');
    prepare(34, stream, 240);
    QCOMPARE(m_converter.WriteWaveFile(), 1);
    // RIFF size 114; fmt: 50 bytes, tag 34, mono, 8000 Hz, 1067 bytes/s, blocks of 32
    // bytes, 1 bit, 32 extra bytes: revision 1, 240 samples a block, 28 zero bytes.
    const QByteArray expected = "RIFF" + le32(114) + "WAVEfmt " + le32(50) + le16(34) + le16(1) + le32(8000) +
                                le32(1067) + le16(32) + le16(1) + le16(32) + le16(1) + le16(240) +
                                QByteArray(28, '\0') + "fact" + le32(4) + le32(240) + "data" + le32(32);
    QCOMPARE(expected.size(), 90);
    QCOMPARE(readAll(m_converter.GetWavePath()), expected + stream);
    QVERIFY(readWaveFile(m_converter.GetWavePath()).valid);
}

void TestWaveContainer::readOnlyWaveOfTheSameNameIsReplaced()
{
    prepare(49, QByteArray(65, '\x01'), 320);
    const QString wave = m_converter.GetWavePath();
    QVERIFY(writeAll(wave, QByteArray(5000, 'x')));
    QVERIFY(QFile::setPermissions(wave, QFile::ReadOwner | QFile::ReadGroup));
    QCOMPARE(m_converter.WriteWaveFile(), 1);
    const QByteArray f = readAll(wave);
    QCOMPARE(f.size(), 125);
    QCOMPARE(f.mid(60), QByteArray(65, '\x01'));
    QVERIFY(QFile::permissions(wave) & QFile::WriteOwner);
}

void TestWaveContainer::lengthOfMissingFileIsZero()
{
    CWaveConverter c;
    QCOMPARE(c.GetFileLength(m_dir->filePath(QStringLiteral("none.wav"))), 0u);
    QCOMPARE(c.m_lastError, 1);
    c.m_lastError = 0;
    QCOMPARE(c.GetFileLength(m_dir->path()), 0u); // a folder is no file
    QCOMPARE(c.m_lastError, 1);
    const QString path = m_dir->filePath(QStringLiteral("some.bin"));
    QVERIFY(writeAll(path, QByteArray(777, 'a')));
    c.m_lastError = 0;
    QCOMPARE(c.GetFileLength(path), 777u);
    QCOMPARE(c.m_lastError, 0);
}

void TestWaveContainer::waveThatCannotBeCreatedFails()
{
    prepare(49, QByteArray(65, '\x01'), 320);
    QVERIFY(QDir().mkdir(m_converter.GetWavePath()));
    QCOMPARE(m_converter.WriteWaveHeader(), 0);
    QCOMPARE(m_converter.m_lastError, 4);
    QCOMPARE(m_converter.WriteWaveFile(), 0);
    QCOMPARE(m_converter.m_lastError, 2);
}

void TestWaveContainer::missingStreamFailsTheAppend()
{
    prepare(49, QByteArray(65, '\x01'), 320);
    QVERIFY(QFile::remove(m_converter.m_tempPath));
    QCOMPARE(m_converter.AppendCompressedData(), 0);
    QCOMPARE(m_converter.m_lastError, 5);
    QCOMPARE(m_converter.WriteWaveFile(), 0);
    QCOMPARE(m_converter.m_lastError, 3);
}

void TestWaveContainer::shortWriteWhileAppendingIsAFailure()
{
    const QByteArray stream(650, '\x42');
    prepare(49, stream, 3200);
    {
        // Room for the header and part of the blocks only.
        FileSizeLimit limit(400);
        QVERIFY(limit.ok());
        QCOMPARE(m_converter.AppendCompressedData(), 0);
        QCOMPARE(m_converter.m_lastError, 7);
        QCOMPARE(m_converter.WriteWaveFile(), 0);
        QCOMPARE(m_converter.m_lastError, 3);
    }
    QVERIFY(QFileInfo(m_converter.GetWavePath()).size() < 60 + stream.size());
    QCOMPARE(m_converter.WriteWaveFile(), 1);
    QCOMPARE(QFileInfo(m_converter.GetWavePath()).size(), 60 + stream.size());
}

void TestWaveContainer::tagWithoutHeaderWritesNothing()
{
    prepare(85, QByteArray(65, '\x01'), 320);
    QCOMPARE(m_converter.WriteWaveFile(), 0);
    QCOMPARE(m_converter.m_lastError, 2);
    QVERIFY(!QFile::exists(m_converter.GetWavePath()));
}

QTEST_GUILESS_MAIN(TestWaveContainer)
#include "test_wave_container.moc"
