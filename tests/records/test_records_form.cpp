// The form's side of the records: the To box, the History and Sent Messages commands,
// on a real main frame and form.

#include "app/talkpost_view.h"
#include "records/history_dialog.h"
#include "records/recipient_history.h"
#include "records/recorded_messages_dialog.h"
#include "resources/resource_ids.h"
#include "shell/main_frame.h"
#include "tests/support/scripted_prompter.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

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

QStringList items(const QComboBox *box)
{
    QStringList texts;
    for (int i = 0; i < box->count(); ++i)
        texts << box->itemText(i);
    return texts;
}

}  // namespace

class RecordsFormTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void noHistoryGivesAnEmptyBox();
    void boxIsSortedAndKeepsTypedText();
    void caseDifferentRecipientsAreAddedOnce();
    void severalAddressesAreOneLine();
    void historyDialogEditsAreReloaded();
    void sentMessagesAttachAppendsPathAndComma();

private:
    std::unique_ptr<QTemporaryDir> m_program;
    std::unique_ptr<ScriptedPrompter> m_prompter;
    std::unique_ptr<CMainFrame> m_frame;
    CTalkpostView *m_view = nullptr;
    QString m_historyPath;
};

void RecordsFormTest::init()
{
    m_program = std::make_unique<QTemporaryDir>();
    m_prompter = std::make_unique<ScriptedPrompter>();
    m_frame = std::make_unique<CMainFrame>();
    FormServices services;
    services.programFolder = m_program->path();
    services.prompter = m_prompter.get();
    m_view = new CTalkpostView(services, m_frame.get());
    m_frame->setCentralWidget(m_view);
    m_frame->setClient(m_view);
    m_historyPath = RecipientHistory(m_program->path()).path();
    QVERIFY(QDir(m_program->path()).mkdir(QStringLiteral("emsg")));
}

void RecordsFormTest::cleanup()
{
    QVERIFY2(m_prompter->allAnswersUsed(), "a scripted answer was not used");
    m_frame.reset();
    m_view = nullptr;
}

void RecordsFormTest::noHistoryGivesAnEmptyBox()
{
    m_view->LoadRecipientHistory();
    QCOMPARE(m_view->m_recipientCombo->count(), 0);
}

void RecordsFormTest::boxIsSortedAndKeepsTypedText()
{
    writeFile(m_historyPath, "zed@x.org\r\nbob@y.org\n  Ann@z.org and more\n\nal@w.org\n" + QByteArray(300, 'k') + "\n");
    m_view->m_recipientCombo->setEditText(QStringLiteral("typed@x.org"));
    m_view->LoadRecipientHistory();
    QCOMPARE(items(m_view->m_recipientCombo),
             QStringList({QStringLiteral("al@w.org"), QStringLiteral("Ann@z.org"), QStringLiteral("bob@y.org"),
                          QString(46, QLatin1Char('k')), QString(254, QLatin1Char('k')), QStringLiteral("zed@x.org")}));
    QCOMPARE(m_view->m_recipientCombo->currentText(), QStringLiteral("typed@x.org"));

    // Added items take their sorted place too.
    m_view->AddRecipientToHistory(QStringLiteral("Bea@q.org"));
    QCOMPARE(items(m_view->m_recipientCombo).mid(0, 4),
             QStringList({QStringLiteral("al@w.org"), QStringLiteral("Ann@z.org"), QStringLiteral("Bea@q.org"),
                          QStringLiteral("bob@y.org")}));
    QCOMPARE(m_view->m_recipientCombo->currentText(), QStringLiteral("typed@x.org"));
}

void RecordsFormTest::caseDifferentRecipientsAreAddedOnce()
{
    m_view->LoadRecipientHistory();
    m_view->AddRecipientToHistory(QStringLiteral("Bob@Example.org"));
    m_view->AddRecipientToHistory(QStringLiteral("bob@example.ORG"));
    QCOMPARE(items(m_view->m_recipientCombo), QStringList({QStringLiteral("Bob@Example.org")}));
    QCOMPARE(readFile(m_historyPath), QByteArray("Bob@Example.org\n"));
}

void RecordsFormTest::severalAddressesAreOneLine()
{
    const QString both = QStringLiteral("a@x.org, b@y.org");
    m_view->LoadRecipientHistory();
    m_view->AddRecipientToHistory(both);
    QCOMPARE(readFile(m_historyPath), QByteArray("a@x.org, b@y.org\n"));
    QCOMPARE(items(m_view->m_recipientCombo), QStringList({both}));

    // After the next start the box offers the first address with its comma, which is
    // not the whole text: the same send then appends the line again.
    m_view->LoadRecipientHistory();
    QCOMPARE(items(m_view->m_recipientCombo), QStringList({QStringLiteral("a@x.org,")}));
    m_view->AddRecipientToHistory(both);
    QCOMPARE(readFile(m_historyPath), QByteArray("a@x.org, b@y.org\na@x.org, b@y.org\n"));
}

void RecordsFormTest::historyDialogEditsAreReloaded()
{
    writeFile(m_historyPath, "one@x.org\ntwo@x.org\nthree@x.org\n");
    m_view->LoadRecipientHistory();
    QCOMPARE(m_view->m_recipientCombo->count(), 3);

    m_prompter->onNextDialog([this](QDialog &dialog) {
        auto *history = qobject_cast<CHistoryDialog *>(&dialog);
        if (!history)
            return int(QDialog::Rejected);
        history->list()->selectRow(1);
        m_prompter->answerNext(true);
        history->OnDelete();
        return int(QDialog::Accepted);
    });
    m_frame->dispatch(Ids::CmdHistory);
    QCOMPARE(readFile(m_historyPath), QByteArray("one@x.org\nthree@x.org\n"));
    QCOMPARE(items(m_view->m_recipientCombo), QStringList({QStringLiteral("one@x.org"), QStringLiteral("three@x.org")}));

    // However the dialog ends, the box follows the file.
    writeFile(m_historyPath, "four@x.org\n");
    m_prompter->onNextDialog([](QDialog &) { return int(QDialog::Rejected); });
    m_view->OnCommand(Ids::CmdHistory);
    QCOMPARE(items(m_view->m_recipientCombo), QStringList({QStringLiteral("four@x.org")}));
}

void RecordsFormTest::sentMessagesAttachAppendsPathAndComma()
{
    const QString outbox = QDir(m_program->path()).filePath(QStringLiteral("emsg"));
    writeFile(QDir(outbox).filePath(QStringLiteral("orv7.wav")), "RIFF");
    writeFile(QDir(outbox).filePath(QStringLiteral("orv7.wav.info")), "a@x.org, b@y.org");
    m_view->m_attachmentsEdit->setText(QStringLiteral("/tmp/a.txt,"));

    // Nothing selected: just a comma.
    m_prompter->onNextDialog([](QDialog &dialog) {
        auto *records = qobject_cast<CRecordedMessagesDialog *>(&dialog);
        if (!records)
            return int(QDialog::Rejected);
        if (records->list()->rowCount() != 1 || records->list()->item(0, 1)->text() != QStringLiteral("a@x.org,"))
            return int(QDialog::Rejected);
        records->OnAttachFile();
        return records->result();
    });
    m_frame->dispatch(Ids::CmdSentMessages);
    QCOMPARE(m_view->m_attachments, QStringLiteral("/tmp/a.txt,,"));
    QCOMPARE(m_view->m_attachmentsEdit->text(), QStringLiteral("/tmp/a.txt,,"));

    // A selected row: its path, twice when attached twice.
    for (int i = 0; i < 2; ++i) {
        m_prompter->onNextDialog([](QDialog &dialog) {
            auto *records = qobject_cast<CRecordedMessagesDialog *>(&dialog);
            records->list()->selectRow(0);
            records->OnAttachFile();
            return records->result();
        });
        m_view->OnCommand(Ids::CmdSentMessages);
    }
    const QString path = QDir(outbox).filePath(QStringLiteral("orv7.wav"));
    QCOMPARE(m_view->m_attachmentsEdit->text(), QStringLiteral("/tmp/a.txt,,") + path + ',' + path + ',');

    // Close changes nothing.
    m_prompter->onNextDialog([](QDialog &) { return int(Ids::ResultOk); });
    m_view->OnCommand(Ids::CmdSentMessages);
    QCOMPARE(m_view->m_attachmentsEdit->text(), QStringLiteral("/tmp/a.txt,,") + path + ',' + path + ',');
}

QTEST_MAIN(RecordsFormTest)
#include "test_records_form.moc"
