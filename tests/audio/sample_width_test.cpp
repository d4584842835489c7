// The in-place rewriters between 16-bit and 8-bit samples.

#include "audio/sample_width.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

namespace {

QByteArray samples16(std::initializer_list<qint16> values)
{
    QByteArray out;
    for (qint16 v : values) {
        char b[2];
        qToLittleEndian(v, b);
        out.append(b, 2);
    }
    return out;
}

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

void writeFile(const QString &path, const QByteArray &data)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(data), qint64(data.size()));
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray("<missing>");
    return f.readAll();
}

}  // namespace

class SampleWidthTest : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        m_path = m_dir.filePath(QStringLiteral("orv1.pcm"));
        QFile::remove(m_path);
        QFile::remove(m_path + QLatin1Char('_'));
    }

    void narrowsTheGivenSamples()
    {
        writeFile(m_path, samples16({0, 32767, -32768, -128}));
        QCOMPARE(NarrowTo8Bit(m_path), 1);
        QCOMPARE(readFile(m_path), bytes({128, 255, 0, 127}));
        QVERIFY(!QFile::exists(m_path + QLatin1Char('_')));
    }

    void widensTheGivenBytes()
    {
        writeFile(m_path, bytes({128, 255, 0, 127}));
        QCOMPARE(WidenTo16Bit(m_path), 1);
        QCOMPARE(readFile(m_path), samples16({0, 0x7F00, -32768, -256}));
        QVERIFY(!QFile::exists(m_path + QLatin1Char('_')));
    }

    void roundTripKeepsTheHighByteAcrossBlocks()
    {
        // 700 samples: narrowing reads 512-byte blocks, widening 256-byte blocks.
        QByteArray in, expected;
        for (int i = 0; i < 700; ++i) {
            const auto v = qint16(i * 97 - 30000);
            char b[2];
            qToLittleEndian(v, b);
            in.append(b, 2);
            expected.append('\0').append(b[1]);
        }
        writeFile(m_path, in);
        QCOMPARE(NarrowTo8Bit(m_path), 1);
        QCOMPARE(readFile(m_path).size(), 700);
        QCOMPARE(WidenTo16Bit(m_path), 1);
        QCOMPARE(readFile(m_path), expected);
    }

    void oddLengthLosesItsLastByte()
    {
        writeFile(m_path, samples16({256, -256}) + bytes({0x55}));
        QCOMPARE(NarrowTo8Bit(m_path), 1);
        QCOMPARE(readFile(m_path), bytes({129, 127}));
    }

    void emptyFileStaysEmpty()
    {
        writeFile(m_path, QByteArray());
        QCOMPARE(NarrowTo8Bit(m_path), 1);
        QCOMPARE(readFile(m_path), QByteArray());
        QCOMPARE(WidenTo16Bit(m_path), 1);
        QCOMPARE(readFile(m_path), QByteArray());
    }

    void missingFileFails()
    {
        QCOMPARE(NarrowTo8Bit(m_path), 0);
        QCOMPARE(WidenTo16Bit(m_path), 0);
        QVERIFY(!QFile::exists(m_path));
        QVERIFY(!QFile::exists(m_path + QLatin1Char('_')));
    }

    void temporaryThatCannotBeCreatedFails()
    {
        const QByteArray original = samples16({1000, -1000});
        writeFile(m_path, original);
        QVERIFY(QDir().mkdir(m_path + QLatin1Char('_')));
        QCOMPARE(NarrowTo8Bit(m_path), 0);
        QCOMPARE(WidenTo16Bit(m_path), 0);
        QCOMPARE(readFile(m_path), original);
        QVERIFY(QDir().rmdir(m_path + QLatin1Char('_')));
    }

    // A temporary on a full disk: every write falls short.
    void shortWriteKeepsTheOriginal_data()
    {
        QTest::addColumn<bool>("narrow");
        QTest::newRow("narrow") << true;
        QTest::newRow("widen") << false;
    }
    void shortWriteKeepsTheOriginal()
    {
        QFETCH(bool, narrow);
        if (!QFile::exists(QStringLiteral("/dev/full")))
            QSKIP("this system has no /dev/full");
        QByteArray original;
        for (int i = 0; i < 3000; ++i)
            original.append(char(i * 7));
        writeFile(m_path, original);
        QVERIFY(QFile::link(QStringLiteral("/dev/full"), m_path + QLatin1Char('_')));
        QCOMPARE(narrow ? NarrowTo8Bit(m_path) : WidenTo16Bit(m_path), 0);
        QCOMPARE(readFile(m_path), original);
        QVERIFY(!QFileInfo(m_path + QLatin1Char('_')).isSymLink());
        QVERIFY(!QFile::exists(m_path + QLatin1Char('_')));
    }

private:
    QTemporaryDir m_dir;
    QString m_path;
};

QTEST_GUILESS_MAIN(SampleWidthTest)
#include "sample_width_test.moc"
