// The History and Recorded Messages dialogs on real files, prompts scripted.

#include "records/history_dialog.h"
#include "records/recorded_messages_dialog.h"
#include "records/recipient_history.h"
#include "resources/resource_ids.h"
#include "tests/support/scripted_prompter.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

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

QStringList column(const QTableWidget *list, int col)
{
    QStringList texts;
    for (int row = 0; row < list->rowCount(); ++row)
        texts << (list->item(row, col) ? list->item(row, col)->text() : QString());
    return texts;
}

QPushButton *buttonOf(QWidget *dialog, int id)
{
    return dialog->findChild<QPushButton *>(QString::number(id));
}

void selectRows(QTableWidget *list, const QList<int> &rows)
{
    list->clearSelection();
    for (const int row : rows)
        list->selectionModel()->select(list->model()->index(row, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

}  // namespace

// Receives what the dialog hands to the desktop for playing.
class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls << url; }
};

class RecordsDialogsTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void historyListLooksAsGiven();
    void historyShowsFileOrderWithBlanks();
    void historyClearAsksAndDeletesTheFile();
    void historyClearWithoutFileIsHarmless();
    void historyDeleteAsksEvenWithoutSelection();
    void historyDeleteRemovesSelectedRows();

    void recordsListLooksAsGiven();
    void recordsEmptyOutbox();
    void recordsPlayOpensTheVoiceFile();
    void recordsAttachEndsWithThePath();
    void recordsDeleteRemovesFilesOfSelectedRows();
    void recordsCloseEndsWithOne();

private:
    std::unique_ptr<QTemporaryDir> m_program;
    QString m_outbox;
    ScriptedPrompter m_prompter;
    UrlCatcher m_catcher;
};

void RecordsDialogsTest::init()
{
    m_program = std::make_unique<QTemporaryDir>();
    m_outbox = QDir(m_program->path()).filePath(QStringLiteral("emsg"));
    QVERIFY(QDir().mkpath(m_outbox));
    m_prompter = ScriptedPrompter();
    m_catcher.urls.clear();
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &m_catcher, "open");
}

void RecordsDialogsTest::cleanup()
{
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    QVERIFY2(m_prompter.allAnswersUsed(), "a scripted answer was not asked for");
}

void RecordsDialogsTest::historyListLooksAsGiven()
{
    CHistoryDialog dialog(m_program->path(), &m_prompter);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("History"));
    QTableWidget *list = dialog.list();
    QCOMPARE(list->objectName(), QString::number(Ids::HistoryList));
    QCOMPARE(list->columnCount(), 1);
    QCOMPARE(list->horizontalHeaderItem(0)->text(), QStringLiteral("Recipient Address"));
    QCOMPARE(list->columnWidth(0), 250);
    QVERIFY(list->showGrid());
    QCOMPARE(list->selectionBehavior(), QAbstractItemView::SelectRows);
    QCOMPARE(list->rowCount(), 0);
    QVERIFY(buttonOf(&dialog, Ids::ResultOk)->isDefault());
    QCOMPARE(buttonOf(&dialog, Ids::HistoryClearButton)->text(), QStringLiteral("Clear"));
    QCOMPARE(buttonOf(&dialog, Ids::HistoryDeleteButton)->text(), QStringLiteral("Delete"));
}

void RecordsDialogsTest::historyShowsFileOrderWithBlanks()
{
    RecipientHistory history(m_program->path());
    writeFile(history.path(), "zed@x.org\r\nAnn@y.org, bob@z.org\n\n" + QByteArray(300, 'k') + "\n");
    CHistoryDialog dialog(m_program->path(), &m_prompter);
    QCOMPARE(column(dialog.list(), 0),
             QStringList({QStringLiteral("zed@x.org"), QStringLiteral("Ann@y.org, bob@z.org"), QString(254, QLatin1Char('k')),
                          QString(46, QLatin1Char('k'))}));
}

void RecordsDialogsTest::historyClearAsksAndDeletesTheFile()
{
    RecipientHistory history(m_program->path());
    writeFile(history.path(), "a@x.org\nb@y.org\n");
    CHistoryDialog dialog(m_program->path(), &m_prompter);
    dialog.show();

    m_prompter.answerNext(false);
    QTest::mouseClick(buttonOf(&dialog, Ids::HistoryClearButton), Qt::LeftButton);
    QCOMPARE(dialog.list()->rowCount(), 2);
    QVERIFY(QFile::exists(history.path()));

    m_prompter.answerNext(true);
    QTest::mouseClick(buttonOf(&dialog, Ids::HistoryClearButton), Qt::LeftButton);
    QCOMPARE(dialog.list()->rowCount(), 0);
    QVERIFY(!QFile::exists(history.path()));
    QCOMPARE(m_prompter.shown, QStringList(2, QStringLiteral("Do you want to clear the history list?")));
    QVERIFY(dialog.isVisible());
}

void RecordsDialogsTest::historyClearWithoutFileIsHarmless()
{
    CHistoryDialog dialog(m_program->path(), &m_prompter);
    m_prompter.answerNext(true);
    dialog.OnClear();
    QVERIFY(!QFile::exists(RecipientHistory(m_program->path()).path()));
    QCOMPARE(m_prompter.shown.size(), 1);
}

void RecordsDialogsTest::historyDeleteAsksEvenWithoutSelection()
{
    RecipientHistory history(m_program->path());
    const QByteArray original = "a@x.org\n\n\nb@y.org, c@z.org\r\n\n";
    writeFile(history.path(), original);
    CHistoryDialog dialog(m_program->path(), &m_prompter);
    dialog.show();

    m_prompter.answerNext(false);
    QTest::mouseClick(buttonOf(&dialog, Ids::HistoryDeleteButton), Qt::LeftButton);
    QCOMPARE(readFile(history.path()), original);

    m_prompter.answerNext(true);
    QTest::mouseClick(buttonOf(&dialog, Ids::HistoryDeleteButton), Qt::LeftButton);
    QCOMPARE(readFile(history.path()), QByteArray("a@x.org\nb@y.org, c@z.org\n"));
    QCOMPARE(m_prompter.shown, QStringList(2, QStringLiteral("Do you want to delete the selected entries?")));
}

void RecordsDialogsTest::historyDeleteRemovesSelectedRows()
{
    RecipientHistory history(m_program->path());
    writeFile(history.path(), "one\ntwo\nthree\nfour\n");
    CHistoryDialog dialog(m_program->path(), &m_prompter);
    dialog.show();
    selectRows(dialog.list(), {0, 2, 3});
    m_prompter.answerNext(true);
    dialog.OnDelete();
    QCOMPARE(column(dialog.list(), 0), QStringList({QStringLiteral("two")}));
    QCOMPARE(readFile(history.path()), QByteArray("two\n"));
}

void RecordsDialogsTest::recordsListLooksAsGiven()
{
    QDir outbox(m_outbox);
    writeFile(outbox.filePath(QStringLiteral("orv100.wav")), "RIFF");
    writeFile(outbox.filePath(QStringLiteral("orv100.wav.info")), "a@x.org, b@y.org");
    writeFile(outbox.filePath(QStringLiteral("orv200.wav")), "RIFF");
    writeFile(outbox.filePath(QStringLiteral("orv300.pcm")), "raw");
    writeFile(outbox.filePath(QStringLiteral("note.wav")), "RIFF");

    CRecordedMessagesDialog dialog(m_program->path(), &m_prompter);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Recorded Messages"));
    QTableWidget *list = dialog.list();
    QCOMPARE(list->objectName(), QString::number(Ids::RecordsList));
    QCOMPARE(list->columnCount(), 3);
    const QStringList headers = {QStringLiteral("File"), QStringLiteral("Sent To"), QStringLiteral("Date")};
    const int widths[] = {120, 145, 120};
    for (int c = 0; c < 3; ++c) {
        QCOMPARE(list->horizontalHeaderItem(c)->text(), headers[c]);
        QCOMPARE(list->columnWidth(c), widths[c]);
    }
    QVERIFY(list->showGrid());
    QCOMPARE(column(list, 0), QStringList({QStringLiteral("orv100.wav"), QStringLiteral("orv200.wav")}));
    QCOMPARE(column(list, 1), QStringList({QStringLiteral("a@x.org,"), QString()}));
    const QRegularExpression date(QStringLiteral("^\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d:\\d\\d$"));
    for (const QString &text : column(list, 2))
        QVERIFY2(date.match(text).hasMatch(), qPrintable(text));
    QCOMPARE(QDateTime::fromString(column(list, 2).first(), QStringLiteral("MM/dd/yyyy HH:mm:ss")).date(),
             QDate::currentDate());
    QCOMPARE(buttonOf(&dialog, Ids::RecordsPlayButton)->text(), QStringLiteral("Play File"));
    QCOMPARE(buttonOf(&dialog, Ids::RecordsAttachButton)->text(), QStringLiteral("Attach File"));
    QCOMPARE(buttonOf(&dialog, Ids::RecordsDeleteButton)->text(), QStringLiteral("Del File(s)"));
    QVERIFY(buttonOf(&dialog, Ids::ResultOk)->isDefault());
}

void RecordsDialogsTest::recordsEmptyOutbox()
{
    CRecordedMessagesDialog dialog(m_program->path(), &m_prompter);
    dialog.show();
    QCOMPARE(dialog.list()->rowCount(), 0);
    QTest::mouseClick(buttonOf(&dialog, Ids::RecordsPlayButton), Qt::LeftButton);
    QTest::mouseClick(buttonOf(&dialog, Ids::RecordsDeleteButton), Qt::LeftButton);  // no question
    QVERIFY(m_catcher.urls.isEmpty());
    QVERIFY(m_prompter.shown.isEmpty());
    QVERIFY(dialog.isVisible());
}

void RecordsDialogsTest::recordsPlayOpensTheVoiceFile()
{
    QDir outbox(m_outbox);
    writeFile(outbox.filePath(QStringLiteral("orv1.wav")), "RIFF");
    writeFile(outbox.filePath(QStringLiteral("orv2.wav")), "RIFF");
    CRecordedMessagesDialog dialog(m_program->path(), &m_prompter);
    dialog.show();

    QTest::mouseClick(buttonOf(&dialog, Ids::RecordsPlayButton), Qt::LeftButton);
    QVERIFY(m_catcher.urls.isEmpty());

    selectRows(dialog.list(), {1});
    QTest::mouseClick(buttonOf(&dialog, Ids::RecordsPlayButton), Qt::LeftButton);
    QCOMPARE(m_catcher.urls, QList<QUrl>({QUrl::fromLocalFile(outbox.filePath(QStringLiteral("orv2.wav")))}));
    QVERIFY(dialog.isVisible());

    // A double-click on a row plays it too.
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    const QRect cell = dialog.list()->visualItemRect(dialog.list()->item(0, 0));
    QTest::mouseClick(dialog.list()->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(dialog.list()->viewport(), Qt::LeftButton, {}, cell.center());
    QCOMPARE(m_catcher.urls.size(), 2);
    QCOMPARE(m_catcher.urls.last(), QUrl::fromLocalFile(outbox.filePath(QStringLiteral("orv1.wav"))));
}

void RecordsDialogsTest::recordsAttachEndsWithThePath()
{
    QDir outbox(m_outbox);
    writeFile(outbox.filePath(QStringLiteral("orv1.wav")), "RIFF");
    writeFile(outbox.filePath(QStringLiteral("orv2.wav")), "RIFF");
    {
        CRecordedMessagesDialog dialog(m_program->path(), &m_prompter);
        dialog.show();
        QTest::mouseClick(buttonOf(&dialog, Ids::RecordsAttachButton), Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), Ids::ResultAttachFile);
        QCOMPARE(dialog.chosenPath(), QString());
    }
    CRecordedMessagesDialog dialog(m_program->path(), &m_prompter);
    dialog.show();
    selectRows(dialog.list(), {1, 0});
    QTest::mouseClick(buttonOf(&dialog, Ids::RecordsAttachButton), Qt::LeftButton);
    QCOMPARE(dialog.result(), Ids::ResultAttachFile);
    QCOMPARE(dialog.chosenPath(), outbox.filePath(QStringLiteral("orv1.wav")));
}

void RecordsDialogsTest::recordsDeleteRemovesFilesOfSelectedRows()
{
    QDir outbox(m_outbox);
    for (const char *name : {"orv1.wav", "orv1.wav.info", "orv2.wav", "orv3.wav", "orv3.wav.info", "orv3.pcm",
                             "orv9.wav.info"})
        writeFile(outbox.filePath(QString::fromLatin1(name)), "x");
    CRecordedMessagesDialog dialog(m_program->path(), &m_prompter);
    dialog.show();
    QCOMPARE(dialog.list()->rowCount(), 3);

    selectRows(dialog.list(), {1, 2});
    m_prompter.answerNext(false);
    QTest::mouseClick(buttonOf(&dialog, Ids::RecordsDeleteButton), Qt::LeftButton);
    QCOMPARE(dialog.list()->rowCount(), 3);
    QCOMPARE(outbox.entryList(QDir::Files).size(), 7);

    // orv2.wav has no record: it goes alone, without an error.
    m_prompter.answerNext(true);
    QTest::mouseClick(buttonOf(&dialog, Ids::RecordsDeleteButton), Qt::LeftButton);
    QCOMPARE(column(dialog.list(), 0), QStringList({QStringLiteral("orv1.wav")}));
    QCOMPARE(outbox.entryList(QDir::Files, QDir::Name),
             QStringList({QStringLiteral("orv1.wav"), QStringLiteral("orv1.wav.info"), QStringLiteral("orv3.pcm"),
                          QStringLiteral("orv9.wav.info")}));
    QCOMPARE(m_prompter.shown, QStringList(2, QStringLiteral("Do you want to delete the selected files?")));
}

void RecordsDialogsTest::recordsCloseEndsWithOne()
{
    CRecordedMessagesDialog dialog(m_program->path(), &m_prompter);
    dialog.show();
    QTest::mouseClick(buttonOf(&dialog, Ids::ResultOk), Qt::LeftButton);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), Ids::ResultOk);
}

QTEST_MAIN(RecordsDialogsTest)
#include "test_records_dialogs.moc"
