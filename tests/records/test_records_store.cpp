// The history file and the sent-message records, without any widget.

#include "records/recipient_history.h"
#include "records/sent_records.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

namespace {

void writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    QCOMPARE(file.write(content), content.size());
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

}  // namespace

class RecordsStoreTest : public QObject
{
    Q_OBJECT

private slots:
    void missingHistoryIsEmpty();
    void longLinesAreReadInPieces();
    void piecesNeverSplitACharacter();
    void eitherLineEndReads();
    void boxOffersFirstWordDialogShowsWholeLine();
    void appendCreatesAndKeepsLinesApart();
    void rewriteReplacesTheFileThroughANewOne();
    void rewriteIntoMissingFolderFails();

    void recordHoldsTheRecipientExactly();
    void listShowsOnlyVoiceFiles();
    void listOfMissingOrEmptyOutboxIsEmpty();
    void sentToIsTheFirstWordBounded();
    void dateIsFormattedMonthFirst();
    void deleteRemovesVoiceFileAndRecordOnly();
};

void RecordsStoreTest::missingHistoryIsEmpty()
{
    QTemporaryDir dir;
    RecipientHistory history(dir.path());
    QCOMPARE(history.path(), QDir(dir.path()).filePath(QStringLiteral("history.txt")));
    QVERIFY(history.recipients().isEmpty());
    QVERIFY(history.entries().isEmpty());
    QVERIFY(history.remove());
    QVERIFY(!QFile::exists(history.path()));
}

void RecordsStoreTest::longLinesAreReadInPieces()
{
    QTemporaryDir dir;
    RecipientHistory history(dir.path());
    const QByteArray longLine(300, 'x');
    const QByteArray exact(254, 'y');
    writeFile(history.path(), longLine + '\n' + exact + '\n' + "z@q.org\n");

    const QStringList expected = {QString(254, QLatin1Char('x')), QString(46, QLatin1Char('x')),
                                  QString(254, QLatin1Char('y')), QStringLiteral("z@q.org")};
    QCOMPARE(history.recipients(), expected);
    QCOMPARE(history.entries(), expected);
}

void RecordsStoreTest::piecesNeverSplitACharacter()
{
    const QByteArray line = QByteArray(253, 'a') + "\xc3\xa9" + "b\n";
    const QList<QByteArray> pieces = RecipientHistory::splitIntoPieces(line);
    QCOMPARE(pieces.size(), 2);
    QCOMPARE(pieces[0], QByteArray(253, 'a'));
    QCOMPARE(pieces[1], QByteArray("\xc3\xa9" "b\n"));
}

void RecordsStoreTest::eitherLineEndReads()
{
    QTemporaryDir dir;
    RecipientHistory history(dir.path());
    writeFile(history.path(), "a@x.org\r\nb@y.org\n\r\n\nc@z.org");
    const QStringList expected = {QStringLiteral("a@x.org"), QStringLiteral("b@y.org"), QStringLiteral("c@z.org")};
    QCOMPARE(history.entries(), expected);
    QCOMPARE(history.recipients(), expected);
}

void RecordsStoreTest::boxOffersFirstWordDialogShowsWholeLine()
{
    QTemporaryDir dir;
    RecipientHistory history(dir.path());
    writeFile(history.path(), QByteArray("a@x.org, b@y.org\n   lead@x.org tail\n   \nnul@x.org") + '\0' +
                                  QByteArray("hidden\n"));
    QCOMPARE(history.recipients(),
             QStringList({QStringLiteral("a@x.org,"), QStringLiteral("lead@x.org"), QStringLiteral("nul@x.org")}));
    QCOMPARE(history.entries(), QStringList({QStringLiteral("a@x.org, b@y.org"), QStringLiteral("   lead@x.org tail"),
                                             QStringLiteral("   "), QStringLiteral("nul@x.org")}));
}

void RecordsStoreTest::appendCreatesAndKeepsLinesApart()
{
    QTemporaryDir dir;
    RecipientHistory history(dir.path());
    QVERIFY(history.append(QStringLiteral("a@x.org, b@y.org")));
    QVERIFY(history.append(QStringLiteral("c@z.org")));
    QCOMPARE(readFile(history.path()), QByteArray("a@x.org, b@y.org\nc@z.org\n"));

    // A file edited by hand may lack its last line end.
    writeFile(history.path(), "d@w.org");
    QVERIFY(history.append(QStringLiteral("e@v.org")));
    QCOMPARE(history.entries(), QStringList({QStringLiteral("d@w.org"), QStringLiteral("e@v.org")}));
}

void RecordsStoreTest::rewriteReplacesTheFileThroughANewOne()
{
    QTemporaryDir dir;
    RecipientHistory history(dir.path());
    writeFile(history.path(), "old1\nold2\n");
    // A second name for the old file: an in-place rewrite would change it too, a new
    // file renamed over the old name leaves it alone.
    const QString oldName = QDir(dir.path()).filePath(QStringLiteral("old-history"));
    QCOMPARE(::link(QFile::encodeName(history.path()).constData(), QFile::encodeName(oldName).constData()), 0);

    QVERIFY(history.rewrite({QStringLiteral("new1"), QStringLiteral("new 2")}));
    QCOMPARE(readFile(history.path()), QByteArray("new1\nnew 2\n"));
    QCOMPARE(readFile(oldName), QByteArray("old1\nold2\n"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name),
             QStringList({QStringLiteral("history.txt"), QStringLiteral("old-history")}));

    QVERIFY(history.rewrite({}));
    QCOMPARE(readFile(history.path()), QByteArray());
}

void RecordsStoreTest::rewriteIntoMissingFolderFails()
{
    QTemporaryDir dir;
    RecipientHistory history(QDir(dir.path()).filePath(QStringLiteral("gone")));
    QVERIFY(!history.rewrite({QStringLiteral("a")}));
    QVERIFY(!history.append(QStringLiteral("a")));
    QVERIFY(!QFile::exists(history.path()));
}

void RecordsStoreTest::recordHoldsTheRecipientExactly()
{
    QTemporaryDir dir;
    const QString voice = QDir(dir.path()).filePath(QStringLiteral("orv1.wav"));
    QCOMPARE(SentRecordPath(voice), voice + QStringLiteral(".info"));
    QVERIFY(WriteSentRecord(SentRecordPath(voice), QStringLiteral("a@x.org, b@y.org")));
    QCOMPARE(readFile(SentRecordPath(voice)), QByteArray("a@x.org, b@y.org"));
    QVERIFY(WriteSentRecord(SentRecordPath(voice), QStringLiteral("c@z.org")));
    QCOMPARE(readFile(SentRecordPath(voice)), QByteArray("c@z.org"));
    QCOMPARE(SentMessages::ReadSentTo(SentRecordPath(voice)), QStringLiteral("c@z.org"));
}

void RecordsStoreTest::listShowsOnlyVoiceFiles()
{
    QTemporaryDir program;
    const QString outbox = SentMessages::OutboxFolder(program.path());
    QCOMPARE(outbox, QDir(program.path()).filePath(QStringLiteral("emsg")));
    QVERIFY(QDir().mkpath(outbox));
    QDir folder(outbox);
    for (const char *name : {"orv2.wav", "orv1.wav", "orv1.pcm", "x.wav", "orv3.wav.tmp", "orv9.wav.info",
                             "orv4.wav.info.wav.bak", "aorv5.wav"})
        writeFile(folder.filePath(QString::fromLatin1(name)), "RIFF");
    writeFile(folder.filePath(QStringLiteral("orv2.wav.info")), "a@x.org, b@y.org");
    QVERIFY(folder.mkdir(QStringLiteral("orv6.wav")));

    const QDateTime before = QDateTime::currentDateTime().addSecs(-5);
    const QList<SentMessages::Entry> entries = SentMessages::List(outbox);
    QCOMPARE(entries.size(), 2);
    QCOMPARE(entries[0].fileName, QStringLiteral("orv1.wav"));
    QCOMPARE(entries[0].sentTo, QString());
    QCOMPARE(entries[1].fileName, QStringLiteral("orv2.wav"));
    QCOMPARE(entries[1].sentTo, QStringLiteral("a@x.org,"));
    for (const SentMessages::Entry &entry : entries) {
        QVERIFY(entry.created.isValid());
        QVERIFY(entry.created >= before && entry.created <= QDateTime::currentDateTime().addSecs(5));
    }

    QVERIFY(SentMessages::IsVoiceFileName(QStringLiteral("orv.wav")));
    QVERIFY(!SentMessages::IsVoiceFileName(QStringLiteral("orv1.wav.info")));
    QVERIFY(!SentMessages::IsVoiceFileName(QStringLiteral("orv/../x.wav")));
}

void RecordsStoreTest::listOfMissingOrEmptyOutboxIsEmpty()
{
    QTemporaryDir program;
    QVERIFY(SentMessages::List(SentMessages::OutboxFolder(program.path())).isEmpty());
    QVERIFY(QDir(program.path()).mkdir(QStringLiteral("emsg")));
    QVERIFY(SentMessages::List(SentMessages::OutboxFolder(program.path())).isEmpty());
}

void RecordsStoreTest::sentToIsTheFirstWordBounded()
{
    QTemporaryDir dir;
    const QString record = QDir(dir.path()).filePath(QStringLiteral("r.info"));
    QCOMPARE(SentMessages::ReadSentTo(record), QString());

    writeFile(record, "");
    QCOMPARE(SentMessages::ReadSentTo(record), QString());
    writeFile(record, " \t\r\n  first@x.org second@y.org");
    QCOMPARE(SentMessages::ReadSentTo(record), QStringLiteral("first@x.org"));

    // Huge record without blanks: cut to the bound.
    writeFile(record, QByteArray(10 * 1024 * 1024, 'h'));
    QCOMPARE(SentMessages::ReadSentTo(record), QString(SentMessages::SentToBytes, QLatin1Char('h')));

    // Binary record: bytes that are not blank space, cut to the bound.
    QByteArray binary;
    for (int i = 0; i < 5000; ++i)
        binary += char(0x80 + (i * 7) % 0x7f);
    writeFile(record, binary);
    const QString word = SentMessages::ReadSentTo(record);
    QVERIFY(!word.isEmpty());
    QVERIFY(word.toUtf8().size() <= 3 * SentMessages::SentToBytes);

    // The cut never splits a character.
    writeFile(record, QByteArray(SentMessages::SentToBytes - 1, 'a') + "\xc3\xa9" + "tail");
    QCOMPARE(SentMessages::ReadSentTo(record), QString(SentMessages::SentToBytes - 1, QLatin1Char('a')));

    // A NUL ends the word as it would end a C string.
    writeFile(record, QByteArray("nul@x.org") + '\0' + "more");
    QCOMPARE(SentMessages::ReadSentTo(record), QStringLiteral("nul@x.org"));
}

void RecordsStoreTest::dateIsFormattedMonthFirst()
{
    const QDateTime time(QDate(2024, 3, 5), QTime(7, 8, 9));
    QCOMPARE(SentMessages::FormatDate(time), QStringLiteral("03/05/2024 07:08:09"));
    const QDateTime evening(QDate(2023, 12, 31), QTime(23, 59, 58));
    QCOMPARE(SentMessages::FormatDate(evening), QStringLiteral("12/31/2023 23:59:58"));
}

void RecordsStoreTest::deleteRemovesVoiceFileAndRecordOnly()
{
    QTemporaryDir program;
    const QString outbox = SentMessages::OutboxFolder(program.path());
    QVERIFY(QDir().mkpath(outbox));
    QDir folder(outbox);
    for (const char *name : {"orv1.wav", "orv1.wav.info", "orv2.wav", "orv2.pcm", "x.wav"})
        writeFile(folder.filePath(QString::fromLatin1(name)), "data");
    writeFile(QDir(program.path()).filePath(QStringLiteral("orv3.wav")), "outside");

    QVERIFY(SentMessages::Delete(outbox, QStringLiteral("orv1.wav")));
    QVERIFY(SentMessages::Delete(outbox, QStringLiteral("orv2.wav")));  // no record: not an error
    QVERIFY(!SentMessages::Delete(outbox, QStringLiteral("x.wav")));
    QVERIFY(!SentMessages::Delete(outbox, QStringLiteral("../orv3.wav")));
    QCOMPARE(folder.entryList(QDir::Files, QDir::Name), QStringList({QStringLiteral("orv2.pcm"), QStringLiteral("x.wav")}));
    QVERIFY(QFile::exists(QDir(program.path()).filePath(QStringLiteral("orv3.wav"))));
}

QTEST_GUILESS_MAIN(RecordsStoreTest)
#include "test_records_store.moc"
