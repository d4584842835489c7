// The in-place rewriters between 16-bit and 8-bit samples: an 8-bit u stands for (u - 128) * 256.

#include "audio/sample_width.h"
#include "tests/support/test_files.h"

#include <QTemporaryDir>
#include <QTest>

class SampleWidthTest : public QObject
{
    Q_OBJECT

private slots:
    void rewritesWholeOrNotAtAll()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("orv1.pcm")), temporary = path + '_';
        // Every high byte, across the blocks of 512 bytes (narrowing) and 256 (widening); an odd last byte goes.
        QByteArray samples, narrowed, widened;
        for (int i = 0; i < 700; ++i) {
            samples.append(char(i * 7)).append(char(i * 13));
            narrowed.append(char(i * 13 + 128));
            widened.append('\0').append(char(i * 13));
        }
        QVERIFY(TestFiles::write(path, samples + '\x55') && NarrowTo8Bit(path) == 1);
        QCOMPARE(TestFiles::read(path), narrowed);
        QVERIFY(WidenTo16Bit(path) == 1 && !QFileInfo::exists(temporary));
        QCOMPARE(TestFiles::read(path), widened);

        // A failure keeps the original; of the temporary name only a folder that was in the way is left.
        for (const auto rewrite : {NarrowTo8Bit, WidenTo16Bit}) {
            for (const QString obstacle : {"missing file", "temporary is a folder", "full disk"}) {
                QVERIFY(TestFiles::write(path, samples) && (obstacle != "missing file" || QFile::remove(path)));
                QVERIFY(obstacle != "temporary is a folder" || QDir().mkdir(temporary));
                QVERIFY(obstacle != "full disk" || QFile::link(QStringLiteral("/dev/full"), temporary));
                QVERIFY2(rewrite(path) == 0, qPrintable(obstacle));
                QCOMPARE(TestFiles::read(path), obstacle == "missing file" ? QByteArray("<missing>") : samples);
                QCOMPARE(QFileInfo::exists(temporary) || QFileInfo(temporary).isSymLink(), obstacle.endsWith("folder"));
                QDir().rmdir(temporary);
            }
        }
    }
};

QTEST_GUILESS_MAIN(SampleWidthTest)
#include "sample_width_test.moc"
