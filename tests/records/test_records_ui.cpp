// The To box and the History and Recorded Messages dialogs, on a real frame and form.

#include "records/history_dialog.h"
#include "records/recipient_history.h"
#include "records/recorded_messages_dialog.h"
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
    void historyAndRecordedMessages()
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

        // The History dialog: whole lines in file order. Delete on a full disk deletes nothing and
        // says so; then the file loses the rows and its empty line.
        CHistoryDialog dialog(h.programFolder(), &h.prompter());
        QCOMPARE(texts(dialog.list()->model()), (QStringList{"zed@x.org", "Bob@y.org, cy@z.org", "   al@w.org tail", k254, k46}));
        for (int i = 0; i < 3; ++i)  // two deletes and a Clear, each answered Yes
            h.prompter().answerNext(true);
        for (const int row : {0, 3})
            dialog.list()->setRangeSelected(QTableWidgetSelectionRange(row, 0, row, 0), true);
        const QByteArray kept = TestFiles::read(path);
        TestFiles::withSizeLimit(20, [&] { dialog.OnDelete(); });
        QVERIFY(TestFiles::read(path) == kept && dialog.list()->rowCount() == 5);
        for (const int row : {0, 3})
            dialog.list()->setRangeSelected(QTableWidgetSelectionRange(row, 0, row, 0), true);
        dialog.OnDelete();
        QCOMPARE(texts(dialog.list()->model()), (QStringList{"Bob@y.org, cy@z.org", "   al@w.org tail", k46}));
        QCOMPARE(TestFiles::read(path), "Bob@y.org, cy@z.org\n   al@w.org tail\n" + k46.toLatin1() + '\n');

        // Clear from the command deletes the file; the box follows when the dialog ends.
        h.prompter().onNextDialog([](QDialog &d) {
            dynamic_cast<CHistoryDialog &>(d).OnClear();
            return int(QDialog::Rejected);
        });
        h.view().OnCommand(Ids::CmdHistory);
        QVERIFY(!QFile::exists(path) && texts(toBox).isEmpty());

        // Recipients are added once, whatever their case.
        for (const char *to : {"Bob@Example.org", "bob@example.ORG", "a@x.org, b@y.org"})
            h.view().AddRecipientToHistory(QString::fromLatin1(to));
        QCOMPARE(TestFiles::read(path), QByteArray("Bob@Example.org\na@x.org, b@y.org\n"));
        QCOMPARE(texts(toBox), (QStringList{"a@x.org, b@y.org", "Bob@Example.org"}));

        UrlCatcher catcher(QStringLiteral("file"));
        QDir outbox(h.outbox());
        QVERIFY(outbox.mkpath(QStringLiteral("orv6.wav")));
        for (const char *name : {"aorv5.wav", "note.wav", "orv3.pcm", "orv3.wav.tmp", "orv9.wav.info", "orv1.wav",
                                 "orv1.wav.info", "orv2.wav", "orv3.mp3", "orv3.mp3.info"})
            QVERIFY(TestFiles::write(outbox.filePath(QString::fromLatin1(name)), "x"));
        CRecordedMessagesDialog messages(h.programFolder(), &h.prompter());
        messages.show();
        QCOMPARE(texts(messages.list()->model()), (QStringList{"orv1.wav", "orv2.wav", "orv3.mp3"}));
        QCOMPARE(texts(messages.list()->model(), 1), (QStringList{"x", "", "x"}));
        QCOMPARE(texts(messages.list()->model(), 2).value(0),
                 QFileInfo(outbox.filePath("orv1.wav")).lastModified().toString("MM/dd/yyyy HH:mm:ss"));

        // Play File and a double-click open the voice file.
        messages.list()->selectRow(1);
        messages.OnPlayFile();
        QVERIFY(QTest::qWaitForWindowExposed(&messages));
        const QPoint cell = messages.list()->visualItemRect(messages.list()->item(0, 0)).center();
        QTest::mouseClick(messages.list()->viewport(), Qt::LeftButton, {}, cell);
        QTest::mouseDClick(messages.list()->viewport(), Qt::LeftButton, {}, cell);
        QCOMPARE(catcher.urls, (QList<QUrl>{QUrl::fromLocalFile(outbox.filePath(QStringLiteral("orv2.wav"))),
                                            QUrl::fromLocalFile(outbox.filePath(QStringLiteral("orv1.wav")))}));

        // Del File(s) waits for Yes, then deletes each voice file with its record, if any, and nothing else.
        messages.list()->clearSelection();
        messages.list()->setRangeSelected(QTableWidgetSelectionRange(1, 0, 2, 2), true);
        h.prompter().answerNext(false);
        messages.OnDeleteFiles();
        QCOMPARE(outbox.entryList(QDir::Files).size(), 10);
        h.prompter().answerNext(true);
        messages.OnDeleteFiles();
        QCOMPARE(texts(messages.list()->model()), QStringList{"orv1.wav"});
        QCOMPARE(outbox.entryList(QDir::Files, QDir::Name), (QStringList{"aorv5.wav", "note.wav", "orv1.wav", "orv1.wav.info",
                                                                          "orv3.pcm", "orv3.wav.tmp", "orv9.wav.info"}));
        const QString del = "Do you want to delete the selected entries?", files = "Do you want to delete the selected files?";
        QCOMPARE(h.prompter().shown, (QStringList{del, "Cannot save the history: File too large", del,
                                                  "Do you want to clear the history list?", files, files}));

        // Attach File appends the chosen path and a comma; with no row chosen just the comma.
        h.setField(Ids::AttachmentsEdit, QStringLiteral("/tmp/a.txt,"));
        for (const int row : {-1, 0}) {
            h.prompter().onNextDialog([row](QDialog &d) {
                dynamic_cast<CRecordedMessagesDialog &>(d).list()->selectRow(row);
                dynamic_cast<CRecordedMessagesDialog &>(d).OnAttachFile();
                return d.result();
            });
            h.view().OnCommand(Ids::CmdSentMessages);
        }
        QCOMPARE(h.field(Ids::AttachmentsEdit), QStringLiteral("/tmp/a.txt,,") + outbox.filePath(QStringLiteral("orv1.wav")) + ',');
    }
};

QTEST_MAIN(RecordsUiTest)
#include "test_records_ui.moc"
