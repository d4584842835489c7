// The form's first update and the outbox folder.

#include "app/talkpost_view.h"

#include "app/bitmap_button.h"
#include "resources/resource_ids.h"
#include "shell/prompter.h"

#include <QDir>
#include <QFileInfo>

void CTalkpostView::OnInitialUpdate()
{
    UpdateData(false);
    m_recButton->loadBitmaps(Ids::RecBitmaps);
    m_attachButton->loadBitmaps(Ids::AttachBitmaps);
    m_playButton->loadBitmaps(Ids::PlayBitmaps);
    m_stopButton->loadBitmaps(Ids::StopBitmaps);
    m_browseButton->loadBitmaps(Ids::BrowseBitmaps);
    CreateOutboxFolder();
    LoadSettings();
    if (m_autoConnect)
        SetTimer(Ids::TimerAutoConnect, 1000);
    SetVoiceFile(QString());
    SetTimer(Ids::TimerRestoreDirectory, m_timeoutSeconds * 2000);
    EnableButton(Ids::PlayButton, false);
    EnableButton(Ids::StopButton, false);
    EnableButton(Ids::AttachButton, false);
    SetTimer(Ids::TimerStartupMessage, 1500);
}

void CTalkpostView::CreateOutboxFolder()
{
    const QString folder = QDir(QDir::currentPath()).filePath(QStringLiteral("emsg"));
    m_outboxPath.clear();
    if (!QFileInfo::exists(folder) && !QDir().mkdir(folder)) {
        m_prompter->message(this, QStringLiteral("Cannot create outbox folder!"));
        return;
    }
    m_outboxPath = folder;
    QDir::setCurrent(folder);
}
