// The To box and the History and Recorded Messages dialogs, on a real frame and form.

#include "records/history_dialog.h"
#include "records/recipient_history.h"
#include "records/recorded_messages_dialog.h"
#include "records/sent_records.h"
#include "resources/resource_ids.h"
#include "tests/support/form_harness.h"
#include "tests/support/test_files.h"
#include "tests/support/url_catcher.h"

#include <QComboBox>
#include <QTableWidget>
#include <QTest>

namespace {

// The texts of a list, a table or a combo box, row by row, in one column.
QStringList texts(const QAbstractItemModel *model, int col = 0)
{
    QStringList result;
    for (int row = 0; row < model->rowCount(); ++row)
        result << model->index(row, col).data().toString();
    return result;
}

}  // namespace

class RecordsUiTest : public QObject
{
    Q_OBJECT

private slots:
    void historyInTheBoxAndTheDialog()
    {
        FormHarness h;
        const QAbstractItemModel *toBox = h.view().findChild<QComboBox *>(QString::number(Ids::RecipientCombo))->model();
        const QString path = RecipientHistory(h.programFolder()).path();
        const QString k254(254, QLatin1Char('k')), k46(46, QLatin1Char('k'));
        QVERIFY(TestFiles::write(path, "zed@x.org\r\nBob@y.org, cy@z.org\n\n   al@w.org tail\n" + QByteArray(300, 'k') + '\n'));
        h.setField(Ids::RecipientCombo, QStringLiteral("typed@x.org"));
        h.view().LoadRecipientHistory();
        // The box: first words sorted without regard to case; the typed text stays.
        QCOMPARE(texts(toBox), (QStringList{"al@w.org", "Bob@y.org,", k46, k254, "zed@x.org"}));
        QCOMPARE(h.field(Ids::RecipientCombo), QStringLiteral("typed@x.org"));

        // The dialog: whole lines in file order. Delete with nothing selected still asks,
        // and rewrites the file without its empty line.
        CHistoryDialog dialog(h.programFolder(), &h.prompter());
        QCOMPARE(texts(dialog.list()->model()), (QStringList{"zed@x.org", "Bob@y.org, cy@z.org", "   al@w.org tail", k254, k46}));
        h.prompter().answerNext(true);
        dialog.OnDelete();
        QCOMPARE(TestFiles::read(path), "zed@x.org\nBob@y.org, cy@z.org\n   al@w.org tail\n" + k254.toLatin1() + '\n' +
                                            k46.toLatin1() + '\n');
        for (const int row : {0, 3})
            dialog.list()->setRangeSelected(QTableWidgetSelectionRange(row, 0, row, 0), true);
        // On a full disk nothing is deleted, and the dialog says so.
        const QByteArray kept = TestFiles::read(path);
        h.prompter().answerNext(true);
        TestFiles::withSizeLimit(20, [&] { dialog.OnDelete(); });
        QCOMPARE(h.prompter().shown.last(), QStringLiteral("Cannot save the history: File too large"));
        QVERIFY(TestFiles::read(path) == kept && dialog.list()->rowCount() == 5);
        for (const int row : {0, 3})
            dialog.list()->setRangeSelected(QTableWidgetSelectionRange(row, 0, row, 0), true);
        h.prompter().answerNext(true);
        dialog.OnDelete();
        QCOMPARE(texts(dialog.list()->model()), (QStringList{"Bob@y.org, cy@z.org", "   al@w.org tail", k46}));
        QCOMPARE(TestFiles::read(path), "Bob@y.org, cy@z.org\n   al@w.org tail\n" + k46.toLatin1() + '\n');

        // Clear from the command deletes the file; the box follows when the dialog ends.
        h.prompter().onNextDialog([&h](QDialog &d) {
            h.prompter().answerNext(true);
            dynamic_cast<CHistoryDialog &>(d).OnClear();
            return int(QDialog::Rejected);
        });
        h.view().OnCommand(Ids::CmdHistory);
        QVERIFY(!QFile::exists(path) && texts(toBox).isEmpty());
        const QString del = QStringLiteral("Do you want to delete the selected entries?");
        QCOMPARE(h.prompter().shown, (QStringList{del, del, "Cannot save the history: File too large", del,
                                                  "Do you want to clear the history list?"}));

        // Recipients are added once, whatever their case; the next start offers first words.
        for (const char *to : {"Bob@Example.org", "bob@example.ORG", "a@x.org, b@y.org"})
            h.view().AddRecipientToHistory(QString::fromLatin1(to));
        QCOMPARE(TestFiles::read(path), QByteArray("Bob@Example.org\na@x.org, b@y.org\n"));
        QCOMPARE(texts(toBox), (QStringList{"a@x.org, b@y.org", "Bob@Example.org"}));
        h.view().LoadRecipientHistory();
        QCOMPARE(texts(toBox), (QStringList{"a@x.org,", "Bob@Example.org"}));
    }

    void recordedMessages()
    {
        FormHarness h;
        UrlCatcher catcher(QStringLiteral("file"));
        QDir outbox(h.outbox());
        QVERIFY(outbox.mkpath(QStringLiteral(".")));
        // An empty outbox: nothing to play, deleting nothing asks nothing (both counted below).
        CRecordedMessagesDialog empty(h.programFolder(), &h.prompter());
        empty.OnPlayFile();
        empty.OnDeleteFiles();
        for (const char *name : {"aorv5.wav", "note.wav", "orv3.pcm", "orv3.wav.tmp", "orv9.wav.info", "orv1.wav",
                                 "orv2.wav", "orv3.wav", "orv3.wav.info"})
            QVERIFY(TestFiles::write(outbox.filePath(QString::fromLatin1(name)), "x"));
        QVERIFY(outbox.mkdir(QStringLiteral("orv6.wav"))
                && TestFiles::write(outbox.filePath(QStringLiteral("orv1.wav.info")), "a@x.org, b@y.org"));
        CRecordedMessagesDialog dialog(h.programFolder(), &h.prompter());
        dialog.show();
        QCOMPARE(texts(dialog.list()->model()), (QStringList{"orv1.wav", "orv2.wav", "orv3.wav"}));
        QCOMPARE(texts(dialog.list()->model(), 1), (QStringList{"a@x.org,", "", "x"}));
        const QDateTime date = QDateTime::fromString(dialog.list()->item(0, 2)->text(), QStringLiteral("MM/dd/yyyy HH:mm:ss"));
        QVERIFY(qAbs(date.secsTo(QDateTime::currentDateTime())) < 60);

        // Play File and a double-click open the voice file.
        dialog.list()->selectRow(1);
        dialog.OnPlayFile();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        const QPoint cell = dialog.list()->visualItemRect(dialog.list()->item(0, 0)).center();
        QTest::mouseClick(dialog.list()->viewport(), Qt::LeftButton, {}, cell);
        QTest::mouseDClick(dialog.list()->viewport(), Qt::LeftButton, {}, cell);
        QCOMPARE(catcher.urls, (QList<QUrl>{QUrl::fromLocalFile(outbox.filePath(QStringLiteral("orv2.wav"))),
                                            QUrl::fromLocalFile(outbox.filePath(QStringLiteral("orv1.wav")))}));

        // Del File(s): each voice file with its record, orv2.wav without one; nothing else.
        dialog.list()->clearSelection();
        dialog.list()->setRangeSelected(QTableWidgetSelectionRange(1, 0, 2, 2), true);
        h.prompter().answerNext(false);
        dialog.OnDeleteFiles();
        QCOMPARE(outbox.entryList(QDir::Files).size(), 10);
        h.prompter().answerNext(true);
        dialog.OnDeleteFiles();
        QCOMPARE(texts(dialog.list()->model()), QStringList{"orv1.wav"});
        QCOMPARE(outbox.entryList(QDir::Files, QDir::Name), (QStringList{"aorv5.wav", "note.wav", "orv1.wav", "orv1.wav.info",
                                                                          "orv3.pcm", "orv3.wav.tmp", "orv9.wav.info"}));
        QVERIFY(!SentMessages::Delete(h.outbox(), QStringLiteral("note.wav"))
                && !SentMessages::Delete(h.outbox(), QStringLiteral("orv6.wav/../../orv1.wav")));
        QCOMPARE(h.prompter().shown, QStringList(2, QStringLiteral("Do you want to delete the selected files?")));

        // Attach File appends the chosen path and a comma; with no row chosen just the comma.
        h.setField(Ids::AttachmentsEdit, QStringLiteral("/tmp/a.txt,"));
        for (const int row : {-1, 0}) {
            h.prompter().onNextDialog([row](QDialog &d) {
                auto &records = dynamic_cast<CRecordedMessagesDialog &>(d);
                records.list()->selectRow(row);
                records.OnAttachFile();
                return records.result();
            });
            h.view().OnCommand(Ids::CmdSentMessages);
        }
        QCOMPARE(h.field(Ids::AttachmentsEdit), QStringLiteral("/tmp/a.txt,,") + outbox.filePath(QStringLiteral("orv1.wav")) + ',');
    }
};

QTEST_MAIN(RecordsUiTest)
#include "test_records_ui.moc"
