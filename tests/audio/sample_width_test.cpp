// The in-place rewriters between 16-bit and 8-bit samples.

#include "audio/sample_width.h"
#include "tests/support/test_files.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

class SampleWidthTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_path = m_dir->filePath(QStringLiteral("orv1.pcm"));
    }

    void rewritesTheBytes_data()
    {
        QTest::addColumn<bool>("narrow");
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");
        // 0, 32767, -32768 and -128 as 16-bit samples, and their 8-bit forms.
        const QByteArray wide = QByteArray::fromHex("0000ff7f008080ff"), narrow = QByteArray::fromHex("80ff007f");
        QTest::newRow("narrow") << true << wide << narrow;
        QTest::newRow("widen") << false << narrow << QByteArray::fromHex("0000007f008000ff");
        QTest::newRow("odd length") << true << QByteArray::fromHex("0001 00ff 55") << QByteArray::fromHex("817f");
        QTest::newRow("empty") << true << QByteArray() << QByteArray();
        // Narrowing reads blocks of 512 bytes and widening blocks of 256: both cross them.
        QByteArray samples, narrowed, widened;
        for (int i = 0; i < 700; ++i) {
            const char low = char(i * 7), high = char(i * 13);
            samples.append(low).append(high);
            narrowed.append(char(high ^ 0x80));
            widened.append('\0').append(high);
        }
        QTest::newRow("narrow 700") << true << samples << narrowed;
        QTest::newRow("widen 700") << false << narrowed << widened;
    }

    void rewritesTheBytes()
    {
        QFETCH(bool, narrow);
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        QVERIFY(TestFiles::write(m_path, before));
        QCOMPARE(narrow ? NarrowTo8Bit(m_path) : WidenTo16Bit(m_path), 1);
        QCOMPARE(TestFiles::read(m_path), after);
        QVERIFY(!QFile::exists(m_path + '_'));
    }

    // The original stays untouched and no temporary is left when the temporary "_" file
    // cannot be made or written whole.
    void failuresKeepTheOriginal_data()
    {
        QTest::addColumn<bool>("narrow");
        QTest::addColumn<QString>("obstacle");
        for (const bool narrow : {true, false}) {
            for (const char *obstacle : {"missing file", "temporary is a folder", "full disk"})
                QTest::addRow("%s, %s", narrow ? "narrow" : "widen", obstacle) << narrow << QString(obstacle);
        }
    }

    void failuresKeepTheOriginal()
    {
        QFETCH(bool, narrow);
        QFETCH(QString, obstacle);
        const QByteArray original = QByteArray(3001, 'x');
        if (obstacle != "missing file")
            QVERIFY(TestFiles::write(m_path, original));
        if (obstacle == "temporary is a folder")
            QVERIFY(QDir().mkdir(m_path + '_'));
        else if (obstacle == "full disk")
            QVERIFY(QFile::link(QStringLiteral("/dev/full"), m_path + '_'));
        QCOMPARE(narrow ? NarrowTo8Bit(m_path) : WidenTo16Bit(m_path), 0);
        QCOMPARE(TestFiles::read(m_path), obstacle == "missing file" ? "<missing>" : original);
        const QFileInfo temporary(m_path + '_');
        QVERIFY(obstacle == "temporary is a folder" ? temporary.isDir() : !temporary.exists() && !temporary.isSymLink());
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
};

QTEST_GUILESS_MAIN(SampleWidthTest)
#include "sample_width_test.moc"
