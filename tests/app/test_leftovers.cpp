#include "app/leftovers.h"
#include "settings/settings_store.h"
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
        QTemporaryDir program, elsewhere;
        QDir folder(program.path());
        // A missing outbox is not an error and is not created.
        DeleteLeftovers(program.path());
        QVERIFY(!folder.exists(QStringLiteral("emsg")));

        const QStringList gone = {"emsg/orv123.pcm", "emsg/x.pcm.tmp", "emsg/a.tmp2", "emsg/orv9.pcm_", "emsg/ro.pcm",
                                  // Temporaries of interrupted writes, Qt's and ours.
                                  "profiles.bin.aB3xYz", "history.txt.Q7w2Er", "profiles.bin.Zq81Xw.lock"};
        // A file of the same kind beside the outbox is not the outbox's; a name given by hand is no temporary.
        const QStringList kept = {"emsg/orv123.wav", "emsg/orv123.wav.info", "emsg/notes.txt", "orv1.pcm",
                                  "profiles.bin", "profiles.bin.backup", "history.txt.old"};
        QVERIFY(folder.mkdir(QStringLiteral("emsg")));
        for (const QString &name : gone + kept)
            QVERIFY(TestFiles::write(folder.filePath(name), "x"));
        QFile::setPermissions(folder.filePath(QStringLiteral("emsg/ro.pcm")), QFile::ReadOwner);
        const QString settings = SettingsStore::location() + QStringLiteral(".8uYt5R");
        QVERIFY(QDir().mkpath(QFileInfo(settings).path()) && TestFiles::write(settings, "x"));
        // Links named like leftovers go as links; what they point to keeps its permissions.
        const QString target = QDir(elsewhere.path()).filePath(QStringLiteral("mine.pcm"));
        QVERIFY(TestFiles::write(target, "mine"));
        QFile::setPermissions(target, QFile::ReadOwner);
        for (const QString link : {"emsg/link.pcm", "emsg/dangling.tmp", "history.txt.L1nk3d"})
            QVERIFY(QFile::link(link.startsWith("emsg/dangling") ? target + "-gone" : target, folder.filePath(link)));

        DeleteLeftovers(program.path());
        for (const QString &name : gone + QStringList{"emsg/link.pcm", "emsg/dangling.tmp", "history.txt.L1nk3d"})
            QVERIFY2(!QFileInfo(folder.filePath(name)).isSymLink() && !folder.exists(name), qPrintable(name));
        for (const QString &name : kept)
            QVERIFY2(folder.exists(name), qPrintable(name));
        QVERIFY(!QFile::exists(settings));
        QCOMPARE(TestFiles::read(target), QByteArray("mine"));
        QCOMPARE(QFile::permissions(target) & QFileDevice::WriteOwner, QFileDevice::Permissions());
    }
};

QTEST_GUILESS_MAIN(LeftoversTest)
#include "test_leftovers.moc"
