#include "app/leftovers.h"
#include "tests/support/test_files.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

class LeftoversTest : public QObject
{
    Q_OBJECT

private slots:
    void deletesRecordingsAndTemporariesOnly()
    {
        QTemporaryDir program;
        QDir folder(program.path());
        // A missing outbox is not an error and is not created.
        DeleteLeftovers(program.path());
        QVERIFY(!folder.exists(QStringLiteral("emsg")));

        const QStringList gone = {"emsg/orv123.pcm", "emsg/x.pcm.tmp", "emsg/a.tmp2", "emsg/orv9.pcm_", "emsg/ro.pcm"};
        // A file of the same kind beside the outbox is not the outbox's.
        const QStringList kept = {"emsg/orv123.wav", "emsg/orv123.wav.info", "emsg/notes.txt", "orv1.pcm"};
        QVERIFY(folder.mkdir(QStringLiteral("emsg")));
        for (const QString &name : gone + kept)
            QVERIFY(TestFiles::write(folder.filePath(name), "x"));
        QFile::setPermissions(folder.filePath(QStringLiteral("emsg/ro.pcm")), QFile::ReadOwner);
        DeleteLeftovers(program.path());
        for (const QString &name : gone)
            QVERIFY2(!folder.exists(name), qPrintable(name));
        for (const QString &name : kept)
            QVERIFY2(folder.exists(name), qPrintable(name));
    }
};

QTEST_GUILESS_MAIN(LeftoversTest)
#include "test_leftovers.moc"
