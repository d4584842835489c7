// The form's side of settings and profiles, with a real main frame and message
// form: the first run, loading and saving the settings, the Settings command, the
// outbox path and attaching files.

#include "app/talkpost_view.h"
#include "resources/resource_ids.h"
#include "settings/outbox_path_dialog.h"
#include "settings/profile_file.h"
#include "shell/main_frame.h"
#include "tests/support/scripted_prompter.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

namespace {

QSettings raw()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Orvanto"),
                     QStringLiteral("Orvanto"));
}

Profile profile(const QString &name)
{
    Profile p;
    p.name = name;
    p.incoming = name + QStringLiteral(".pop");
    p.outgoing = name + QStringLiteral(".smtp");
    p.user = name.toLower();
    return p;
}

void type(QLineEdit *edit, const QString &text)
{
    edit->selectAll();
    QTest::keyClicks(edit, text);
}

QString canonical(const QString &path)
{
    return QFileInfo(path).canonicalFilePath();
}

// The main frame and the message form wired as the program wires them.
struct Form
{
    explicit Form(const QString &folder)
    {
        QDir::setCurrent(folder);
        frame = std::make_unique<CMainFrame>();
        FormServices services;
        services.programFolder = folder;
        services.prompter = &prompter;
        view = new CTalkpostView(services, frame.get());
        frame->setCentralWidget(view);
        frame->setClient(view);
    }
    QString log() const { return frame->logEdit()->toPlainText(); }

    ScriptedPrompter prompter;
    std::unique_ptr<CMainFrame> frame;
    CTalkpostView *view = nullptr;
};

CSettingsDialog &settingsDialog(QDialog &dialog)
{
    return static_cast<CSettingsDialog &>(dialog);
}

}  // namespace

class TestSettingsForm : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup() { QDir::setCurrent(m_startDirectory); }
    void firstRunSaveThenCancel();
    void firstRunOkMakesTheProfileCurrent();
    void loadSettingsFromTheStore();
    void settingsCommand();
    void outboxPath();
    void attachment();

private:
    QString m_startDirectory = QDir::currentPath();
    std::unique_ptr<QTemporaryDir> m_folder;
};

void TestSettingsForm::init()
{
    raw().clear();
    m_folder = std::make_unique<QTemporaryDir>();
}

void TestSettingsForm::firstRunSaveThenCancel()
{
    const QString profiles = ProfileFile::path(m_folder->path());
    ProfileFile::write(profiles, {profile("Stale")});
    {
        Form form(m_folder->path());
        bool asked = false;
        form.prompter.onNextDialog([&](QDialog &d) {
            asked = true;
            CSettingsDialog &dialog = settingsDialog(d);
            [&] {
                // The old profiles are gone and the main window is not shown yet.
                QVERIFY(!QFile::exists(profiles));
                QVERIFY(!form.frame->isVisible());
                QCOMPARE(dialog.m_nameCombo->count(), 0);
                QCOMPARE(dialog.m_nameCombo->currentText(), QStringLiteral("New Profile"));
            }();
            type(dialog.m_outgoingEdit, QStringLiteral("smtp.first"));
            dialog.m_saveButton->click();
            dialog.m_cancelButton->click();
            return d.result();
        });
        form.view->OnInitialUpdate();
        QVERIFY(asked);
        QCOMPARE(form.prompter.shown, QStringList{QStringLiteral("Profile Saved!")});
        // The saved profile stays, but nothing became current.
        QCOMPARE(ProfileFile::read(profiles).profiles.size(), size_t(1));
        QVERIFY(!raw().contains(QStringLiteral("Settings/Name")));
        QCOMPARE(form.view->m_profileName, QString());
        form.frame->show();
        QTest::qWait(100);
        QVERIFY(form.frame->isVisible());
    }
    // The next start is a first run again; closing the dialog saves nothing, so
    // the program closes itself.
    Form second(m_folder->path());
    bool deletedBeforeDialog = false;
    second.prompter.onNextDialog([&](QDialog &d) {
        deletedBeforeDialog = !QFile::exists(profiles);
        d.reject();
        return d.result();
    });
    second.view->OnInitialUpdate();
    QVERIFY(second.prompter.allAnswersUsed());
    QVERIFY(deletedBeforeDialog);
    QVERIFY(!QFile::exists(profiles));
    second.frame->show();
    QTRY_VERIFY(!second.frame->isVisible());
}

void TestSettingsForm::firstRunOkMakesTheProfileCurrent()
{
    Form form(m_folder->path());
    form.prompter.onNextDialog([](QDialog &d) {
        CSettingsDialog &dialog = settingsDialog(d);
        type(dialog.m_nameCombo->lineEdit(), QStringLiteral("Home"));
        type(dialog.m_outgoingEdit, QStringLiteral("smtp.home"));
        type(dialog.m_userEdit, QStringLiteral("anna"));
        type(dialog.m_passwordEdit, QStringLiteral("typed"));
        dialog.m_okButton->click();
        return d.result();
    });
    form.view->OnInitialUpdate();
    CTalkpostView &view = *form.view;
    QCOMPARE(view.m_profileName, QStringLiteral("Home"));
    QCOMPARE(view.m_host, QStringLiteral("smtp.home"));
    QCOMPARE(view.m_user, QStringLiteral("anna"));
    // Without keep-password the password serves this run only.
    QCOMPARE(view.m_password, QStringLiteral("typed"));
    QCOMPARE(raw().value(QStringLiteral("Settings/Pass")).toString(), QString());
    QCOMPARE(raw().value(QStringLiteral("Settings/Name")).toString(), QStringLiteral("Home"));
    QCOMPARE(view.m_profileIndex, 0);
    QCOMPARE(view.m_profileCombo->currentText(), QStringLiteral("Home"));
    QCOMPARE(view.m_subject, QStringLiteral("Voice message from Home"));
    QVERIFY(form.log().contains(QStringLiteral("Profile saved.")));
    QCOMPARE(ProfileFile::read(ProfileFile::path(m_folder->path())).profiles[0].password, QString());
    form.frame->show();
    QTest::qWait(100);
    QVERIFY(form.frame->isVisible());
}

void TestSettingsForm::loadSettingsFromTheStore()
{
    const QString profiles = ProfileFile::path(m_folder->path());
    ProfileFile::write(profiles, {profile("Home"), profile("Work")});
    {
        QSettings settings = raw();
        settings.setValue(QStringLiteral("Settings/Name"), QStringLiteral("Work"));
        settings.setValue(QStringLiteral("Settings/Host"), QStringLiteral("smtp.work"));
        settings.setValue(QStringLiteral("Settings/Pass"), QStringLiteral("pw"));
        settings.setValue(QStringLiteral("Settings/SavePass"), 1);
        settings.setValue(QStringLiteral("Settings/Protocol"), 1);
        settings.setValue(QStringLiteral("Settings/AutoConnect"), 1);
        settings.setValue(QStringLiteral("Settings/Input"), QStringLiteral("4294967295"));
        settings.setValue(QStringLiteral("Settings/Output"), 2);
    }
    {
        Form form(m_folder->path());
        form.view->OnInitialUpdate();
        const CTalkpostView &view = *form.view;
        QCOMPARE(view.m_profileName, QStringLiteral("Work"));
        QCOMPARE(view.m_host, QStringLiteral("smtp.work"));
        QCOMPARE(view.m_password, QStringLiteral("pw"));
        QCOMPARE(view.m_protocol, 1);
        QCOMPARE(view.m_inputDevice, -1);
        QCOMPARE(view.m_outputDevice, 2);
        QCOMPARE(view.m_autoConnect, 1);
        QCOMPARE(view.m_connectPending, 1);
        QVERIFY(view.IsTimerActive(Ids::TimerAutoConnect));
        QCOMPARE(view.m_profileIndex, 1);
        QCOMPARE(view.m_profileCombo->currentText(), QStringLiteral("Work"));
        QCOMPARE(view.m_profiles[1].selected, 1);
        QCOMPARE(view.m_profiles[0].selected, 0);
        QVERIFY(QFile::exists(profiles));
    }
    // A store holding only "Name": empty servers, SMTP, devices 0, no AutoConnect.
    raw().clear();
    raw().setValue(QStringLiteral("Settings/Name"), QStringLiteral("Elsewhere"));
    Form form(m_folder->path());
    form.view->OnInitialUpdate();
    const CTalkpostView &view = *form.view;
    QCOMPARE(view.m_host, QString());
    QCOMPARE(view.m_incoming, QString());
    QCOMPARE(view.m_protocol, 0);
    QCOMPARE(view.m_inputDevice, 0);
    QCOMPARE(view.m_outputDevice, 0);
    QCOMPARE(view.m_connectPending, 0);
    QVERIFY(!view.IsTimerActive(Ids::TimerAutoConnect));
    // The current profile is not in the file: the box lists both and shows neither.
    QCOMPARE(view.m_profileCombo->count(), 2);
    QCOMPARE(view.m_profileCombo->currentIndex(), -1);
}

void TestSettingsForm::settingsCommand()
{
    ProfileFile::write(ProfileFile::path(m_folder->path()), {profile("A"), profile("B")});
    raw().setValue(QStringLiteral("Settings/Name"), QStringLiteral("A"));
    Form form(m_folder->path());
    form.view->OnInitialUpdate();
    CTalkpostView &view = *form.view;
    view.m_password = QStringLiteral("secret");
    view.m_savePass = 0;

    // Cancel changes nothing; the unkept password is not shown in the dialog.
    QString shownPassword = QStringLiteral("unset");
    QString shownName;
    form.prompter.onNextDialog([&](QDialog &d) {
        CSettingsDialog &dialog = settingsDialog(d);
        shownPassword = dialog.m_passwordEdit->text();
        shownName = dialog.m_nameCombo->currentText();
        type(dialog.m_outgoingEdit, QStringLiteral("changed"));
        dialog.m_cancelButton->click();
        return d.result();
    });
    const int savedBefore = form.log().count(QStringLiteral("Profile saved."));
    view.OnCommand(Ids::CmdSettings);
    QCOMPARE(shownPassword, QString());
    QCOMPARE(shownName, QStringLiteral("A"));
    QCOMPARE(view.m_host, QString());
    QCOMPARE(view.m_password, QStringLiteral("secret"));
    QCOMPARE(form.log().count(QStringLiteral("Profile saved.")), savedBefore);

    // OK with another profile chosen makes it current and saves the settings.
    form.prompter.onNextDialog([](QDialog &d) {
        CSettingsDialog &dialog = settingsDialog(d);
        dialog.m_nameCombo->setCurrentIndex(1);
        emit dialog.m_nameCombo->activated(1);
        type(dialog.m_passwordEdit, QStringLiteral("typed"));
        dialog.m_okButton->click();
        return d.result();
    });
    view.OnCommand(Ids::CmdSettings);
    QCOMPARE(view.m_profileName, QStringLiteral("B"));
    QCOMPARE(view.m_host, QStringLiteral("B.smtp"));
    QCOMPARE(view.m_password, QStringLiteral("typed"));
    QCOMPARE(view.m_profileCombo->currentText(), QStringLiteral("B"));
    QCOMPARE(raw().value(QStringLiteral("Settings/Name")).toString(), QStringLiteral("B"));
    QCOMPARE(raw().value(QStringLiteral("Settings/Pass")).toString(), QString());
    QCOMPARE(form.log().count(QStringLiteral("Profile saved.")), savedBefore + 1);

    // The save command writes the password only while it is kept.
    view.m_savePass = 1;
    view.OnCommand(Ids::CmdSaveSettings);
    QCOMPARE(raw().value(QStringLiteral("Settings/Pass")).toString(), QStringLiteral("typed"));
    QCOMPARE(form.log().count(QStringLiteral("Profile saved.")), savedBefore + 2);
}

void TestSettingsForm::outboxPath()
{
    Form form(m_folder->path());
    CTalkpostView &view = *form.view;
    const QString outbox = m_folder->filePath(QStringLiteral("emsg"));
    const QString other = m_folder->filePath(QStringLiteral("elsewhere"));
    QVERIFY(QDir().mkpath(outbox) && QDir().mkpath(other));
    const QString file = m_folder->filePath(QStringLiteral("plain.txt"));
    QFile(file).open(QIODevice::WriteOnly);
    view.m_outboxPath = outbox;

    auto answer = [&form](const QString &entered, int result) {
        form.prompter.onNextDialog([entered, result](QDialog &d) {
            auto &dialog = static_cast<COutboxPathDialog &>(d);
            if (result == QDialog::Accepted)
                dialog.m_pathEdit->setText(entered);
            return result;
        });
    };
    // The dialog starts with the current path; Cancel keeps it.
    QString shownPath;
    form.prompter.onNextDialog([&](QDialog &d) {
        shownPath = static_cast<COutboxPathDialog &>(d).path();
        return int(QDialog::Rejected);
    });
    view.OnCommand(Ids::CmdOutboxPath);
    QCOMPARE(shownPath, outbox);
    QVERIFY(form.prompter.shown.isEmpty());
    answer(QString(), QDialog::Accepted);
    view.OnCommand(Ids::CmdOutboxPath);
    answer(m_folder->filePath(QStringLiteral("missing")), QDialog::Accepted);
    view.OnCommand(Ids::CmdOutboxPath);
    QCOMPARE(form.prompter.shown, (QStringList{QStringLiteral("Invalid path!"), QStringLiteral("Invalid path!")}));
    QCOMPARE(view.m_outboxPath, outbox);

    answer(other, QDialog::Accepted);
    view.OnCommand(Ids::CmdOutboxPath);
    QCOMPARE(view.m_outboxPath, other);
    QCOMPARE(canonical(QDir::currentPath()), canonical(other));

    // A file passes the existence test; the current directory stays.
    answer(file, QDialog::Accepted);
    view.OnCommand(Ids::CmdOutboxPath);
    QCOMPARE(view.m_outboxPath, file);
    QCOMPARE(canonical(QDir::currentPath()), canonical(other));
    QCOMPARE(form.prompter.shown.size(), 2);
}

void TestSettingsForm::attachment()
{
    Form form(m_folder->path());
    CTalkpostView &view = *form.view;
    const QString wav = m_folder->filePath(QStringLiteral("a.wav"));
    const QString info = m_folder->filePath(QStringLiteral("a.wav.info"));
    const QString sub = m_folder->filePath(QStringLiteral("sub"));
    QVERIFY(QDir().mkpath(sub));
    const QString text = sub + QStringLiteral("/b.txt");
    for (const QString &path : {wav, info, text})
        QFile(path).open(QIODevice::WriteOnly);
    QDir::setCurrent(sub);
    view.m_attachmentsEdit->setText(QStringLiteral("typed.doc,"));

    form.prompter.chooseFileNext(info);
    view.OnCommand(Ids::CmdAttachment);
    QCOMPARE(view.m_attachments, QStringLiteral("typed.doc,") + info + QLatin1Char(','));
    QCOMPARE(view.m_attachmentsEdit->text(), view.m_attachments);
    QCOMPARE(form.prompter.fileDialogFolders, QStringList{m_folder->path()});
    QCOMPARE(canonical(form.prompter.fileDialogCurrentDirs.value(0)), canonical(m_folder->path()));
    QCOMPARE(canonical(QDir::currentPath()), canonical(sub));

    // A path already listed, even inside a longer one, is not added again.
    form.prompter.chooseFileNext(wav);
    view.OnCommand(Ids::BrowseButton);
    form.prompter.chooseFileNext(text);
    view.OnCommand(Ids::BrowseButton);
    form.prompter.chooseFileNext(text);
    view.OnCommand(Ids::CmdAttachment);
    QCOMPARE(view.m_attachments, QStringLiteral("typed.doc,") + info + QLatin1Char(',') + text + QLatin1Char(','));

    // A cancelled dialog changes nothing and still restores the directory.
    view.OnCommand(Ids::CmdAttachment);
    QCOMPARE(form.prompter.fileDialogFolders.size(), 5);
    QCOMPARE(view.m_attachments, QStringLiteral("typed.doc,") + info + QLatin1Char(',') + text + QLatin1Char(','));
    QCOMPARE(canonical(QDir::currentPath()), canonical(sub));
}

QTEST_MAIN(TestSettingsForm)
#include "test_settings_form.moc"
