#include "settings/settings_dialog.h"

#include "settings/profile_file.h"
#include "shell/prompter.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <algorithm>

namespace {

const QString NewProfileName = QStringLiteral("New Profile");
const QString SaveQuestion = QStringLiteral("Do you want to save the current profile?");

// Used only when the form has not handed its prompter over.
WidgetPrompter &fallbackPrompter()
{
    static WidgetPrompter prompter;
    return prompter;
}

// A list box without a selection keeps the index it was given.
void takeIndex(const QComboBox *box, int &index)
{
    if (box->currentIndex() >= 0)
        index = box->currentIndex();
}

}  // namespace

CSettingsDialog::CSettingsDialog(QWidget *parent)
    : QDialog(parent)
{
    createControls();
    layOutControls();
    connectControls();
}

CSettingsDialog::~CSettingsDialog() = default;

void CSettingsDialog::connectControls()
{
    connect(m_nameCombo, QOverload<int>::of(&QComboBox::activated), this, &CSettingsDialog::OnProfileChange);
    connect(m_nameCombo->lineEdit(), &QLineEdit::textEdited, this, [this](const QString &text) { m_nameText = text; });
    connect(m_newButton, &QPushButton::clicked, this, &CSettingsDialog::OnNewProfile);
    connect(m_deleteButton, &QPushButton::clicked, this, &CSettingsDialog::DeleteProfile);
    connect(m_saveButton, &QPushButton::clicked, this, &CSettingsDialog::OnSaveProfile);
    connect(m_testButton, &QPushButton::clicked, this, &CSettingsDialog::OnTestAccount);
    connect(m_okButton, &QPushButton::clicked, this, &CSettingsDialog::OnOK);
    connect(m_cancelButton, &QPushButton::clicked, this, &CSettingsDialog::reject);
    for (QComboBox *box : {m_inputCombo, m_outputCombo, m_voiceFormatCombo})
        connect(box, QOverload<int>::of(&QComboBox::activated), this, [this] { UpdateData(true); });
}

void CSettingsDialog::setDeviceNames(const QStringList &input, const QStringList &output)
{
    m_inputNames = input;
    m_outputNames = output;
}

Prompter &CSettingsDialog::prompter() const
{
    return m_prompter ? *m_prompter : fallbackPrompter();
}

void CSettingsDialog::message(const QString &text)
{
    prompter().message(this, text);
}

bool CSettingsDialog::ask(const QString &text)
{
    return prompter().ask(this, text);
}

bool CSettingsDialog::written(const DurableFile::Result &result)
{
    if (!result.ok())
        message(QStringLiteral("Cannot save the profile: ") + result.cause);
    return result.ok();
}

QString CSettingsDialog::profilesPath() const
{
    return ProfileFile::path(m_programFolder);
}

int CSettingsDialog::DoModal()
{
    setResult(0);
    OnInitDialog();
    // On a first run the main window is not shown yet: centre on the screen.
    const QWidget *owner = parentWidget() ? parentWidget()->window() : nullptr;
    if ((!owner || !owner->isVisible()) && screen()) {
        adjustSize();
        QRect centred = frameGeometry();
        centred.moveCenter(screen()->availableGeometry().center());
        move(centred.topLeft());
    } else {
        setAttribute(Qt::WA_Moved, false);  // Qt centres it over the main window
    }
    return prompter().exec(*this);
}

void CSettingsDialog::UpdateData(bool saveAndValidate)
{
    if (saveAndValidate) {
        Account &a = m_account;
        a.name = m_nameText;
        m_autoConnect = m_autoConnectCheck->isChecked();
        int protocol = int(a.protocol);
        takeIndex(m_protocolCombo, protocol);
        a.protocol = MailProtocol(protocol);
        a.user = m_userEdit->text();
        takeIndex(m_inputCombo, a.inputDevice);
        takeIndex(m_outputCombo, a.outputDevice);
        a.password = m_passwordEdit->text();
        a.reply = m_replyEdit->text();
        a.incoming = m_incomingEdit->text();
        a.outgoing = m_outgoingEdit->text();
        a.savePass = m_savePassCheck->isChecked();
        a.requirePass = m_requirePassCheck->isChecked();
        m_voiceFormat = m_voiceFormatCombo->currentIndex();
    } else {
        showName();
        const Account &a = m_account;
        m_autoConnectCheck->setChecked(m_autoConnect);
        m_protocolCombo->setCurrentIndex(int(a.protocol));
        m_userEdit->setText(a.user);
        m_inputCombo->setCurrentIndex(a.inputDevice);
        m_outputCombo->setCurrentIndex(a.outputDevice);
        m_passwordEdit->setText(a.password);
        m_replyEdit->setText(a.reply);
        m_incomingEdit->setText(a.incoming);
        m_outgoingEdit->setText(a.outgoing);
        m_savePassCheck->setChecked(a.savePass);
        m_requirePassCheck->setChecked(a.requirePass);
        m_voiceFormatCombo->setCurrentIndex(m_voiceFormat);
    }
}

// Shows the name field in the profile box: the selected entry stays selected when
// it carries the name, else the entry of exactly that name is selected, else the
// name stands typed with no entry selected.
void CSettingsDialog::showName()
{
    int entry = m_nameCombo->currentIndex();
    if (entry < 0 || m_nameCombo->itemText(entry) != m_account.name)
        entry = m_nameCombo->findText(m_account.name, Qt::MatchExactly | Qt::MatchCaseSensitive);
    m_nameCombo->setCurrentIndex(entry);
    if (entry < 0)
        m_nameCombo->setEditText(m_account.name);
    m_nameText = m_account.name;
}

int CSettingsDialog::selectedEntry() const
{
    const int entry = m_nameCombo->currentIndex();
    return entry >= 0 && m_nameCombo->itemText(entry) == m_nameText ? entry : -1;
}

void CSettingsDialog::fillDevices(QComboBox *box, const QStringList &names, int index)
{
    box->clear();
    box->addItems(names);
    // An index outside the list leaves the box without a selection.
    box->setCurrentIndex(names.isEmpty() ? -1 : index);
}

void CSettingsDialog::OnInitDialog()
{
    m_inputCombo->clear();
    m_outputCombo->clear();
    UpdateData(false);
    fillDevices(m_inputCombo, m_inputNames, m_account.inputDevice);
    fillDevices(m_outputCombo, m_outputNames, m_account.outputDevice);
    LoadDialogProfiles();
}

void CSettingsDialog::OnProfileChange(int index)
{
    if (m_modified) {
        if (ask(SaveQuestion) && !written(SaveProfile())) {
            // The unsaved profile stays on show instead of the one chosen.
            UpdateData(false);
            return;
        }
        m_modified = 0;
    }
    UpdateData(true);
    SelectDialogProfile(index);
}

void CSettingsDialog::OnNewProfile()
{
    m_modified = 1;
    // A new profile keeps the devices shown.
    Account fresh;
    fresh.name = NewProfileName;
    fresh.inputDevice = m_account.inputDevice;
    fresh.outputDevice = m_account.outputDevice;
    m_account = fresh;
    UpdateData(false);
}

void CSettingsDialog::OnSaveProfile()
{
    UpdateData(true);
    if (m_account.name.isEmpty()) {
        message(QStringLiteral("The profile name is not specified!"));
        return;
    }
    // On failure the fields and the modified flag stay, so nothing typed is lost.
    if (!written(SaveProfile()))
        return;
    m_modified = 0;
    UpdateData(false);
    message(QStringLiteral("Profile Saved!"));
}

void CSettingsDialog::OnTestAccount()
{
    UpdateData(true);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_okButton->setEnabled(false);
    m_cancelButton->setEnabled(false);
    m_testRunning = true;
    if (m_accountTest)
        m_accountTest();
    m_testRunning = false;
    m_okButton->setEnabled(true);
    m_cancelButton->setEnabled(true);
    QApplication::restoreOverrideCursor();
}

void CSettingsDialog::OnOK()
{
    UpdateData(true);
    if (m_account.name.isEmpty()) {
        message(QStringLiteral("Please define a profile!"));
        return;
    }
    // A write that fails keeps the dialog open with its fields: closing with OK would
    // make current a profile that is not stored.
    if (m_modified) {
        if (ask(SaveQuestion)) {
            if (!written(SaveProfile()))
                return;
        } else {
            SelectDialogProfile(0);
        }
        m_modified = 0;
    } else {
        UpdateData(true);
        const int selected = selectedEntry();
        // A typed name that selects no entry is a profile of its own.
        if (selected == -1 && !written(SaveProfile()))
            return;
        if (!written(WriteProfiles(selected)))
            return;
    }
    UpdateData(true);
    accept();
}

void CSettingsDialog::done(int result)
{
    if (m_testRunning)
        return;
    QDialog::done(result);
}

void CSettingsDialog::LoadDialogProfiles()
{
    m_profiles.clear();
    m_nameCombo->clear();
    const ProfileFile::Contents file = ProfileFile::read(profilesPath());
    if (!file.exists || (file.opened && file.profiles.empty())) {
        m_account.name = NewProfileName;
        m_account.protocol = MailProtocol::Smtp;
        m_account.inputDevice = 0;
        m_account.outputDevice = 0;
        m_account.savePass = false;
        UpdateData(false);
        return;
    }
    if (!file.opened)
        return;
    int selected = -1;
    for (Profile record : file.profiles) {
        record.selected = 0;
        if (ProfileFile::sameName(record.name, m_account.name)) {
            record.selected = 1;
            selected = int(m_profiles.size());
            m_account.name = record.name;
        }
        m_profiles.push_back(record);
        m_nameCombo->addItem(record.name);
    }
    // The box must not keep the entry Qt selects when the first one is added.
    m_nameCombo->setCurrentIndex(selected);
    if (m_account.name.isEmpty() && !m_profiles.empty()) {
        // No current profile (a first run): the stored ones are offered, the one
        // that was current when the file was written first.
        const auto current = std::find_if(file.profiles.cbegin(), file.profiles.cend(),
                                          [](const Profile &p) { return p.selected == 1; });
        SelectDialogProfile(current == file.profiles.cend() ? 0 : int(current - file.profiles.cbegin()));
        return;
    }
    UpdateData(false);
}

DurableFile::Result CSettingsDialog::SaveProfile()
{
    UpdateData(true);
    Profile record = ProfileFile::stored(Profile(m_account.kept(), 1));

    std::vector<Profile> profiles = m_profiles;
    int replaced = -1;
    for (size_t i = 0; i < profiles.size(); ++i) {
        if (ProfileFile::sameName(profiles[i].name, record.name)) {
            // Saved unchanged, the record goes back as it was read.
            if (profiles[i].kept() == record.kept())
                record.raw = profiles[i].raw;
            profiles[i] = record;
            replaced = int(i);
            break;
        }
        profiles[i].selected = 0;
    }
    if (replaced < 0)
        profiles.push_back(record);
    const DurableFile::Result result = ProfileFile::write(profilesPath(), profiles);
    if (!result.ok())
        return result;

    m_profiles = profiles;
    const int shown = m_nameCombo->currentIndex();
    if (replaced >= 0) {
        m_nameCombo->removeItem(replaced);
        m_nameCombo->insertItem(replaced, record.name);
    } else {
        m_nameCombo->addItem(record.name);
    }
    // Editing the list moves Qt's selection; the box keeps what it showed.
    m_nameCombo->setCurrentIndex(shown);
    if (m_nameCombo->currentText() != m_nameText)
        m_nameCombo->setEditText(m_nameText);
    return result;
}

DurableFile::Result CSettingsDialog::WriteProfiles(int selected)
{
    for (size_t i = 0; i < m_profiles.size(); ++i)
        m_profiles[i].selected = int(i) == selected ? 1 : 0;
    return ProfileFile::write(profilesPath(), m_profiles);
}

void CSettingsDialog::DeleteProfile()
{
    const int selected = selectedEntry();
    if (m_profiles.size() == 1) {
        message(QStringLiteral("At least one profile must be defined!"));
        return;
    }
    if (!ask(QStringLiteral("Do you want to delete the current profile?")))
        return;
    if (selected < 0 || selected >= int(m_profiles.size()))
        return;
    m_nameCombo->removeItem(selected);
    m_nameCombo->setCurrentIndex(0);
    m_profiles.erase(m_profiles.begin() + selected);
    SelectDialogProfile(0);
}

void CSettingsDialog::SelectDialogProfile(int index)
{
    Account chosen;  // empty when index names no entry
    for (size_t i = 0; i < m_profiles.size(); ++i) {
        m_profiles[i].selected = 0;
        if (int(i) == index) {
            m_profiles[i].selected = 1;
            chosen = m_profiles[i];
        }
    }
    m_account = chosen;
    m_nameCombo->setCurrentIndex(index < int(m_profiles.size()) ? index : -1);
    UpdateData(false);
}
