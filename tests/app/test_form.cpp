#include "resources/resource_ids.h"
#include "settings/profile_file.h"
#include "tests/support/form_harness.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>

class FormTest : public QObject
{
    Q_OBJECT

private slots:
    // Start-up, its timers and a profile chosen in the From box.
    void startUpAndProfiles()
    {
        FormHarness h;
        CTalkpostView &v = h.view();
        Profile ann;
        ann.name = QStringLiteral("Ann");
        h.useProfile(ann);
        v.OnInitialUpdate();
        QCOMPARE(v.GetOutboxPath(), h.outbox());
        QCOMPARE(QDir::currentPath(), QFileInfo(h.outbox()).canonicalFilePath());
        QVERIFY(v.IsButtonEnabled(Ids::RecButton) && !v.IsButtonEnabled(Ids::PlayButton) && !v.IsButtonEnabled(Ids::StopButton)
                && !v.IsButtonEnabled(Ids::AttachButton));
        QVERIFY(v.IsTimerActive(Ids::TimerRestoreDirectory) && v.IsTimerActive(Ids::TimerStartupMessage));
        QCOMPARE(v.TimerInterval(Ids::TimerRestoreDirectory) + v.TimerInterval(Ids::TimerStartupMessage), 120000 + 1500);
        // The start-up timer fires once and starts a new message.
        v.OnTimer(Ids::TimerStartupMessage);
        QVERIFY(!v.IsTimerActive(Ids::TimerStartupMessage));
        QVERIFY(h.log().endsWith(QStringLiteral("The recorded file is attached automatically\n"
                                                "when the message is being sent out.\nNew email.\n")));
        QCOMPARE(h.field(Ids::SubjectEdit), QStringLiteral("Voice message from Ann"));
        // The program folder becomes current again while disconnected.
        v.OnTimer(Ids::TimerRestoreDirectory);
        QCOMPARE(QDir::currentPath(), QFileInfo(h.programFolder()).canonicalFilePath());
        // Choosing a profile copies its account, but not whether the password is kept.
        Profile home;
        home.name = QStringLiteral("Home");
        home.outgoing = QStringLiteral("smtp.home");
        home.password = QStringLiteral("pw");
        home.inputDevice = -1;
        home.savePass = true;
        QVERIFY(ProfileFile::write(ProfileFile::path(h.programFolder()), {ann, home}).ok());
        v.LoadProfileList();
        auto *box = v.findChild<QComboBox *>(QString::number(Ids::ProfileCombo));
        box->setCurrentIndex(1);
        emit box->activated(1);
        const Account &a = v.account();
        QVERIFY(a.name == home.name && a.outgoing == home.outgoing && a.password == home.password && a.inputDevice == -1 && !a.savePass);
        QCOMPARE(h.field(Ids::SubjectEdit) + '|' + h.field(Ids::ProfileCombo), QStringLiteral("Voice message from Home|Home"));
        // An index outside the list leaves the mirror as it was.
        v.SelectProfile(5);
        QVERIFY(v.account().name == home.name && box->currentIndex() == 1);

        // A working directory that has vanished cannot hold a new folder, even for root.
        FormHarness other;
        QTemporaryDir gone;
        QVERIFY(QDir::setCurrent(gone.path()) && gone.remove());
        other.view().CreateOutboxFolder();
        QCOMPARE(other.prompter().shown, QStringList{QStringLiteral("Cannot create outbox folder!")});
        QVERIFY(other.view().GetOutboxPath().isEmpty());
    }

    void commandsByIdAndUpdateRules()
    {
        FormHarness h;
        auto enabled = [&h](int id) { return h.frame().action(id)->isEnabled(); };
        h.frame().updateCommandUi();
        QVERIFY(enabled(Ids::CmdConnect) && !enabled(Ids::CmdDisconnect) && !enabled(Ids::CmdTestMail) && enabled(Ids::CmdPaste));
        // Commands without a menu item reach their handlers by id.
        for (const int id : {Ids::CmdDisconnect, Ids::CmdCompressionType, Ids::CmdSourceFormat, Ids::CmdTestMail, Ids::CmdSaveSettings})
            QVERIFY2(h.view().OnCommand(id), qPrintable(QString::number(id)));
        QString shownTitle;
        h.prompter().onNextDialog([&shownTitle](QDialog &dialog) { return shownTitle = dialog.windowTitle(), int(QDialog::Rejected); });
        QVERIFY(h.view().OnCommand(Ids::CmdOutboxPath) && shownTitle == QStringLiteral("Outbox Path"));
        // Trace Info through the frame and by id keeps its check mark in step.
        h.frame().dispatch(Ids::CmdTraceInfo);
        QVERIFY(h.view().traceOn() && h.frame().action(Ids::CmdTraceInfo)->isChecked());
        h.view().OnCommand(Ids::CmdTraceInfo);
        QVERIFY(!h.view().traceOn() && !h.frame().action(Ids::CmdTraceInfo)->isChecked());
        QVERIFY(h.log().endsWith(QStringLiteral("Profile saved.\nShow Trace Info\nHide Trace Info\n")));
    }

    // The shown window: a long profile name, the names screen readers hear, edit
    // commands on the focused field, and list separators in attachment paths.
    void theShownWindow()
    {
        FormHarness h;
        CTalkpostView &v = h.view();
        Profile longName;
        longName.name = QString(255, QLatin1Char('W'));
        h.useProfile(longName);
        v.OnInitialUpdate();
        h.frame().show();
        QVERIFY(QTest::qWaitForWindowExposed(&h.frame()));
        QApplication::setActiveWindow(&h.frame());
        // A long profile name neither widens the window nor hides Rec, Play and Stop.
        QVERIFY2(h.frame().minimumSizeHint().width() <= 520, qPrintable(QString::number(h.frame().minimumSizeHint().width())));
        QVERIFY(v.findChild<QWidget *>(QString::number(Ids::StopButton))->geometry().right() < v.width());
        QCOMPARE(v.findChild<QComboBox *>(QString::number(Ids::ProfileCombo))->toolTip(), longName.name);
        // Screen readers hear the labels, whatever the boxes show, and every control has a name.
        h.setField(Ids::RecipientCombo, QStringLiteral("bob@example.org"));
        const auto name = [&v](int id) {
            return QAccessible::queryAccessibleInterface(v.findChild<QWidget *>(QString::number(id)))->text(QAccessible::Name);
        };
        QCOMPARE(name(Ids::RecipientCombo) + name(Ids::ProfileCombo) + name(Ids::RecButton), QStringLiteral("To:From:Rec"));
        for (QWidget *w : v.findChildren<QWidget *>()) {
            // The dialogs the form owns have their own names; a combo box names its line edit.
            if (w->window() != v.window() || qobject_cast<QComboBox *>(w->parentWidget()))
                continue;
            if (w->inherits("QAbstractButton") || w->inherits("QLineEdit") || w->inherits("QComboBox")
                || w->inherits("QPlainTextEdit"))
                QVERIFY2(!w->accessibleName().isEmpty(), qPrintable(w->objectName()));
        }
        // Select All in a field selects the whole text and copies it.
        auto *subject = v.findChild<QLineEdit *>(QString::number(Ids::SubjectEdit));
        subject->setText(QStringLiteral("the whole subject"));
        subject->setFocus();
        QTRY_VERIFY(subject->hasFocus());
        QApplication::clipboard()->setText(QStringLiteral("old"));
        v.OnCommand(Ids::CmdSelectAll);
        QCOMPARE(subject->selectedText() + '|' + QApplication::clipboard()->text(), QStringLiteral("the whole subject|the whole subject"));
        // The read-only log ignores Cut.
        h.frame().logEdit()->setPlainText(QStringLiteral("log line"));
        h.frame().logEdit()->setFocus();
        QTRY_VERIFY(h.frame().logEdit()->hasFocus());
        v.OnCommand(Ids::CmdSelectAll);
        v.OnCommand(Ids::CmdCut);
        QCOMPARE(h.frame().logEdit()->toPlainText(), QStringLiteral("log line"));
        // A file whose path holds a list separator is refused, not split later.
        h.prompter().chooseFileNext(h.programFolder() + QStringLiteral("/a,b.txt"));
        v.OnCommand(Ids::CmdAttachment);
        QVERIFY(h.prompter().shown.last().startsWith(QStringLiteral("This file cannot be attached")));
        QCOMPARE(h.field(Ids::AttachmentsEdit), QString());
    }
};

QTEST_MAIN(FormTest)
#include "test_form.moc"
