// The form's timers.

#include "app/talkpost_view.h"

#include "app/pane_displays.h"
#include "resources/resource_ids.h"
#include "shell/main_frame.h"

#include <QDir>

void CTalkpostView::OnTimer(int id)
{
    switch (id) {
    case Ids::TimerSendAfterConnect:
        KillTimer(id);
        if (m_delivery->isConnected() && m_delivery->isSendRequested()) {
            m_delivery->clearSendRequest();
            OnSend();
        }
        break;
    case Ids::TimerRestoreDirectory:
        if (!m_delivery->isConnected())
            QDir::setCurrent(m_programFolder);
        break;
    case Ids::TimerAutoConnect:
        KillTimer(id);
        ConnectServer();
        break;
    case Ids::TimerStartupMessage:
        KillTimer(id);
        AppendLog(QStringLiteral("The recorded file is attached automatically\r\nwhen the message is being sent out."));
        startOverIfConfirmed(&CTalkpostView::OnNewMessage);
        LoadRecipientHistory();
        break;
    case Ids::TimerRecordingDisplay: PaneDisplays::showRecording(m_frame->statusPane()); break;
    case Ids::TimerPlaybackDisplay: PaneDisplays::showPlayback(m_frame->statusPane()); break;
    case Ids::TimerProgressDisplay: PaneDisplays::showProgress(m_frame->statusPane()); break;
    default: break;
    }
}
