// The mail connection of the form and the events of its mail control.

#include "app/talkpost_view.h"

#include "app/module_state.h"
#include "audio/sample_width.h"
#include "mail/error_text.h"
#include "records/sent_records.h"
#include "resources/resource_ids.h"
#include "shell/main_frame.h"

#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>

void CTalkpostView::ConnectServer()
{
    if (m_connected)
        return;
    // A connection already being made serves this request too.
    if (m_connectInFlight)
        return;
    AppendLog(QStringLiteral("Connecting to ") + m_account.outgoing + QStringLiteral("..."));
    m_mail.SetHostName(m_account.outgoing);
    m_mail.SetUserName(m_account.user);
    m_mail.SetPassword(m_account.password);
    m_mail.SetTimeout(short(m_timeoutSeconds));
    if (m_firstStage) {
        m_mail.SetHostName(m_account.incoming);
        m_mail.SetProtocol(1);
    } else {
        setOutgoingStage();
    }
    m_mail.SetBlocking(false);
    if (m_traceOn)
        m_mail.SetDebug(1);
    m_connectInFlight = true;
    m_mail.Connect();
}

// The outgoing server's settings on the control: ESMTP logs in; SMTP sends the password
// only when the server requires one.
void CTalkpostView::setOutgoingStage()
{
    m_mail.SetHostName(m_account.outgoing);
    m_mail.SetPassword(m_account.password);
    if (m_account.protocol == MailProtocol::Esmtp)
        m_mail.SetAuthenticate(1);
    if (!m_account.outgoingLogsIn())
        m_mail.SetPassword(QString());
    m_mail.SetProtocol(m_account.protocol == MailProtocol::Esmtp ? 2 : 0);
}

void CTalkpostView::DisconnectServer()
{
    if (!m_connected)
        return;
    if (m_traceOn) {
        AppendLog(QStringLiteral("Hide Debug Info"));
        if (QAction *item = m_frame ? m_frame->action(Ids::CmdTraceInfo) : nullptr)
            item->setChecked(false);
        m_traceOn = 0;
    }
    m_mail.SetDebug(0);
    // An abandoned composition leaves the control blocking; closing is always reported.
    m_mail.SetBlocking(false);
    m_mail.Disconnect();
}

void CTalkpostView::OnConnect()
{
    m_connectPending = 1;
    ConnectServer();
}

void CTalkpostView::OnDisconnect()
{
    m_connectPending = 1;
    DisconnectServer();
}

void CTalkpostView::OnCloseWindow()
{
    m_connectPending = 1;
    DisconnectServer();
}

void CTalkpostView::OnMailDone()
{
    if (m_connectPending) {
        if (m_connected) {
            m_connected = 0;
            AppendLog(QStringLiteral("Disconnected."));
            KillTimer(Ids::TimerSendAfterConnect);
            if (!g_compressionIdle)
                AppendLog(QStringLiteral("Terminating compression..."));
            m_connectPending = 0;
        } else if (m_firstStage) {
            // The POP3 login is done: on to the outgoing server, one event later.
            m_mail.Disconnect();
            m_mail.SetBlocking(false);
            if (m_traceOn)
                m_mail.SetDebug(1);
            m_firstStage = 0;
            setOutgoingStage();
            m_mail.Connect();
        } else {
            m_connectInFlight = false;
            m_connected = 1;
            AppendLog(QStringLiteral("Connected."));
            SetTimer(Ids::TimerSendAfterConnect, 1000);
            m_connectPending = 0;
        }
        return;
    }
    // Only a message handed over with Action 15 can have been sent.
    if (!m_connected || m_handedOver == HandedOver::None)
        return;
    const HandedOver sent = m_handedOver;
    m_handedOver = HandedOver::None;
    m_sendSeconds = int(QDateTime::currentSecsSinceEpoch() - m_sendStartTime);
    AppendLog(QStringLiteral("Email sent."));
    AppendLog(QString::asprintf("Sending elapsed time: %d sec", m_sendSeconds));
    notifyTray(QStringLiteral("Email sent."));
    if (sent == HandedOver::TestMail) {
        // The test leaves the form's message, recording, record and history alone.
        refreshMessageLock();
        OnDisconnect();
        return;
    }
    DeleteVoiceFile();
    SetTimer(Ids::TimerSendAfterConnect, 1000);
    m_voiceFile.clear();
    if (!m_infoFile.isEmpty()) {
        WriteSentRecord(m_infoFile, m_recipient);
        // Written once: a later message never rewrites this record.
        m_infoFile.clear();
    }
    g_lastCompressedFile.clear();
    g_lastRecordingFile.clear();
    endSendingDisplay();
    refreshMessageLock();
    OnDisconnect();
    AddRecipientToHistory(m_recipient);
    OnNewMessage();
    UpdateData(false);
}

void CTalkpostView::OnMailError(short code, const QString &description)
{
    if (code == 20000 || code == 20001) {
        OnMailDone();
        return;
    }
    QApplication::beep();
    const QString line = QString::asprintf("Error %d: ", int(code)) + MailErrorText(code, description);
    AppendLog(line);
    notifyTray(line);
    KillTimer(Ids::TimerSendAfterConnect);
    QDir::setCurrent(m_programFolder);
    m_connectInFlight = false;
    m_handedOver = HandedOver::None;
    restoreRecordingForRetry();
    OnDisconnect();
    endSendingDisplay();
    m_sendAfterConnect = 0;
    refreshMessageLock();
}

void CTalkpostView::OnMailTrace(const QString &text)
{
    AppendLog(QStringLiteral("Trace: ") + text);
}

void CTalkpostView::OnMailProgress(long, long) {}

void CTalkpostView::DeleteVoiceFile()
{
    if (!m_voiceFile.isEmpty())
        QFile::remove(m_voiceFile);
}

// After a failed or abandoned send: the voice goes back to being an unsent recording,
// playable and sent again by the next Send; only its WAV file leaves the attachment
// field, the files the user attached stay for the retry.
void CTalkpostView::restoreRecordingForRetry()
{
    UpdateData(true);
    if (!g_lastCompressedFile.isEmpty() && !m_attachments.isEmpty()
        && m_attachments.contains(g_lastCompressedFile)) {
        m_recordingFile = g_lastRecordingFile;
        WidenTo16Bit(m_recordingFile);
        EnableButton(Ids::PlayButton, true);
        m_attachments.remove(g_lastCompressedFile + QLatin1Char(','));
        m_attachments.remove(g_lastCompressedFile);
    }
    UpdateData(false);
}

void CTalkpostView::endSendingDisplay()
{
    KillTimer(Ids::TimerProgressDisplay);
    SetPaneText(QStringLiteral("Idle"));
    g_compressingAnimation = 0;
}
