// Settings, profiles, the outbox path and attaching files.

#include "app/talkpost_view.h"

#include "mail/account_test.h"
#include "oauth/oauth_config.h"
#include "settings/outbox_path_dialog.h"
#include "settings/profile_file.h"
#include "settings/settings_dialog.h"
#include "settings/settings_store.h"
#include "shell/main_frame.h"
#include "shell/prompter.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

void CTalkpostView::LoadSettings()
{
    const StoredSettings stored = SettingsStore::load();
    m_account.name = stored.account.name;
    if (!m_account.name.isEmpty()) {
        m_account = stored.account;
        m_autoConnect = stored.autoConnect;
        m_voiceFormat = stored.voiceFormat;
        m_timeoutSeconds = 60;
        ApplyCompressionDefaults();
    } else {
        // First run, or the settings were removed. Profiles already saved stay: the
        // dialog offers them.
        OnSettings();
        if (ProfileFile::read(ProfileFile::path(m_programFolder)).profiles.empty() && m_frame) {
            // There is no profile at all: the program ends as soon as its loop runs.
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
    UpdateData(false);
}

void CTalkpostView::SaveSettings()
{
    const DurableFile::Result saved = SettingsStore::save({m_account, m_autoConnect, m_voiceFormat});
    AppendLog(saved.ok() ? QStringLiteral("Profile saved.") : QStringLiteral("Cannot save the settings: ") + saved.cause);
}

CSettingsDialog &CTalkpostView::settingsDialog()
{
    if (!m_settingsDialog)
        m_settingsDialog = new CSettingsDialog(this);
    return *m_settingsDialog;
}

void CTalkpostView::OnSettings()
{
    CSettingsDialog &dialog = settingsDialog();
    dialog.m_account = m_account.kept();
    dialog.m_autoConnect = m_autoConnect;
    dialog.m_voiceFormat = m_voiceFormat;
    dialog.setProgramFolder(m_programFolder);
    dialog.setPrompter(m_prompter);
    dialog.setDeviceNames(m_recorder->inputNames(), m_recorder->outputNames());
    dialog.setAccountTest([this] { OnTestAccount(); });
    dialog.setSignIn(
        [](const Account &servers) {
            const OAuthSetup setup = OAuthConfig::load().setupFor(servers.incoming, servers.outgoing);
            return CSettingsDialog::SignInOffer{setup.road == SignInRoad::Browser, setup.notice()};
        },
        [this] {
            m_delivery->signInWithBrowser(m_settingsDialog->m_account, [this](bool, const QString &line) {
                m_prompter->message(m_settingsDialog, line);
            });
        });
    if (dialog.DoModal() != QDialog::Accepted || !ConfirmDiscardRecording())
        return;

    // Without keep-password the typed password serves this run only.
    m_account = dialog.m_account;
    m_autoConnect = dialog.m_autoConnect;
    m_voiceFormat = dialog.m_voiceFormat;
    SaveSettings();
    LoadProfileList();
    OnNewMessage();
}

// The Test button: an account that signs in with the browser is tested with its
// access token, signing in first when none is kept.
void CTalkpostView::OnTestAccount()
{
    const Account &account = settingsDialog().m_account;
    QString token;
    if (Delivery::signsInWithBrowser(account)) {
        QString why;
        token = m_delivery->waitForAccessToken(account, why);
        if (token.isEmpty()) {
            m_prompter->message(m_settingsDialog, why);
            return;
        }
    }
    RunAccountTest(account, *m_prompter, m_settingsDialog, m_mail.resolver(), token);
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
        if (ProfileFile::sameName(record.name, m_account.name)) {
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
        if (mayListAttachment(path) && !m_attachments.contains(path))
            m_attachments += path + QLatin1Char(',');
        UpdateData(false);
    }
    QDir::setCurrent(previousDirectory);
}

// The attachment field separates its files with "," and ";": a path holding one of
// them would be split when the message is written.
bool CTalkpostView::mayListAttachment(const QString &path)
{
    if (!path.contains(QLatin1Char(',')) && !path.contains(QLatin1Char(';')))
        return true;
    m_prompter->message(this, QStringLiteral("This file cannot be attached: its path holds \",\" or \";\", "
                                             "which separate the files of the list.\n") + path);
    return false;
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
