// The in-place rewriters between 16-bit and 8-bit samples.

#include "audio/sample_width.h"
#include "tests/support/test_files.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

class SampleWidthTest : public QObject
{
    Q_OBJECT

private slots:
    void rewrite_data()
    {
        QTest::addColumn<bool>("narrow");
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<QString>("obstacle");  // why the rewrite must fail and keep the original
        // 0, 32767, -32768 and -128 as 16-bit samples, and their 8-bit forms.
        const QByteArray wide = QByteArray::fromHex("0000ff7f008080ff"), narrow = QByteArray::fromHex("80ff007f");
        QTest::newRow("narrow") << true << wide << narrow << "";
        QTest::newRow("widen") << false << narrow << QByteArray::fromHex("0000007f008000ff") << "";
        QTest::newRow("odd length") << true << QByteArray::fromHex("000100ff55") << QByteArray::fromHex("817f") << "";
        // Narrowing reads blocks of 512 bytes and widening blocks of 256: both cross them.
        QByteArray samples, narrowed, widened;
        for (int i = 0; i < 700; ++i) {
            samples.append(char(i * 7)).append(char(i * 13));
            narrowed.append(char(i * 13 + 128));
            widened.append('\0').append(char(i * 13));
        }
        QTest::newRow("narrow 700") << true << samples << narrowed << "";
        QTest::newRow("widen 700") << false << narrowed << widened << "";
        for (const bool n : {true, false}) {
            for (const char *obstacle : {"missing file", "temporary is a folder", "full disk"})
                QTest::addRow("%s, %s", n ? "narrow" : "widen", obstacle) << n << samples << samples << obstacle;
        }
    }

    void rewrite()
    {
        QFETCH(bool, narrow);
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        QFETCH(QString, obstacle);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("orv1.pcm")), temporary = path + '_';
        if (obstacle == "missing file")
            after = "<missing>";
        else
            QVERIFY(TestFiles::write(path, before));
        if (obstacle == "temporary is a folder")
            QVERIFY(QDir().mkdir(temporary));
        else if (obstacle == "full disk")
            QVERIFY(QFile::link(QStringLiteral("/dev/full"), temporary));
        QCOMPARE(narrow ? NarrowTo8Bit(path) : WidenTo16Bit(path), obstacle.isEmpty() ? 1 : 0);
        QCOMPARE(TestFiles::read(path), after);
        // Only a folder that was in the way is left; no temporary, no link.
        QCOMPARE(QFileInfo(temporary).isDir(), obstacle == "temporary is a folder");
        QVERIFY(QFileInfo(temporary).isDir() || (!QFileInfo::exists(temporary) && !QFileInfo(temporary).isSymLink()));
    }
};

QTEST_GUILESS_MAIN(SampleWidthTest)
#include "sample_width_test.moc"
