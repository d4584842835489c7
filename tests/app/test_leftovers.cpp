#include "app/leftovers.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class LeftoversTest : public QObject
{
    Q_OBJECT

private slots:
    void deletesRecordingsAndTemporariesOnly();
    void missingOutboxIsNotAnError();
};

static void touch(const QString &path)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("x");
}

void LeftoversTest::deletesRecordingsAndTemporariesOnly()
{
    QTemporaryDir program;
    QDir outbox(program.path());
    QVERIFY(outbox.mkdir(QStringLiteral("emsg")));
    outbox.cd(QStringLiteral("emsg"));
    const QStringList gone = {QStringLiteral("orv123.pcm"), QStringLiteral("x.pcm.tmp"), QStringLiteral("a.tmp2"),
                              QStringLiteral("orv9.pcm_"), QStringLiteral("readonly.pcm")};
    const QStringList kept = {QStringLiteral("orv123.wav"), QStringLiteral("orv123.wav.info"),
                              QStringLiteral("notes.txt")};
    for (const QString &name : gone + kept)
        touch(outbox.filePath(name));
    QFile::setPermissions(outbox.filePath(QStringLiteral("readonly.pcm")), QFile::ReadOwner);
    // A file of the same kind beside the outbox is not the outbox's.
    touch(QDir(program.path()).filePath(QStringLiteral("orv1.pcm")));

    DeleteLeftovers(program.path());

    for (const QString &name : gone)
        QVERIFY2(!outbox.exists(name), qPrintable(name));
    for (const QString &name : kept)
        QVERIFY2(outbox.exists(name), qPrintable(name));
    QVERIFY(QDir(program.path()).exists(QStringLiteral("orv1.pcm")));
}

void LeftoversTest::missingOutboxIsNotAnError()
{
    QTemporaryDir program;
    DeleteLeftovers(program.path());
    QVERIFY(!QDir(program.path()).exists(QStringLiteral("emsg")));
}

QTEST_GUILESS_MAIN(LeftoversTest)
#include "test_leftovers.moc"
