// Profiles and settings: the profiles file against an independent reader and writer,
// the settings store, the settings dialog as the user drives it, and the form's side.

#include "resources/resource_ids.h"
#include "settings/outbox_path_dialog.h"
#include "settings/profile_file.h"
#include "settings/settings_dialog.h"
#include "settings/settings_store.h"
#include "tests/support/form_harness.h"
#include "tests/support/test_files.h"

#include <QComboBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QTest>

namespace {

// Reads profiles.bin as JSON, or writes JSON to it, with Python's struct module.
QByteArray runScript(const QStringList &args)
{
    QProcess python;
    python.start("python3", QStringList{ORVANTO_SOURCE_DIR "/tests/settings/profile_record.py"} + args);
    return python.waitForFinished(30000) && python.exitCode() == 0 ? python.readAllStandardOutput() : QByteArray();
}

const QByteArray Records = R"([{"mark": 1, "name": "Zoë Ω work", "incoming": "pop.x", "outgoing": "smtp.x", "protocol": 1, "user": "anna",
  "password": "s3cret", "reply": "anna@x.org", "input": -1, "output": 2, "savePass": 1, "requirePass": 1},
 {"mark": 0, "name": "home", "incoming": "", "outgoing": "o2", "protocol": 0, "user": "", "password": "",
  "reply": "", "input": 3, "output": -1, "savePass": 0, "requirePass": 0}])";

QJsonObject toJson(const Profile &p)
{
    return {{"mark", p.selected},   {"name", p.name},         {"incoming", p.incoming},   {"outgoing", p.outgoing},
            {"protocol", int(p.protocol)}, {"user", p.user},       {"password", p.password},   {"reply", p.reply},
            {"input", p.inputDevice}, {"output", p.outputDevice}, {"savePass", int(p.savePass)}, {"requirePass", int(p.requirePass)}};
}

QStringList fields(const StoredSettings &s)  // the texts, then the numbers in one string
{
    const Account &a = s.account;
    return {a.name, a.outgoing, a.incoming, a.user, a.password, a.reply,
            QString::asprintf("%d %d %d %d %d %d", a.savePass, a.requirePass, int(a.protocol), s.autoConnect,
                              a.inputDevice, a.outputDevice)};
}

QSettings raw() { return QSettings(QSettings::NativeFormat, QSettings::UserScope, "Orvanto", "Orvanto"); }

const auto Others = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ReadOther | QFileDevice::WriteOther;

// A profile with the servers "<name>.pop" and "<name>.smtp".
Profile profile(const QString &name, int mark = 0)
{
    return Profile({name, name + ".pop", name + ".smtp", MailProtocol::Smtp, {}, {}, {}}, mark);
}

// The stored profiles as "name incoming", the one carrying the selection mark starred.
QStringList stored(const QString &programFolder)
{
    QStringList list;
    for (const Profile &p : ProfileFile::read(ProfileFile::path(programFolder)).profiles)
        list << p.name + ' ' + p.incoming + (p.selected ? "*" : "");
    return list;
}

void type(QLineEdit *edit, const QString &text)
{
    edit->selectAll();
    QTest::keyClicks(edit, text);
}

QString canonical(const QString &path) { return QFileInfo(path).canonicalFilePath(); }

// The dialog opened on these stored profiles, `current` being the form's profile.
struct Dialog
{
    Dialog(const std::vector<Profile> &profiles, const QString &current)
    {
        ProfileFile::write(ProfileFile::path(dir.path()), profiles);
        d.setProgramFolder(dir.path());
        d.setPrompter(&prompter);
        open(current);
    }
    void open(const QString &current)
    {
        d.m_account.name = current;
        d.OnInitDialog();
        d.show();
    }

    QTemporaryDir dir;
    ScriptedPrompter prompter;
    CSettingsDialog d;
};

}  // namespace

class SettingsTest : public QObject
{
    Q_OBJECT
private slots:
    void profilesMatchAnIndependentReaderAndWriter()
    {
        QTemporaryDir dir;
        const QString theirs = dir.filePath(QStringLiteral("theirs.bin")), ours = ProfileFile::path(dir.path());
        const QJsonArray records = QJsonDocument::fromJson(Records).array();
        runScript({"write", theirs, QString::fromUtf8(Records)});
        // A trailing partial record is ignored: 3,085 bytes give two profiles.
        QVERIFY(TestFiles::write(theirs, TestFiles::read(theirs) + 'x'));
        std::vector<Profile> profiles = ProfileFile::read(theirs).profiles;
        QCOMPARE(profiles.size(), size_t(2));
        QCOMPARE(QJsonArray({toJson(profiles[0]), toJson(profiles[1])}), records);

        // Written back: texts padded with zeros, an unkept password all zero, -1 as 255.
        profiles[1].password = QStringLiteral("typed");
        QVERIFY(ProfileFile::write(ours, profiles).ok());
        const QJsonArray back = QJsonDocument::fromJson(runScript({"read", ours})).array();
        for (int i = 0; i < 2; ++i) {
            QJsonObject record = back[i].toObject();
            for (const char *field : {"name", "incoming", "outgoing", "user", "password", "reply"})
                QVERIFY2(record.take(QLatin1String(field) + QLatin1String("Padded")).toBool(), field);
            QCOMPARE(record, records[i].toObject());
        }
    }

    // A full disk (no file may pass 2,000 bytes) keeps both files whole and says why, where Qt's writer would not.
    void rewritesAreWholeAndPrivate()
    {
        QTemporaryDir dir;
        const QString path = ProfileFile::path(dir.path()), location = SettingsStore::location();
        raw().clear();
        raw().setValue("Other/Kept", QString(3000, QLatin1Char('k')));
        QVERIFY(ProfileFile::write(path, {profile("P")}).ok() && SettingsStore::save({}).ok());
        for (const QString &file : {path, location})
            QFile::setPermissions(file, QFile::permissions(file) | QFileDevice::ReadGroup | QFileDevice::ReadOther);
        const QByteArray before = TestFiles::read(path), settingsBefore = TestFiles::read(location);
        DurableFile::Result profiles, settings;
        TestFiles::withSizeLimit(2000, [&] {
            profiles = ProfileFile::write(path, {profile("P"), profile("Q")});
            settings = SettingsStore::save({profile("P"), true});
        });
        QVERIFY(profiles.cause == "File too large" && !settings.ok());
        QVERIFY(TestFiles::read(path) == before && TestFiles::read(location) == settingsBefore);

        // Written whole: the owner's alone, no temporary left, other groups kept.
        QVERIFY(ProfileFile::write(path, {profile("P"), profile("Q")}).ok() && SettingsStore::save({profile("P"), true}).ok());
        QCOMPARE(raw().value("Other/Kept").toString().size(), 3000);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"profiles.bin"});
        QCOMPARE(QDir(QFileInfo(location).path()).entryList(QDir::Files | QDir::Hidden), QStringList{"Orvanto.conf"});
        for (const QString &file : {path, location})
            QCOMPARE(QFile::permissions(file) & Others, QFileDevice::Permissions());
    }

    void settingsValuesAndDefaults()
    {
        // A comma must not turn the name into a list; -1 is written as 4294967295.
        const StoredSettings all{
            {"Work, main", "pop.x", "smtp.x", MailProtocol::Esmtp, "anna", "pw=\"x\"", "anna@x.org", -1, 2, true, true}, true};
        QVERIFY(SettingsStore::save(all).ok());
        QCOMPARE(raw().value("Settings/Input").toString(), QStringLiteral("4294967295"));
        QCOMPARE(fields(SettingsStore::load()), fields(all));

        // A store holding only "Name" and values of the wrong type or out of range: defaults.
        raw().clear();
        QSettings settings = raw();
        const std::pair<const char *, QVariant> wrong[] = {
            {"Name", "n"}, {"Input", "abc"}, {"Output", "4294967294"}, {"RequirePass", "1x"}, {"AutoConnect", "99999999999"}};
        for (const auto &[key, value] : wrong)
            settings.setValue(QStringLiteral("Settings/") + QLatin1String(key), value);
        settings.sync();
        QCOMPARE(fields(SettingsStore::load()), QStringList("n") + fields({}).mid(1));

        // Edited by hand (a comma without quotes, keys in the registry's letter case): still the text it holds.
        QVERIFY(TestFiles::write(SettingsStore::location(), "[Settings]\nNAME=Smith, Ann,x\nhost=smtp.x\n"));
        QCOMPARE(fields(SettingsStore::load()).mid(0, 2), (QStringList{"Smith, Ann,x", "smtp.x"}));
    }

    // An older version's record (Windows-1252 text, numbers out of range); the same numbers in the store.
    void legacyRecordsKeptAndRangesShared()
    {
        QByteArray record(ProfileFile::RecordSize, '\0');
        record.replace(ProfileFile::NameOffset, 12, "Caf\xe9 \x93" "Ann\x94 x");
        const struct { int offset; const char *key; int value; } numbers[] = {{ProfileFile::ProtocolOffset, "Protocol", 7},
            {ProfileFile::InputOffset, "Input", -5}, {ProfileFile::OutputOffset, "Output", 200},
            {ProfileFile::SavePassOffset, "SavePass", 2}, {ProfileFile::RequirePassOffset, "RequirePass", 255}};
        raw().clear();
        QSettings settings = raw();
        for (const auto &n : numbers) {
            record[n.offset] = char(n.value);
            settings.setValue(QStringLiteral("Settings/") + QLatin1String(n.key), uint(n.value));
        }
        settings.sync();
        Dialog f({}, QString());
        const QString path = ProfileFile::path(f.dir.path());
        QVERIFY(TestFiles::write(path, record));
        f.open(QString::fromUtf8("Café “Ann” x"));
        QCOMPARE(f.d.m_nameCombo->currentText(), QString::fromUtf8("Café “Ann” x"));
        QCOMPARE(fields({f.d.m_account}).mid(6) + fields(SettingsStore::load()), fields({}).mid(6) + fields({}));

        // Saved and written back unchanged, the record keeps its bytes; only the mark is set.
        f.d.m_saveButton->click();
        f.d.m_okButton->click();
        record[ProfileFile::MarkOffset] = 1;
        QCOMPARE(TestFiles::read(path), record);
    }

    void profilesSavedReplacedAndAdded()
    {
        Dialog f({profile("Home"), profile("Work")}, "Work");
        // Save replaces the profile of exactly this name; a case-different name is a new one.
        type(f.d.m_incomingEdit, "new.pop");
        f.d.m_saveButton->click();
        type(f.d.m_nameCombo->lineEdit(), "work");
        f.d.m_saveButton->click();
        QCOMPARE(stored(f.dir.path()), (QStringList{"Home Home.pop", "Work new.pop", "work new.pop*"}));

        // New, then choosing another profile asks to save the new one first.
        f.d.m_newButton->click();
        type(f.d.m_nameCombo->lineEdit(), "Travel");
        f.prompter.answerNext(true);
        f.d.m_nameCombo->setCurrentIndex(0);
        emit f.d.m_nameCombo->activated(0);
        QCOMPARE(f.d.m_incomingEdit->text(), QStringLiteral("Home.pop"));

        // A name typed over the selected one and OK: a new profile, the old one stays.
        type(f.d.m_nameCombo->lineEdit(), "Office");
        f.d.m_okButton->click();
        QCOMPARE(stored(f.dir.path()).mid(3).join(',').remove('*'), QStringLiteral("Travel ,Office Home.pop"));

        // When profiles.bin cannot be written, Save and OK each say why; the fields and the dialog stay.
        f.open("Office");
        const QByteArray before = TestFiles::read(ProfileFile::path(f.dir.path()));
        type(f.d.m_incomingEdit, "changed.pop");
        TestFiles::withSizeLimit(2000, [&] {
            f.d.m_saveButton->click();
            f.d.m_okButton->click();
        });
        QVERIFY(f.d.isVisible() && f.d.m_incomingEdit->text() == "changed.pop");
        QCOMPARE(TestFiles::read(ProfileFile::path(f.dir.path())), before);
        const QString saved = "Profile Saved!", cannot = "Cannot save the profile: File too large";
        QCOMPARE(f.prompter.shown, (QStringList{saved, saved, "Do you want to save the current profile?", cannot, cannot}));
    }

    // Deleting waits for OK (Cancel keeps the file as it was) and spares the last profile.
    void deleteWaitsForOkAndSparesTheLast()
    {
        Dialog f({profile("A"), profile("B")}, "A");
        f.prompter.answerNext(true);
        f.d.m_deleteButton->click();
        QCOMPARE(f.d.m_incomingEdit->text(), QStringLiteral("B.pop"));
        f.d.m_cancelButton->click();
        QCOMPARE(stored(f.dir.path()), (QStringList{"A A.pop", "B B.pop"}));
        f.open("A");
        f.prompter.answerNext(true);
        f.d.m_deleteButton->click();
        f.d.m_deleteButton->click();
        QVERIFY(f.prompter.shown.last() == "At least one profile must be defined!" && f.d.m_nameCombo->count() == 1);
        f.d.m_okButton->click();
        QCOMPARE(stored(f.dir.path()), QStringList{"B B.pop*"});
    }

    // A first run, and the outbox path and attachment commands of the form it leaves.
    void firstRunOutboxPathAndAttachment()
    {
        {
            // No profile saved: the program closes itself.
            FormHarness h;
            h.prompter().onNextDialog([](QDialog &) { return int(QDialog::Rejected); });
            h.view().OnInitialUpdate();
            h.frame().show();
            QTRY_VERIFY(!h.frame().isVisible());
        }
        FormHarness h;
        ProfileFile::write(ProfileFile::path(h.programFolder()), {profile("Stale"), profile("Last", 1)});
        bool offeredAndHidden = false;
        h.prompter().onNextDialog([&](QDialog &d) {
            // The profiles saved earlier are offered, the last current first, before the window shows.
            auto &dialog = dynamic_cast<CSettingsDialog &>(d);
            offeredAndHidden = dialog.m_nameCombo->count() == 2 && dialog.m_account.incoming == "Last.pop"
                               && !h.frame().isVisible();
            dialog.m_cancelButton->click();
            return d.result();
        });
        h.view().OnInitialUpdate();
        QVERIFY(offeredAndHidden);
        // Cancel: the profiles stay, nothing became current, the program goes on.
        QCOMPARE(stored(h.programFolder()), (QStringList{"Stale Stale.pop", "Last Last.pop*"}));
        QCOMPARE(raw().value("Settings/Name").toString() + h.view().account().name, QString());
        h.frame().show();
        QVERIFY(!QTest::qWaitFor([&h] { return !h.frame().isVisible(); }, 100));

        const QDir folder(h.programFolder());
        const QString sub = folder.filePath("sub"), file = folder.filePath("a.wav"), info = file + ".info";
        QVERIFY(folder.mkdir("sub") && TestFiles::write(file, "") && TestFiles::write(info, ""));
        QStringList outboxes;
        for (const QString &entered : {QString(), folder.filePath("missing"), sub, file}) {
            h.prompter().onNextDialog([entered](QDialog &d) {
                dynamic_cast<COutboxPathDialog &>(d).m_pathEdit->setText(entered);
                return int(QDialog::Accepted);
            });
            h.view().OnCommand(Ids::CmdOutboxPath);
            outboxes << h.view().GetOutboxPath();
        }
        // An empty or missing path is refused; a folder becomes current, a file only passes.
        QCOMPARE(h.prompter().shown, QStringList(2, "Invalid path!"));
        QCOMPARE(outboxes, (QStringList{h.outbox(), h.outbox(), sub, file}));
        QCOMPARE(canonical(QDir::currentPath()), canonical(sub));

        // Attaching: a path listed already, even inside a longer one, or Cancel adds nothing.
        h.setField(Ids::AttachmentsEdit, "typed.doc,");
        for (const QString &chosen : {info, file, sub, sub, QString()}) {
            h.prompter().chooseFileNext(chosen);
            h.view().OnCommand(chosen == file ? Ids::BrowseButton : Ids::CmdAttachment);
        }
        QCOMPARE(h.field(Ids::AttachmentsEdit), "typed.doc," + info + ',' + sub + ',');
        // The file dialog starts in the program folder; then the current directory is restored.
        QCOMPARE(h.prompter().fileDialogFolders, QStringList(5, h.programFolder()));
        QCOMPARE(canonical(QDir::currentPath()), canonical(sub));
    }

    // OK with another profile makes it current and saved; a password not kept is not shown nor saved.
    void settingsLoadedAndChanged()
    {
        FormHarness h;
        ProfileFile::write(ProfileFile::path(h.programFolder()), {profile("A"), profile("B")});
        Account account{"B", "", "smtp.b", MailProtocol::Smtp, "", "pw", "", -1, 2, true, false};
        SettingsStore::save({account, true});
        h.view().OnInitialUpdate();
        QVERIFY(h.view().account() == account && h.view().IsTimerActive(Ids::TimerAutoConnect));
        account.savePass = false;
        h.view().setAccount(account);
        QString shownPassword = QStringLiteral("unset");
        h.prompter().onNextDialog([&shownPassword](QDialog &d) {
            auto &dialog = dynamic_cast<CSettingsDialog &>(d);
            shownPassword = dialog.m_passwordEdit->text();
            dialog.m_nameCombo->setCurrentIndex(0);
            emit dialog.m_nameCombo->activated(0);
            type(dialog.m_passwordEdit, "typed");
            dialog.m_okButton->click();
            return d.result();
        });
        h.view().OnCommand(Ids::CmdSettings);
        QCOMPARE((QStringList{shownPassword, h.view().account().outgoing, h.view().account().password, h.field(Ids::ProfileCombo),
                              raw().value("Settings/Name").toString(), raw().value("Settings/Pass").toString()}),
                 (QStringList{"", "A.smtp", "typed", "A", "A", ""}));
    }
};

QTEST_MAIN(SettingsTest)
#include "test_settings.moc"
