#include "app/bitmap_button.h"
#include "app/module_state.h"
#include "resources/resource_ids.h"
#include "settings/profile_file.h"
#include "tests/support/form_harness.h"
#include "tests/support/test_files.h"

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
    void startUpAndTimers()
    {
        FormHarness h;
        CTalkpostView &v = h.view();
        Profile ann;
        ann.name = QStringLiteral("Ann");
        h.useProfile(ann);
        v.OnInitialUpdate();
        QCOMPARE(v.GetOutboxPath(), h.outbox());
        QCOMPARE(QDir::currentPath(), QFileInfo(h.outbox()).canonicalFilePath());
        QVERIFY(v.IsButtonEnabled(Ids::RecButton) && !v.IsButtonEnabled(Ids::PlayButton));
        QVERIFY(!v.IsButtonEnabled(Ids::StopButton) && !v.IsButtonEnabled(Ids::AttachButton));
        QVERIFY(v.IsTimerActive(Ids::TimerRestoreDirectory) && v.IsTimerActive(Ids::TimerStartupMessage));
        QCOMPARE(v.TimerInterval(Ids::TimerRestoreDirectory), 120000);
        QCOMPARE(v.TimerInterval(Ids::TimerStartupMessage), 1500);

        // The start-up timer fires once and starts a new message.
        v.OnTimer(Ids::TimerStartupMessage);
        QVERIFY(!v.IsTimerActive(Ids::TimerStartupMessage));
        QVERIFY(h.log().endsWith(QStringLiteral("The recorded file is attached automatically\n"
                                                "when the message is being sent out.\nNew email.\n")));
        QCOMPARE(h.field(Ids::SubjectEdit), QStringLiteral("Voice message from Ann"));
        // The program folder becomes current again while disconnected.
        v.OnTimer(Ids::TimerRestoreDirectory);
        QCOMPARE(QDir::currentPath(), QFileInfo(h.programFolder()).canonicalFilePath());

        // A working directory that has vanished cannot hold a new folder, even for root.
        FormHarness other;
        QTemporaryDir gone;
        QDir::setCurrent(gone.path());
        gone.remove();
        other.view().CreateOutboxFolder();
        QCOMPARE(other.prompter().shown, QStringList{QStringLiteral("Cannot create outbox folder!")});
        QVERIFY(other.view().GetOutboxPath().isEmpty());
    }

    void commandsByIdAndUpdateRules()
    {
        FormHarness h;
        auto enabled = [&h](int id) { return h.frame().action(id)->isEnabled(); };
        h.frame().updateCommandUi();
        QVERIFY(enabled(Ids::CmdConnect) && !enabled(Ids::CmdDisconnect) && !enabled(Ids::CmdTestMail) &&
                enabled(Ids::CmdPaste));

        // Commands without a menu item reach their handlers by id.
        for (const int id : {Ids::CmdDisconnect, Ids::CmdCompressionType, Ids::CmdSourceFormat, Ids::CmdTestMail})
            QVERIFY2(h.view().OnCommand(id), qPrintable(QString::number(id)));
        QVERIFY(h.log().endsWith(QStringLiteral("Cannot send test email: no connection!\n")));
        QVERIFY(h.view().OnCommand(Ids::CmdSaveSettings));
        QVERIFY(h.log().endsWith(QStringLiteral("Profile saved.\n")));
        QString shownTitle;
        h.prompter().onNextDialog([&shownTitle](QDialog &dialog) {
            shownTitle = dialog.windowTitle();
            return int(QDialog::Rejected);
        });
        QVERIFY(h.view().OnCommand(Ids::CmdOutboxPath));
        QCOMPARE(shownTitle, QStringLiteral("Outbox Path"));

        // Trace Info through the frame and by id keeps its check mark in step.
        h.frame().logEdit()->clear();
        h.frame().dispatch(Ids::CmdTraceInfo);
        QVERIFY(h.view().traceOn() && h.frame().action(Ids::CmdTraceInfo)->isChecked());
        h.view().OnCommand(Ids::CmdTraceInfo);
        QVERIFY(!h.view().traceOn() && !h.frame().action(Ids::CmdTraceInfo)->isChecked());
        QCOMPARE(h.log(), QStringLiteral("Show Trace Info\nHide Trace Info\n"));
    }

    void choosingAProfileCopiesItsAccount()
    {
        FormHarness h;
        CTalkpostView &v = h.view();
        Profile work, home;
        work.name = QStringLiteral("Work");
        home.name = QStringLiteral("Home");
        home.outgoing = QStringLiteral("smtp.home");
        home.password = QStringLiteral("pw");
        home.inputDevice = -1;
        home.savePass = true;
        QVERIFY(ProfileFile::write(ProfileFile::path(h.programFolder()), {work, home}).ok());
        v.LoadProfileList();
        auto *box = v.findChild<QComboBox *>(QString::number(Ids::ProfileCombo));
        box->setCurrentIndex(1);
        emit box->activated(1);
        QVERIFY(v.account().name == home.name && v.account().outgoing == home.outgoing);
        QVERIFY(v.account().password == home.password && v.account().inputDevice == -1);
        QCOMPARE(v.account().savePass, false);  // not the profile's to set
        QCOMPARE(h.field(Ids::SubjectEdit), QStringLiteral("Voice message from Home"));
        QCOMPARE(h.field(Ids::ProfileCombo), home.name);
        // An index outside the list leaves the mirror as it was.
        v.SelectProfile(5);
        QVERIFY(v.account().name == home.name && box->currentIndex() == 1);
    }

    void editCommandsActOnTheFocusedWidget()
    {
        FormHarness h;
        CTalkpostView &v = h.view();
        h.frame().show();
        QVERIFY(QTest::qWaitForWindowExposed(&h.frame()));
        QApplication::setActiveWindow(&h.frame());
        auto *subject = v.findChild<QLineEdit *>(QString::number(Ids::SubjectEdit));
        subject->setText(QStringLiteral("the whole subject"));
        subject->setFocus();
        QTRY_VERIFY(subject->hasFocus());
        QApplication::clipboard()->setText(QStringLiteral("old"));
        v.OnCommand(Ids::CmdSelectAll);  // also copies
        QCOMPARE(subject->selectedText(), QStringLiteral("the whole subject"));
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("the whole subject"));

        // The read-only log ignores Cut.
        h.frame().logEdit()->setPlainText(QStringLiteral("log line"));
        h.frame().logEdit()->setFocus();
        QTRY_VERIFY(h.frame().logEdit()->hasFocus());
        v.OnCommand(Ids::CmdSelectAll);
        v.OnCommand(Ids::CmdCut);
        QCOMPARE(h.frame().logEdit()->toPlainText(), QStringLiteral("log line"));
    }

    void longNamesTypedTextAndListSeparatorsInPaths()
    {
        FormHarness h;
        Profile longName;
        longName.name = QString(255, QLatin1Char('W'));
        h.useProfile(longName);
        h.view().OnInitialUpdate();
        h.frame().show();
        QVERIFY(QTest::qWaitForWindowExposed(&h.frame()));
        // A long profile name neither widens the window nor hides Rec, Play and Stop.
        auto *from = h.view().findChild<QComboBox *>(QString::number(Ids::ProfileCombo));
        QVERIFY2(h.frame().minimumSizeHint().width() <= 520, qPrintable(QString::number(h.frame().minimumSizeHint().width())));
        QVERIFY(h.view().findChild<QWidget *>(QString::number(Ids::StopButton))->geometry().right() < h.view().width());
        QCOMPARE(from->toolTip(), longName.name);
        // Screen readers hear the labels, whatever the boxes show.
        h.setField(Ids::RecipientCombo, QStringLiteral("bob@example.org"));
        const auto name = [&h](int id) {
            return QAccessible::queryAccessibleInterface(h.view().findChild<QWidget *>(QString::number(id)))
                ->text(QAccessible::Name);
        };
        QCOMPARE(name(Ids::RecipientCombo) + name(Ids::ProfileCombo), QStringLiteral("To:From:"));
        // A file whose path holds a list separator is refused, not split later.
        h.prompter().chooseFileNext(h.programFolder() + QStringLiteral("/a,b.txt"));
        h.view().OnCommand(Ids::CmdAttachment);
        QVERIFY(h.prompter().shown.last().startsWith(QStringLiteral("This file cannot be attached")));
        QCOMPARE(h.field(Ids::AttachmentsEdit), QString());
    }

    void everyControlHasAnAccessibleName()
    {
        FormHarness h;
        const CTalkpostView &v = h.view();
        QCOMPARE(v.findChild<BitmapButton *>(QString::number(Ids::RecButton))->accessibleName(), QStringLiteral("Rec"));
        for (QWidget *w : v.findChildren<QWidget *>()) {
            // The dialogs the form owns have their own names; a combo box names its line edit.
            if (w->window() != v.window() || qobject_cast<QComboBox *>(w->parentWidget()))
                continue;
            if (qobject_cast<QAbstractButton *>(w) || qobject_cast<QLineEdit *>(w) || qobject_cast<QComboBox *>(w) ||
                qobject_cast<QPlainTextEdit *>(w))
                QVERIFY2(!w->accessibleName().isEmpty(), qPrintable(w->objectName()));
        }
    }
};

QTEST_MAIN(FormTest)
#include "test_form.moc"
