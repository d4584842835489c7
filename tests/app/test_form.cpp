#include "app/bitmap_button.h"
#include "app/module_state.h"
#include "resources/resource_ids.h"
#include "shell/status_pane.h"
#include "tests/support/form_harness.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>

namespace {

Profile profileNamed(const QString &name)
{
    Profile p;
    p.name = name;
    p.outgoing = QStringLiteral("smtp.example");
    p.user = QStringLiteral("ann");
    return p;
}

}  // namespace

class FormTest : public QObject
{
    Q_OBJECT

private slots:
    void firstUpdatePreparesTheForm();
    void outboxThatCannotBeCreatedIsReported();
    void startupTimerStartsANewMessage();
    void restoreDirectoryTimerOnlyWhileDisconnected();
    void sendTimerNeedsConnectionAndPendingSend();
    void commandUpdateRules();
    void commandsWithoutMenuItemsDispatchById();
    void traceInfoTogglesWithCheckMark();
    void techSupportFillsTheSupportRequest();
    void newMessageDiscardsTheRecording();
    void selectProfileCopiesTheAccount();
    void selectAllAlsoCopies();
    void closeWaitsForRunningCompression();
    void everyControlHasAnAccessibleName();
};

void FormTest::firstUpdatePreparesTheForm()
{
    FormHarness h;
    h.useProfile(profileNamed(QStringLiteral("Ann")));
    h.view().OnInitialUpdate();
    QCOMPARE(h.view().m_outboxPath, h.outbox());
    QVERIFY(QFileInfo(h.outbox()).isDir());
    QCOMPARE(QDir::currentPath(), QFileInfo(h.outbox()).canonicalFilePath());
    QVERIFY(h.view().IsButtonEnabled(Ids::RecButton));
    for (const int id : {Ids::PlayButton, Ids::StopButton, Ids::AttachButton})
        QVERIFY(!h.view().IsButtonEnabled(id));
    QVERIFY(h.view().IsTimerActive(Ids::TimerRestoreDirectory));
    QCOMPARE(h.view().TimerInterval(Ids::TimerRestoreDirectory), 120000);
    QVERIFY(h.view().IsTimerActive(Ids::TimerStartupMessage));
    QCOMPARE(h.view().TimerInterval(Ids::TimerStartupMessage), 1500);
    QVERIFY(!h.view().IsTimerActive(Ids::TimerAutoConnect));
    QVERIFY(h.prompter().shown.isEmpty());

    // An existing outbox is used as it is, without a message.
    FormHarness again;
    QVERIFY(QDir(again.programFolder()).mkdir(QStringLiteral("emsg")));
    again.view().CreateOutboxFolder();
    QCOMPARE(again.view().m_outboxPath, again.outbox());
    QVERIFY(again.prompter().shown.isEmpty());
}

void FormTest::outboxThatCannotBeCreatedIsReported()
{
    FormHarness h;
    // A working directory that has vanished cannot hold a new folder, even for root.
    QTemporaryDir gone;
    QDir::setCurrent(gone.path());
    gone.remove();
    h.view().CreateOutboxFolder();
    QCOMPARE(h.prompter().shown, QStringList{QStringLiteral("Cannot create outbox folder!")});
    QVERIFY(h.view().m_outboxPath.isEmpty());
}

void FormTest::startupTimerStartsANewMessage()
{
    FormHarness h;
    h.useProfile(profileNamed(QStringLiteral("Ann")));
    h.view().OnInitialUpdate();
    h.view().OnTimer(Ids::TimerStartupMessage);
    QVERIFY(!h.view().IsTimerActive(Ids::TimerStartupMessage));
    QVERIFY(h.log().endsWith(QStringLiteral("The recorded file is attached automatically\n"
                                            "when the message is being sent out.\nNew email.\n")));
    QCOMPARE(h.view().m_subjectEdit->text(), QStringLiteral("Voice message from Ann"));
    QVERIFY(h.view().m_bodyEdit->toPlainText().endsWith(QStringLiteral("\n\nAnn")));
    QVERIFY(h.view().m_body.contains(QStringLiteral("Important notice:\r\n")));
}

void FormTest::restoreDirectoryTimerOnlyWhileDisconnected()
{
    FormHarness h;
    h.useProfile(profileNamed(QStringLiteral("Ann")));
    h.view().OnInitialUpdate();
    const QString program = QFileInfo(h.programFolder()).canonicalFilePath();
    h.view().m_connected = 1;
    h.view().OnTimer(Ids::TimerRestoreDirectory);
    QVERIFY(QDir::currentPath() != program);
    h.view().m_connected = 0;
    h.view().OnTimer(Ids::TimerRestoreDirectory);
    QCOMPARE(QDir::currentPath(), program);
    QVERIFY(h.view().IsTimerActive(Ids::TimerRestoreDirectory));
}

void FormTest::sendTimerNeedsConnectionAndPendingSend()
{
    FormHarness h;
    h.view().SetTimer(Ids::TimerSendAfterConnect, 1000);
    h.view().m_sendAfterConnect = 1;
    h.view().OnTimer(Ids::TimerSendAfterConnect);
    QVERIFY(!h.view().IsTimerActive(Ids::TimerSendAfterConnect));
    QCOMPARE(h.view().m_sendAfterConnect, 1);  // not connected: the send waits
    h.view().m_connected = 1;
    h.view().OnTimer(Ids::TimerSendAfterConnect);
    QCOMPARE(h.view().m_sendAfterConnect, 0);
}

void FormTest::commandUpdateRules()
{
    FormHarness h;
    h.frame().updateCommandUi();
    QVERIFY(h.frame().action(Ids::CmdConnect)->isEnabled());
    QVERIFY(!h.frame().action(Ids::CmdDisconnect)->isEnabled());
    QVERIFY(!h.frame().action(Ids::CmdTestMail)->isEnabled());
    QVERIFY(h.frame().action(Ids::CmdPaste)->isEnabled());
    h.view().m_connected = 1;
    h.frame().updateCommandUi();
    QVERIFY(!h.frame().action(Ids::CmdConnect)->isEnabled());
    QVERIFY(h.frame().action(Ids::CmdDisconnect)->isEnabled());
    QVERIFY(h.frame().action(Ids::CmdTestMail)->isEnabled());
}

void FormTest::commandsWithoutMenuItemsDispatchById()
{
    FormHarness h;
    for (const int id : {Ids::CmdConnect, Ids::CmdDisconnect, Ids::CmdCompressionType, Ids::CmdSourceFormat})
        QVERIFY2(h.view().OnCommand(id), qPrintable(QString::number(id)));
    QVERIFY(h.view().OnCommand(Ids::CmdSaveSettings));
    QVERIFY(h.log().endsWith(QStringLiteral("Profile saved.\n")));
    QString shownPath;
    h.prompter().onNextDialog([&shownPath](QDialog &dialog) {
        shownPath = dialog.windowTitle();
        return int(QDialog::Rejected);
    });
    QVERIFY(h.view().OnCommand(Ids::CmdOutboxPath));
    QCOMPARE(shownPath, QStringLiteral("Outbox Path"));
    QVERIFY(h.view().OnCommand(Ids::CmdTestMail));
    // Frame commands are not the form's.
    for (const int id : {Ids::CmdClearLog, Ids::CmdHide, Ids::CmdOnlineHelp, Ids::CmdExit})
        QVERIFY(!h.view().OnCommand(id));
    // Dispatched through the frame, a form command reaches the form.
    h.frame().dispatch(Ids::CmdTraceInfo);
    QCOMPARE(h.view().m_traceOn, 1);
}

void FormTest::traceInfoTogglesWithCheckMark()
{
    FormHarness h;
    QAction *item = h.frame().action(Ids::CmdTraceInfo);
    item->trigger();
    QCOMPARE(h.view().m_traceOn, 1);
    QVERIFY(item->isChecked());
    h.view().OnCommand(Ids::CmdTraceInfo);
    QCOMPARE(h.view().m_traceOn, 0);
    QVERIFY(!item->isChecked());
    QCOMPARE(h.log(), QStringLiteral("Show Trace Info\nHide Trace Info\n"));
}

void FormTest::techSupportFillsTheSupportRequest()
{
    FormHarness h;
    h.view().m_profileName = QStringLiteral("Ann");
    h.view().m_cc = QStringLiteral("keep@x.org");
    h.view().UpdateData(false);
    h.view().m_attachmentsEdit->setText(QStringLiteral("/tmp/a.txt,"));
    h.view().OnCommand(Ids::CmdTechSupport);
    QCOMPARE(h.view().m_recipientCombo->currentText(), QStringLiteral("support@orvanto.example"));
    QCOMPARE(h.view().m_subject, QStringLiteral("Help needed"));
    QCOMPARE(h.view().m_ccEdit->text(), QStringLiteral("keep@x.org"));
    QVERIFY(h.view().m_attachments.isEmpty());
    QVERIFY(h.view().m_body.startsWith(QStringLiteral(">>Hello,\r\n>>\r\n")));
    QVERIFY(h.view().m_body.endsWith(QStringLiteral(">>\r\n\r\n\r\nAnn")));
    QCOMPARE(h.log(), QStringLiteral("Tech Support email.\n"));
}

void FormTest::newMessageDiscardsTheRecording()
{
    FormHarness h;
    h.useProfile(profileNamed(QStringLiteral("Ann")));
    h.view().OnInitialUpdate();
    const QString recording = QDir(h.outbox()).filePath(QStringLiteral("orv1.pcm"));
    QFile file(recording);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    h.view().m_recordingFile = recording;
    h.view().m_recipient = QStringLiteral("a@b.org");
    h.view().m_phone = QStringLiteral("555");
    h.view().EnableButton(Ids::PlayButton, true);
    h.prompter().answerNext(true);  // "Discard the recording that was not sent?"
    h.view().OnCommand(Ids::CmdNew);
    QVERIFY(!QFile::exists(recording));
    QVERIFY(h.view().m_recordingFile.isEmpty());
    QVERIFY(h.view().m_recipient.isEmpty());
    QVERIFY(h.view().m_phoneEdit->text().isEmpty());
    QVERIFY(!h.view().IsButtonEnabled(Ids::PlayButton));
}

void FormTest::selectProfileCopiesTheAccount()
{
    FormHarness h;
    Profile a;
    a.name = QStringLiteral("Home");
    a.outgoing = QStringLiteral("smtp.home");
    a.incoming = QStringLiteral("pop.home");
    a.user = QStringLiteral("ann");
    a.password = QStringLiteral("pw");
    a.reply = QStringLiteral("ann@home");
    a.protocol = 1;
    a.inputDevice = -1;
    a.outputDevice = 2;
    a.requirePass = 1;
    a.savePass = 1;
    Profile b;
    b.name = QStringLiteral("Work");
    h.view().m_profiles = {b, a};
    h.view().m_profileCombo->addItems({b.name, a.name});
    h.view().m_savePass = 0;
    h.view().m_autoConnect = 1;

    h.view().SelectProfile(1);
    QCOMPARE(h.view().m_profileIndex, 1);
    QCOMPARE(h.view().m_profiles[0].selected, 0);
    QCOMPARE(h.view().m_profiles[1].selected, 1);
    QCOMPARE(h.view().m_profileName, QStringLiteral("Home"));
    QCOMPARE(h.view().m_host, QStringLiteral("smtp.home"));
    QCOMPARE(h.view().m_incoming, QStringLiteral("pop.home"));
    QCOMPARE(h.view().m_user, QStringLiteral("ann"));
    QCOMPARE(h.view().m_password, QStringLiteral("pw"));
    QCOMPARE(h.view().m_replyAddress, QStringLiteral("ann@home"));
    QCOMPARE(h.view().m_protocol, 1);
    QCOMPARE(h.view().m_inputDevice, -1);
    QCOMPARE(h.view().m_outputDevice, 2);
    QCOMPARE(h.view().m_requirePass, 1);
    QCOMPARE(h.view().m_savePass, 0);  // not copied from the profile
    QCOMPARE(h.view().m_autoConnect, 1);
    QCOMPARE(h.view().m_profileCombo->currentIndex(), 1);

    // An index outside the list leaves the mirror as it was.
    h.view().SelectProfile(5);
    QCOMPARE(h.view().m_profileName, QStringLiteral("Home"));
    QCOMPARE(h.view().m_profileIndex, 1);
}

void FormTest::selectAllAlsoCopies()
{
    FormHarness h;
    h.frame().show();
    QVERIFY(QTest::qWaitForWindowExposed(&h.frame()));
    h.view().m_subjectEdit->setText(QStringLiteral("the whole subject"));
    h.view().m_subjectEdit->setFocus();
    QApplication::setActiveWindow(&h.frame());
    QTRY_VERIFY(h.view().m_subjectEdit->hasFocus());
    QApplication::clipboard()->setText(QStringLiteral("old"));
    h.view().OnCommand(Ids::CmdSelectAll);
    QCOMPARE(h.view().m_subjectEdit->selectedText(), QStringLiteral("the whole subject"));
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("the whole subject"));

    h.view().m_ccEdit->setFocus();
    QTRY_VERIFY(h.view().m_ccEdit->hasFocus());
    h.view().OnCommand(Ids::CmdPaste);
    QCOMPARE(h.view().m_ccEdit->text(), QStringLiteral("the whole subject"));
    h.view().OnCommand(Ids::CmdUndo);
    QCOMPARE(h.view().m_ccEdit->text(), QString());

    // The read-only log ignores Cut.
    h.frame().logEdit()->setPlainText(QStringLiteral("log line"));
    h.frame().logEdit()->setFocus();
    QTRY_VERIFY(h.frame().logEdit()->hasFocus());
    h.view().OnCommand(Ids::CmdSelectAll);
    h.view().OnCommand(Ids::CmdCut);
    QCOMPARE(h.frame().logEdit()->toPlainText(), QStringLiteral("log line"));
}

void FormTest::closeWaitsForRunningCompression()
{
    FormHarness h;
    h.frame().show();
    QVERIFY(QTest::qWaitForWindowExposed(&h.frame()));
    g_compressionIdle = 0;
    h.view().m_recipient = QStringLiteral("x@y.org");
    h.prompter().answerNext(true);  // "Discard the recording that was not sent?"
    QVERIFY(!h.frame().close());
    QVERIFY(h.frame().isVisible());
    QCOMPARE(g_closeRequested, 1);
    QVERIFY(h.view().m_recipient.isEmpty());  // a new message was started
    QVERIFY(h.log().contains(QStringLiteral("New email.")));

    g_compressionIdle = 1;
    QVERIFY(h.frame().close());
    QVERIFY(!h.frame().isVisible());
}

void FormTest::everyControlHasAnAccessibleName()
{
    FormHarness h;
    QCOMPARE(h.view().m_recButton->accessibleName(), QStringLiteral("Rec"));
    QCOMPARE(h.view().m_playButton->accessibleName(), QStringLiteral("Play"));
    QCOMPARE(h.view().m_stopButton->accessibleName(), QStringLiteral("Stop"));
    QCOMPARE(h.view().m_recipientCombo->accessibleName(), QStringLiteral("To:"));
    QCOMPARE(h.view().m_profileCombo->accessibleName(), QStringLiteral("From:"));
    const QList<QWidget *> controls = h.view().findChildren<QWidget *>();
    for (QWidget *w : controls) {
        if (w->window() != h.view().window())
            continue;  // the dialogs the form owns
        if (qobject_cast<QAbstractButton *>(w) || qobject_cast<QLineEdit *>(w) || qobject_cast<QComboBox *>(w) ||
            qobject_cast<QPlainTextEdit *>(w)) {
            // The combo box's own line edit is named through its combo box.
            if (qobject_cast<QComboBox *>(w->parentWidget()))
                continue;
            QVERIFY2(!w->accessibleName().isEmpty(), qPrintable(w->objectName()));
        }
    }
}

QTEST_MAIN(FormTest)
#include "test_form.moc"
