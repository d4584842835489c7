#pragma once

#include "settings/profile.h"
#include "storage/durable_file.h"

#include <QDialog>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class Prompter;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The settings dialog (template 135): the user's mail-account profiles and sound
// devices. One object lives with the message form, so its fields survive between
// openings; the form fills them before each opening and takes them back after OK.
// The profile operations keep the dialog's own profile list and profiles.bin.
class CSettingsDialog : public QDialog
{
    Q_OBJECT
public:
    explicit CSettingsDialog(QWidget *parent = nullptr);
    ~CSettingsDialog() override;

    // Set by the form before each opening.
    void setProgramFolder(const QString &folder) { m_programFolder = folder; }
    void setPrompter(Prompter *prompter) { m_prompter = prompter; }
    // Device names in the order whose positions the device indexes are.
    void setDeviceNames(const QStringList &input, const QStringList &output);
    // The account test run by the Test button; it reads the fields and tells its
    // result itself. Without one the button only does the dialog's part.
    void setAccountTest(std::function<void()> test) { m_accountTest = std::move(test); }

    // How an account's servers sign in: with the password (nothing offered), with
    // the browser (the "Sign in…" button), or not at all yet (a one-line notice).
    struct SignInOffer
    {
        bool browser = false;
        QString notice;
    };
    // The offer follows the servers typed; the button runs signIn on the account shown.
    void setSignIn(std::function<SignInOffer(const Account &)> offer, std::function<void()> signIn);
    void showSignInOffer();

    // Builds the device and profile lists and runs the dialog modally through the
    // prompter; QDialog::Accepted after OK.
    int DoModal();

    void OnInitDialog();
    void OnProfileChange(int index);
    void OnNewProfile();
    void OnSaveProfile();
    void OnTestAccount();
    void OnOK();

    // The dialog's profile list and profiles.bin. When the file cannot be written,
    // the list and the profile box stay as the file is and the cause is returned.
    void LoadDialogProfiles();
    DurableFile::Result SaveProfile();
    DurableFile::Result WriteProfiles(int selected);
    void DeleteProfile();
    void SelectDialogProfile(int index);

    // Data exchange: true takes the controls into the fields, false shows them.
    void UpdateData(bool saveAndValidate);
    // The entry selected in the profile box; -1 when none is, or when the name
    // shown was typed over it.
    int selectedEntry() const;
    bool testRunning() const { return m_testRunning; }

    // While the account test runs the dialog cannot be left.
    void done(int result) override;

    // Fields: the account shown, AutoConnect and the voice format (0 GSM 6.10 WAV, 1 MP3)
    Account m_account;
    bool m_autoConnect = false;
    int m_voiceFormat = 0;
    // Set by New until the new profile is saved or dropped.
    int m_modified = 0;
    // The dialog's profile list, in the order of the profile box.
    std::vector<Profile> m_profiles;

    // Controls
    QComboBox *m_nameCombo = nullptr;
    QCheckBox *m_autoConnectCheck = nullptr;
    QPushButton *m_newButton = nullptr;
    QPushButton *m_deleteButton = nullptr;
    QPushButton *m_saveButton = nullptr;
    QLineEdit *m_incomingEdit = nullptr;
    QLineEdit *m_outgoingEdit = nullptr;
    QComboBox *m_protocolCombo = nullptr;
    QCheckBox *m_requirePassCheck = nullptr;
    QLineEdit *m_userEdit = nullptr;
    QPushButton *m_testButton = nullptr;
    QLineEdit *m_passwordEdit = nullptr;
    QCheckBox *m_savePassCheck = nullptr;
    QLineEdit *m_replyEdit = nullptr;
    QComboBox *m_inputCombo = nullptr;
    QComboBox *m_outputCombo = nullptr;
    QComboBox *m_voiceFormatCombo = nullptr;
    QLabel *m_voiceFormatNote = nullptr;
    QPushButton *m_signInButton = nullptr;
    QLabel *m_signInNotice = nullptr;
    QPushButton *m_cancelButton = nullptr;
    QPushButton *m_okButton = nullptr;

private:
    void createControls();
    void layOutControls();
    void connectControls();
    void showName();
    void fillDevices(QComboBox *box, const QStringList &names, int index);
    void createVoiceAndSignInControls();
    void showVoiceFormatNote();
    Prompter &prompter() const;
    void message(const QString &text);
    bool ask(const QString &text);
    // Says why profiles.bin could not be written, if it could not; true when it was.
    bool written(const DurableFile::Result &result);
    QString profilesPath() const;

    QString m_programFolder;
    Prompter *m_prompter = nullptr;
    QStringList m_inputNames;
    QStringList m_outputNames;
    std::function<void()> m_accountTest;
    std::function<SignInOffer(const Account &)> m_signInOffer;
    std::function<void()> m_signIn;
    bool m_testRunning = false;
    // The name as typed or last shown. A choice in the list reaches it only through
    // OnProfileChange, which still needs the name shown before the choice.
    QString m_nameText;
};
