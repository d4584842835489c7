#include "app/leftovers.h"
#include "settings/settings_store.h"
#include "tests/support/test_files.h"

#include <QTemporaryDir>
#include <QTest>

class LeftoversTest : public QObject
{
    Q_OBJECT

private slots:
    void deletesRecordingsAndTemporariesOnly()
    {
        QTemporaryDir program, elsewhere;
        QDir dir(program.path());
        DeleteLeftovers(program.path());  // a missing outbox is not an error and is not created
        QVERIFY(dir.mkdir(QStringLiteral("emsg")));

        // Temporaries of interrupted writes (Qt's, ours) go; names given by hand and files beside the outbox stay.
        const QString settings = SettingsStore::location() + QStringLiteral(".8uYt5R");
        const QStringList gone = {"emsg/orv123.pcm", "emsg/x.pcm.tmp", "emsg/a.tmp2", "emsg/orv9.pcm_", "emsg/ro.pcm",
                                  "profiles.bin.aB3xYz", "history.txt.Q7w2Er", "profiles.bin.Zq81Xw.lock", settings};
        const QStringList kept = {"emsg/orv123.wav", "emsg/orv123.wav.info", "emsg/notes.txt", "orv1.pcm",
                                  "profiles.bin", "profiles.bin.backup", "history.txt.old"};
        QVERIFY(QDir().mkpath(QFileInfo(settings).path()));
        for (const QString &name : gone + kept)
            QVERIFY(TestFiles::write(dir.filePath(name), "x"));
        QFile::setPermissions(dir.filePath(QStringLiteral("emsg/ro.pcm")), QFile::ReadOwner);
        // Links named like leftovers go as links; what they point to keeps its permissions.
        const QStringList links = {"emsg/link.pcm", "emsg/dangling.tmp", "history.txt.L1nk3d"};
        const QString target = elsewhere.filePath(QStringLiteral("mine.pcm"));
        QVERIFY(TestFiles::write(target, "mine") && QFile::setPermissions(target, QFile::ReadOwner));
        for (const QString &link : links)
            QVERIFY(QFile::link(link == links[1] ? target + "-gone" : target, dir.filePath(link)));

        DeleteLeftovers(program.path());
        for (const QString &name : gone + links + kept)
            QVERIFY2(!QFileInfo(dir, name).isSymLink() && dir.exists(name) == kept.contains(name), qPrintable(name));
        QVERIFY(TestFiles::read(target) == "mine" && !(QFile::permissions(target) & QFile::WriteOwner));
    }
};

QTEST_GUILESS_MAIN(LeftoversTest)
#include "test_leftovers.moc"
