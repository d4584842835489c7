// The history file and the sent-message records, without any widget.

#include "records/recipient_history.h"
#include "records/sent_records.h"
#include "tests/support/test_files.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <unistd.h>

class RecordsStoreTest : public QObject
{
    Q_OBJECT

private slots:
    void historyAppendsAndRewritesWhole();
    void missingRecordAndDateFormat();
};

void RecordsStoreTest::historyAppendsAndRewritesWhole()
{
    QTemporaryDir dir;
    const RecipientHistory history(dir.path());
    // A file edited by hand may lack its last line end.
    QVERIFY(TestFiles::write(history.path(), "a@x.org, b@y.org"));
    QVERIFY(history.append(QStringLiteral("c@z.org")));
    const QByteArray before("a@x.org, b@y.org\nc@z.org\n");
    QCOMPARE(TestFiles::read(history.path()), before);

    // A second name for the old file keeps the old text: the new one was renamed over it.
    const QString oldName = dir.filePath(QStringLiteral("old-history"));
    QCOMPARE(::link(QFile::encodeName(history.path()).constData(), QFile::encodeName(oldName).constData()), 0);
    QVERIFY(history.rewrite({"new1", "new 2"}).ok());
    QCOMPARE(TestFiles::read(history.path()), QByteArray("new1\nnew 2\n"));
    QCOMPARE(TestFiles::read(oldName), before);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);

    // Lines of an older version in the Windows code page read as Windows-1252 and go
    // back as they were; a full disk keeps the file whole and says why.
    const QByteArray first("caf\xe9@x.org \x93" "Caf\xe9\x94\n");
    const QByteArray legacy = first + QByteArray(300, '\xe9') + "\nnew1\n";
    QVERIFY(TestFiles::write(history.path(), legacy));
    QList<QByteArray> lines;
    for (const RecipientHistory::Entry &entry : history.entries())
        lines << entry.bytes;
    QCOMPARE(history.entries().first().text, QString::fromUtf8("café@x.org “Café”"));
    QCOMPARE(history.recipients().mid(1), (QStringList{QString(254, QChar(0xe9)), QString(46, QChar(0xe9)), "new1"}));
    DurableFile::Result full;
    TestFiles::withSizeLimit(200, [&] { full = history.rewrite(lines); });
    QCOMPARE(full.cause, QStringLiteral("File too large"));
    QCOMPARE(TestFiles::read(history.path()), legacy);
    QVERIFY(history.rewrite(lines).ok());
    QCOMPARE(TestFiles::read(history.path()), first + QByteArray(254, '\xe9') + '\n' + QByteArray(46, '\xe9') + "\nnew1\n");

    // Pieces of 254 bytes never split a character.
    QCOMPARE(RecipientHistory::splitIntoPieces(QByteArray(253, 'a') + "\xc3\xa9" "b\n"),
             (QList<QByteArray>{QByteArray(253, 'a'), "\xc3\xa9" "b\n"}));
}

// What records hold is fuzzed (tests/fuzz/sent_records.cpp).
void RecordsStoreTest::missingRecordAndDateFormat()
{
    QTemporaryDir dir;
    QCOMPARE(SentMessages::ReadSentTo(dir.filePath(QStringLiteral("r.info"))), QString());
    QCOMPARE(SentMessages::FormatDate(QDateTime(QDate(2023, 12, 31), QTime(7, 8, 9))),
             QStringLiteral("12/31/2023 07:08:09"));
}

QTEST_GUILESS_MAIN(RecordsStoreTest)
#include "test_records_store.moc"
