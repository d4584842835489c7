// Settings, profiles, the outbox path and attaching files.

#include "app/talkpost_view.h"

#include "mail/account_test.h"
#include "settings/outbox_path_dialog.h"
#include "settings/profile_file.h"
#include "settings/settings_store.h"
#include "shell/main_frame.h"
#include "shell/prompter.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

void CTalkpostView::LoadSettings()
{
    const StoredSettings stored = SettingsStore::load();
    m_profileName = stored.name;
    if (!m_profileName.isEmpty()) {
        setSettingsMirror(stored);
        m_timeoutSeconds = 60;
        m_compressionType = 1;
        m_sourceFormat = 0;
        ApplyCompressionDefaults();
    } else {
        // First run, or the settings were removed: start without profiles.
        const QString profiles = ProfileFile::path(m_programFolder);
        QFile::remove(profiles);
        OnSettings();
        if (!QFileInfo::exists(profiles) && m_frame) {
            // No profile was saved: the program ends as soon as its loop runs.
            QMetaObject::invokeMethod(
                m_frame,
                [frame = m_frame] {
                    if (frame->close())
                        QCoreApplication::quit();
                },
                Qt::QueuedConnection);
        }
    }
    LoadProfileList();
    m_connectPending = m_autoConnect;
    UpdateData(false);
}

// The settings mirror as the store keeps it: the password only when it is kept.
StoredSettings CTalkpostView::settingsMirror() const
{
    StoredSettings s;
    s.name = m_profileName;
    s.host = m_host;
    s.incoming = m_incoming;
    s.user = m_user;
    s.pass = m_savePass ? m_password : QString();
    s.reply = m_replyAddress;
    s.savePass = m_savePass;
    s.requirePass = m_requirePass;
    s.protocol = m_protocol;
    s.autoConnect = m_autoConnect;
    s.input = m_inputDevice;
    s.output = m_outputDevice;
    return s;
}

void CTalkpostView::setSettingsMirror(const StoredSettings &s)
{
    m_profileName = s.name;
    m_host = s.host;
    m_incoming = s.incoming;
    m_user = s.user;
    m_password = s.pass;
    m_replyAddress = s.reply;
    m_savePass = s.savePass;
    m_requirePass = s.requirePass;
    m_protocol = s.protocol;
    m_autoConnect = s.autoConnect;
    m_inputDevice = s.input;
    m_outputDevice = s.output;
}

void CTalkpostView::SaveSettings()
{
    SettingsStore::save(settingsMirror());
    AppendLog(QStringLiteral("Profile saved."));
}

void CTalkpostView::OnSettings()
{
    CSettingsDialog &dialog = m_settingsDialog;
    dialog.m_name = m_profileName;
    dialog.m_outgoing = m_host;
    dialog.m_incoming = m_incoming;
    dialog.m_user = m_user;
    dialog.m_password = m_savePass ? m_password : QString();
    dialog.m_reply = m_replyAddress;
    dialog.m_autoConnect = m_autoConnect;
    dialog.m_protocol = m_protocol;
    dialog.m_inputDevice = m_inputDevice;
    dialog.m_outputDevice = m_outputDevice;
    dialog.m_savePass = m_savePass;
    dialog.m_requirePass = m_requirePass;
    dialog.setProgramFolder(m_programFolder);
    dialog.setPrompter(m_prompter);
    dialog.setDeviceNames(InputDeviceNames(), OutputDeviceNames());
    dialog.setAccountTest([this] {
        const CSettingsDialog &d = m_settingsDialog;
        RunAccountTest({d.m_incoming, d.m_outgoing, d.m_user, d.m_password, d.m_protocol, d.m_requirePass != 0},
                       *m_prompter, &m_settingsDialog, m_mail.resolver());
    });
    if (dialog.DoModal() != QDialog::Accepted || !ConfirmDiscardRecording())
        return;

    m_profileName = dialog.m_name;
    m_host = dialog.m_outgoing;
    m_incoming = dialog.m_incoming;
    m_user = dialog.m_user;
    // Without keep-password the typed password serves this run only.
    m_password = dialog.m_password;
    m_replyAddress = dialog.m_reply;
    m_autoConnect = dialog.m_autoConnect;
    m_protocol = dialog.m_protocol;
    m_inputDevice = dialog.m_inputDevice;
    m_outputDevice = dialog.m_outputDevice;
    m_savePass = dialog.m_savePass;
    m_requirePass = dialog.m_requirePass;
    SaveSettings();
    LoadProfileList();
    OnNewMessage();
}

void CTalkpostView::LoadProfileList()
{
    m_profiles.clear();
    m_profileCombo->clear();
    const ProfileFile::Contents file = ProfileFile::read(ProfileFile::path(m_programFolder));
    bool found = false;
    for (Profile record : file.profiles) {
        record.selected = 0;
        m_profileCombo->addItem(record.name);
        if (ProfileFile::sameName(record.name, m_profileName)) {
            record.selected = 1;
            m_profileIndex = int(m_profiles.size());
            found = true;
            UpdateData(false);
        }
        m_profiles.push_back(record);
    }
    if (!found) {
        // Qt selects the first entry added; the box shows no profile that is not
        // the current one.
        m_profileIndex = -1;
        m_profileCombo->setCurrentIndex(-1);
    }
}

void CTalkpostView::OnAttachment()
{
    const QString previousDirectory = QDir::currentPath();
    QDir::setCurrent(m_programFolder);
    UpdateData(true);
    const QString chosen = m_prompter->openFileName(this, m_programFolder);
    if (!chosen.isEmpty()) {
        const QString path = QFileInfo(chosen).absoluteFilePath();
        // A path already in the field, even as part of a longer one, is not added.
        if (!m_attachments.contains(path))
            m_attachments += path + QLatin1Char(',');
        UpdateData(false);
    }
    QDir::setCurrent(previousDirectory);
}

void CTalkpostView::OnOutboxPath()
{
    COutboxPathDialog dialog(this);
    dialog.setPath(m_outboxPath);
    if (m_prompter->exec(dialog) != QDialog::Accepted)
        return;
    const QString path = dialog.path();
    if (path.isEmpty() || !QFileInfo::exists(path)) {
        m_prompter->message(this, QStringLiteral("Invalid path!"));
        return;
    }
    m_outboxPath = path;
    // A file passes the existence test; the directory then stays as it was.
    QDir::setCurrent(path);
}
