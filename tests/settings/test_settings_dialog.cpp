// The settings dialog driven as the user would: profiles saved, replaced, deleted
// and chosen, the questions asked on the way, the device lists and the Test button.

#include "settings/profile_file.h"
#include "settings/settings_dialog.h"
#include "tests/support/scripted_prompter.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

namespace {

Profile profile(const QString &name)
{
    Profile p;
    p.name = name;
    p.incoming = name + QStringLiteral(".pop");
    p.outgoing = name + QStringLiteral(".smtp");
    p.user = name.toLower();
    p.protocol = 1;
    return p;
}

QStringList names(const std::vector<Profile> &profiles)
{
    QStringList list;
    for (const Profile &p : profiles)
        list << p.name;
    return list;
}

// A choice in the list as Qt delivers it: the box changes, then activated().
void choose(QComboBox *box, int index)
{
    box->setCurrentIndex(index);
    emit box->activated(index);
}

void type(QLineEdit *edit, const QString &text)
{
    edit->selectAll();
    if (text.isEmpty())
        QTest::keyClick(edit, Qt::Key_Backspace);
    else
        QTest::keyClicks(edit, text);
}

struct Fixture
{
    explicit Fixture(const std::vector<Profile> &profiles = {}, const QString &current = QString())
    {
        if (!profiles.empty())
            ProfileFile::write(path(), profiles);
        dialog.setProgramFolder(dir.path());
        dialog.setPrompter(&prompter);
        dialog.m_name = current;
    }
    QString path() const { return ProfileFile::path(dir.path()); }
    std::vector<Profile> stored() const { return ProfileFile::read(path()).profiles; }
    void open()
    {
        dialog.setResult(0);
        dialog.OnInitDialog();
        dialog.show();
    }
    QLineEdit *nameEdit() const { return dialog.m_nameCombo->lineEdit(); }

    QTemporaryDir dir;
    ScriptedPrompter prompter;
    CSettingsDialog dialog;
};

}  // namespace

class TestSettingsDialog : public QObject
{
    Q_OBJECT
private slots:
    void firstRunOkSavesNewProfile();
    void saveReplacesExactNameAndAppendsOtherCase();
    void deleteRefusedForLastAndDeferredToFile();
    void newThenOtherSelectionAsksToSave();
    void newOkNoLoadsFirstProfile();
    void okWritesSelectionOrTypedName();
    void emptyNameIsRefused();
    void devicesAndAutoConnect();
    void testButtonHoldsTheDialog();
};

void TestSettingsDialog::firstRunOkSavesNewProfile()
{
    Fixture f;
    f.open();
    QCOMPARE(f.dialog.m_nameCombo->count(), 0);
    QCOMPARE(f.dialog.m_nameCombo->currentText(), QStringLiteral("New Profile"));
    type(f.dialog.m_outgoingEdit, QStringLiteral("smtp.home"));
    f.dialog.m_okButton->click();
    QCOMPARE(f.dialog.result(), int(QDialog::Accepted));
    const std::vector<Profile> stored = f.stored();
    QCOMPARE(names(stored), QStringList{QStringLiteral("New Profile")});
    QCOMPARE(stored[0].outgoing, QStringLiteral("smtp.home"));
    QCOMPARE(f.dialog.m_name, QStringLiteral("New Profile"));
    QVERIFY(f.prompter.shown.isEmpty());
}

void TestSettingsDialog::saveReplacesExactNameAndAppendsOtherCase()
{
    Fixture f({profile("Home"), profile("Work")}, QStringLiteral("Work"));
    f.open();
    QCOMPARE(f.dialog.selectedEntry(), 1);
    type(f.dialog.m_incomingEdit, QStringLiteral("new.pop"));
    f.dialog.m_saveButton->click();
    QCOMPARE(f.prompter.shown, QStringList{QStringLiteral("Profile Saved!")});
    std::vector<Profile> stored = f.stored();
    QCOMPARE(names(stored), (QStringList{QStringLiteral("Home"), QStringLiteral("Work")}));
    QCOMPARE(stored[1].incoming, QStringLiteral("new.pop"));
    QCOMPARE(stored[0].incoming, QStringLiteral("Home.pop"));
    QCOMPARE(f.dialog.selectedEntry(), 1);

    type(f.nameEdit(), QStringLiteral("work"));
    QCOMPARE(f.dialog.selectedEntry(), -1);
    f.dialog.m_saveButton->click();
    stored = f.stored();
    QCOMPARE(names(stored), (QStringList{QStringLiteral("Home"), QStringLiteral("Work"), QStringLiteral("work")}));
    QCOMPARE(f.dialog.m_nameCombo->count(), 3);
    QCOMPARE(f.dialog.selectedEntry(), 2);
    // Only the saved profile carries the mark.
    QCOMPARE(stored[0].selected + stored[1].selected + stored[2].selected, 1);
    QCOMPARE(stored[2].selected, 1);
}

void TestSettingsDialog::deleteRefusedForLastAndDeferredToFile()
{
    {
        Fixture one({profile("Only")}, QStringLiteral("Only"));
        one.open();
        one.dialog.m_deleteButton->click();
        QCOMPARE(one.prompter.shown, QStringList{QStringLiteral("At least one profile must be defined!")});
        QCOMPARE(one.dialog.m_profiles.size(), size_t(1));
    }
    Fixture f({profile("A"), profile("B")}, QStringLiteral("A"));
    f.open();
    f.prompter.answerNext(true);
    f.dialog.m_deleteButton->click();
    QCOMPARE(f.prompter.shown, QStringList{QStringLiteral("Do you want to delete the current profile?")});
    QCOMPARE(names(f.dialog.m_profiles), QStringList{QStringLiteral("B")});
    QCOMPARE(f.dialog.m_name, QStringLiteral("B"));
    QCOMPARE(f.dialog.m_incomingEdit->text(), QStringLiteral("B.pop"));
    QCOMPARE(f.dialog.m_nameCombo->count(), 1);
    QCOMPARE(names(f.stored()), (QStringList{QStringLiteral("A"), QStringLiteral("B")}));
    f.dialog.m_cancelButton->click();
    QCOMPARE(f.dialog.result(), int(QDialog::Rejected));
    QCOMPARE(names(f.stored()), (QStringList{QStringLiteral("A"), QStringLiteral("B")}));

    // Reopened, the deleted profile is back; deleting it and OK removes it for good.
    f.dialog.m_name = QStringLiteral("A");
    f.open();
    QCOMPARE(f.dialog.m_nameCombo->count(), 2);
    f.prompter.answerNext(false);
    f.dialog.m_deleteButton->click();
    QCOMPARE(f.dialog.m_profiles.size(), size_t(2));
    f.prompter.answerNext(true);
    f.dialog.m_deleteButton->click();
    f.dialog.m_okButton->click();
    QCOMPARE(f.dialog.result(), int(QDialog::Accepted));
    const std::vector<Profile> stored = f.stored();
    QCOMPARE(names(stored), QStringList{QStringLiteral("B")});
    QCOMPARE(stored[0].selected, 1);
}

void TestSettingsDialog::newThenOtherSelectionAsksToSave()
{
    Fixture f({profile("A"), profile("B")}, QStringLiteral("A"));
    f.open();
    f.dialog.m_newButton->click();
    QCOMPARE(f.dialog.m_nameCombo->currentText(), QStringLiteral("New Profile"));
    QCOMPARE(f.dialog.m_incomingEdit->text(), QString());
    type(f.nameEdit(), QStringLiteral("Travel"));
    type(f.dialog.m_incomingEdit, QStringLiteral("travel.pop"));
    f.prompter.answerNext(true);
    choose(f.dialog.m_nameCombo, 1);
    QCOMPARE(f.prompter.shown, QStringList{QStringLiteral("Do you want to save the current profile?")});
    // The new profile is saved under its own name; the chosen one is untouched.
    std::vector<Profile> stored = f.stored();
    QCOMPARE(names(stored), (QStringList{QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("Travel")}));
    QCOMPARE(stored[2].incoming, QStringLiteral("travel.pop"));
    QCOMPARE(stored[1].incoming, QStringLiteral("B.pop"));
    QCOMPARE(f.dialog.m_name, QStringLiteral("B"));
    QCOMPARE(f.dialog.m_incomingEdit->text(), QStringLiteral("B.pop"));
    QCOMPARE(f.dialog.m_modified, 0);

    f.dialog.m_newButton->click();
    f.prompter.answerNext(false);
    choose(f.dialog.m_nameCombo, 0);
    QCOMPARE(f.stored().size(), size_t(3));
    QCOMPARE(f.dialog.m_name, QStringLiteral("A"));
    // Without New, choosing asks nothing.
    choose(f.dialog.m_nameCombo, 2);
    QCOMPARE(f.prompter.shown.size(), 2);
    QCOMPARE(f.dialog.m_incoming, QStringLiteral("travel.pop"));
}

void TestSettingsDialog::newOkNoLoadsFirstProfile()
{
    Fixture f({profile("A"), profile("B")}, QStringLiteral("B"));
    f.open();
    f.dialog.m_newButton->click();
    f.prompter.answerNext(false);
    f.dialog.m_okButton->click();
    QCOMPARE(f.dialog.result(), int(QDialog::Accepted));
    QCOMPARE(f.dialog.m_name, QStringLiteral("A"));
    QCOMPARE(f.dialog.m_incoming, QStringLiteral("A.pop"));
    QCOMPARE(f.dialog.m_outgoing, QStringLiteral("A.smtp"));
    QCOMPARE(names(f.stored()), (QStringList{QStringLiteral("A"), QStringLiteral("B")}));
}

void TestSettingsDialog::okWritesSelectionOrTypedName()
{
    Fixture f({profile("A"), profile("B")}, QStringLiteral("B"));
    f.open();
    f.dialog.m_okButton->click();
    std::vector<Profile> stored = f.stored();
    QCOMPARE(stored[0].selected, 0);
    QCOMPARE(stored[1].selected, 1);

    // A name typed over the selected one is a new profile; the old one stays. The
    // other fields are those the form handed in, not the matched profile's.
    f.dialog.m_incoming = QStringLiteral("mirror.pop");
    f.open();
    type(f.nameEdit(), QStringLiteral("Office"));
    f.dialog.m_okButton->click();
    QCOMPARE(f.dialog.result(), int(QDialog::Accepted));
    stored = f.stored();
    QCOMPARE(names(stored), (QStringList{QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("Office")}));
    QCOMPARE(stored[2].incoming, QStringLiteral("mirror.pop"));
    QCOMPARE(f.dialog.m_name, QStringLiteral("Office"));
}

void TestSettingsDialog::emptyNameIsRefused()
{
    Fixture f;
    f.open();
    type(f.nameEdit(), QString());
    f.dialog.m_saveButton->click();
    f.dialog.m_okButton->click();
    QCOMPARE(f.prompter.shown, (QStringList{QStringLiteral("The profile name is not specified!"),
                                            QStringLiteral("Please define a profile!")}));
    QVERIFY(!QFile::exists(f.path()));
    QVERIFY(f.dialog.isVisible());
    QCOMPARE(f.dialog.result(), 0);
}

void TestSettingsDialog::devicesAndAutoConnect()
{
    Fixture f({profile("A")}, QStringLiteral("A"));
    f.dialog.setDeviceNames({QStringLiteral("mic one"), QStringLiteral("mic two")}, {QStringLiteral("speaker")});
    f.dialog.m_inputDevice = 1;
    f.dialog.m_outputDevice = 5;  // no longer present
    f.dialog.m_autoConnect = 1;
    f.open();
    QCOMPARE(f.dialog.m_inputCombo->currentText(), QStringLiteral("mic two"));
    QCOMPARE(f.dialog.m_outputCombo->count(), 1);
    QCOMPARE(f.dialog.m_outputCombo->currentIndex(), -1);
    QVERIFY(f.dialog.m_autoConnectCheck->isVisible());
    QVERIFY(f.dialog.m_autoConnectCheck->isChecked());
    choose(f.dialog.m_inputCombo, 0);
    QCOMPARE(f.dialog.m_inputDevice, 0);
    f.dialog.m_okButton->click();
    QCOMPARE(f.dialog.m_outputDevice, 5);
    QCOMPARE(f.dialog.m_autoConnect, 1);
    QCOMPARE(f.stored()[0].inputDevice, 0);

    // Without devices the boxes stay empty and the indexes keep their values.
    f.dialog.setDeviceNames({}, {});
    f.dialog.m_inputDevice = -1;
    f.open();
    QCOMPARE(f.dialog.m_inputCombo->count(), 0);
    f.dialog.m_okButton->click();
    QCOMPARE(f.dialog.m_inputDevice, -1);
}

void TestSettingsDialog::testButtonHoldsTheDialog()
{
    Fixture f({profile("A")}, QStringLiteral("A"));
    f.open();
    type(f.dialog.m_incomingEdit, QStringLiteral("pop.test"));
    bool ran = false;
    f.dialog.setAccountTest([&] {
        ran = true;
        QVERIFY(QApplication::overrideCursor());
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        QVERIFY(!f.dialog.m_okButton->isEnabled());
        QVERIFY(!f.dialog.m_cancelButton->isEnabled());
        QCOMPARE(f.dialog.m_incoming, QStringLiteral("pop.test"));
        // Escape, the close box and Cancel by code do nothing meanwhile.
        QTest::keyClick(&f.dialog, Qt::Key_Escape);
        f.dialog.close();
        f.dialog.reject();
        QVERIFY(f.dialog.isVisible());
    });
    f.dialog.m_testButton->click();
    QVERIFY(ran);
    QVERIFY(f.dialog.isVisible());
    QVERIFY(f.dialog.m_okButton->isEnabled());
    QVERIFY(f.dialog.m_cancelButton->isEnabled());
    QVERIFY(!QApplication::overrideCursor());
    QCOMPARE(f.dialog.result(), 0);
    QTest::keyClick(&f.dialog, Qt::Key_Escape);
    QVERIFY(!f.dialog.isVisible());
    QCOMPARE(f.dialog.result(), int(QDialog::Rejected));
}

QTEST_MAIN(TestSettingsDialog)
#include "test_settings_dialog.moc"
