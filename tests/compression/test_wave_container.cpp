// The WAV container: header bytes of both tags, the data chunk, the length query and
// the failures of each step.

#include "compression/wave_converter.h"
#include "tests/support/compression/gsm_wave.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <csignal>
#include <sys/resource.h>

using CompressionTestSupport::readWaveFile;

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size() && f.flush();
}

quint16 u16(const QByteArray &b, int at) { return qFromLittleEndian<quint16>(b.constData() + at); }
quint32 u32(const QByteArray &b, int at) { return qFromLittleEndian<quint32>(b.constData() + at); }

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
    const QByteArray f = readAll(m_converter.GetWavePath());
    QCOMPARE(f.size(), 60);
    QCOMPARE(f.mid(0, 4), QByteArray("RIFF"));
    QCOMPARE(u32(f, 4), 52u);
    QCOMPARE(f.mid(8, 8), QByteArray("WAVEfmt "));
    QCOMPARE(u32(f, 16), 20u);
    QCOMPARE(u16(f, 20), quint16(49));
    QCOMPARE(u16(f, 22), quint16(1));
    QCOMPARE(u32(f, 24), 8000u);
    QCOMPARE(u32(f, 28), 1625u);
    QCOMPARE(u16(f, 32), quint16(65));
    QCOMPARE(u16(f, 34), quint16(0));
    QCOMPARE(u16(f, 36), quint16(2));
    QCOMPARE(u16(f, 38), quint16(320));
    QCOMPARE(f.mid(40, 4), QByteArray("fact"));
    QCOMPARE(u32(f, 44), 4u);
    QCOMPARE(u32(f, 48), 1234567u);
    QCOMPARE(f.mid(52, 4), QByteArray("data"));
    QCOMPARE(u32(f, 56), 0u);
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
    QCOMPARE(u32(f, 4), 247u);
    QCOMPARE(u32(f, 56), 195u);
    QCOMPARE(f.mid(60), stream);
    const auto wave = readWaveFile(m_converter.GetWavePath());
    QVERIFY(wave.valid);
    QCOMPARE(wave.factSamples, 960u);
    // The temporary stream stays; the job deletes it itself.
    QVERIFY(QFile::exists(m_converter.m_tempPath));
}

void TestWaveContainer::trueSpeechHeaderFieldByField()
{
    const QByteArray stream(32, '\x5A');
    prepare(34, stream, 240);
    QCOMPARE(m_converter.WriteWaveFile(), 1);
    const QByteArray f = readAll(m_converter.GetWavePath());
    QCOMPARE(f.size(), 122);
    QCOMPARE(f.mid(0, 4), QByteArray("RIFF"));
    QCOMPARE(u32(f, 4), 114u);
    QCOMPARE(f.mid(8, 8), QByteArray("WAVEfmt "));
    QCOMPARE(u32(f, 16), 50u);
    QCOMPARE(u16(f, 20), quint16(34));
    QCOMPARE(u16(f, 22), quint16(1));
    QCOMPARE(u32(f, 24), 8000u);
    QCOMPARE(u32(f, 28), 1067u);
    QCOMPARE(u16(f, 32), quint16(32));
    QCOMPARE(u16(f, 34), quint16(1));
    QCOMPARE(u16(f, 36), quint16(32));
    QCOMPARE(u16(f, 38), quint16(1));
    QCOMPARE(u16(f, 40), quint16(240));
    QCOMPARE(f.mid(42, 28), QByteArray(28, '\0'));
    QCOMPARE(f.mid(70, 4), QByteArray("fact"));
    QCOMPARE(u32(f, 74), 4u);
    QCOMPARE(u32(f, 78), 240u);
    QCOMPARE(f.mid(82, 4), QByteArray("data"));
    QCOMPARE(u32(f, 86), 32u);
    QCOMPARE(f.mid(90), stream);
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
