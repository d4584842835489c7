// The history file and the sent-message records, without any widget.

#include "records/recipient_history.h"
#include "records/sent_records.h"
#include "tests/support/test_files.h"

#include <QTemporaryDir>
#include <QTest>

class RecordsStoreTest : public QObject
{
    Q_OBJECT

private slots:
    void historyAppendsAndKeepsLegacyLines()
    {
        QTemporaryDir dir;
        const RecipientHistory history(dir.path());
        // A file edited by hand may lack its last line end.
        QVERIFY(TestFiles::write(history.path(), "a@x.org, b@y.org"));
        QVERIFY(history.append(QStringLiteral("c@z.org")));
        QCOMPARE(TestFiles::read(history.path()), QByteArray("a@x.org, b@y.org\nc@z.org\n"));

        // Lines of an older version in the Windows code page read as Windows-1252, and go
        // back as they were, cut into pieces of 254 bytes.
        const QByteArray first("caf\xe9@x.org \x93" "Caf\xe9\x94\n");
        QVERIFY(TestFiles::write(history.path(), first + QByteArray(300, '\xe9') + "\nnew1\n"));
        QList<QByteArray> lines;
        for (const RecipientHistory::Entry &entry : history.entries())
            lines << entry.bytes;
        QCOMPARE(history.entries().first().text, QString::fromUtf8("café@x.org “Café”"));
        QCOMPARE(history.recipients().mid(1),
                 (QStringList{QString(254, QChar(0xe9)), QString(46, QChar(0xe9)), "new1"}));
        QVERIFY(history.rewrite(lines).ok());
        QCOMPARE(TestFiles::read(history.path()),
                 first + QByteArray(254, '\xe9') + '\n' + QByteArray(46, '\xe9') + "\nnew1\n");
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"history.txt"});  // no temporary

        // Pieces of UTF-8 text never split a character.
        QCOMPARE(RecipientHistory::splitIntoPieces(QByteArray(253, 'a') + "\xc3\xa9" "b\n"),
                 (QList<QByteArray>{QByteArray(253, 'a'), "\xc3\xa9" "b\n"}));
    }

    void sentRecordDate()
    {
        QCOMPARE(SentMessages::FormatDate(QDateTime(QDate(2023, 12, 31), QTime(7, 8, 9))),
                 QStringLiteral("12/31/2023 07:08:09"));
    }
};

QTEST_GUILESS_MAIN(RecordsStoreTest)
#include "test_records_store.moc"
