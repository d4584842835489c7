// The lock of a message being compressed or sent, the question before an unsent
// recording is thrown away, and the tray notices of the mail side.

#include "app/talkpost_view.h"

#include "app/bitmap_button.h"
#include "resources/resource_ids.h"
#include "shell/main_frame.h"
#include "shell/prompter.h"

#include <QAction>
#include <QComboBox>
#include <QFileInfo>
#include <algorithm>

bool CTalkpostView::IsMessageLocked() const
{
    return m_delivery->isLocked();
}

bool CTalkpostView::ConfirmDiscardRecording()
{
    const QString &recording = m_recorder->recordingFile();
    const bool unsent = (!recording.isEmpty() && QFileInfo::exists(recording)) || m_delivery->isCompressing()
                        || m_delivery->handedOver() == Delivery::Handover::Message;
    if (!unsent)
        return true;
    return m_prompter->ask(this, QStringLiteral("Discard the recording that was not sent?"));
}

// The commands that would change a locked message are refused with one line.
bool CTalkpostView::mayRunCommand(int id)
{
    static const int lockedCommands[] = {Ids::CmdNew,    Ids::CmdTechSupport, Ids::CmdSettings,
                                         Ids::RecButton, Ids::PlayButton,     Ids::AttachButton};
    if (IsMessageLocked() && std::find(std::begin(lockedCommands), std::end(lockedCommands), id)
                                 != std::end(lockedCommands)) {
        AppendLog(QStringLiteral("Please wait: the message is being compressed or sent."));
        return false;
    }
    return true;
}

// Shows the lock on the controls when it starts and lifts it when it ends, whoever
// ended it: "Email sent.", an error, or a compression that failed.
void CTalkpostView::refreshMessageLock(bool locked)
{
    if (m_frame) {
        for (int id : {Ids::CmdNew, Ids::CmdTechSupport, Ids::CmdSettings}) {
            if (QAction *action = m_frame->action(id))
                action->setEnabled(!locked);
        }
    }
    m_profileCombo->setEnabled(!locked);
    EnableButton(Ids::RecButton, !locked);
    EnableButton(Ids::PlayButton, !locked && !m_recorder->recordingFile().isEmpty());
}

void CTalkpostView::notifyTray(const QString &text)
{
    if (m_frame)
        m_frame->notifyFromTray(text);
}
