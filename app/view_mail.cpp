// The mail connection of the form: the Delivery's events as the form's log lines,
// panes and resets.

#include "app/talkpost_view.h"

#include "app/module_state.h"
#include "mail/error_text.h"
#include "mail/mail_address.h"
#include "resources/resource_ids.h"
#include "shell/main_frame.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>

void CTalkpostView::connectDelivery()
{
    Delivery *d = m_delivery.get();
    connect(d, &Delivery::connecting, this,
            [this](const QString &host) { AppendLog(QStringLiteral("Connecting to ") + host + QStringLiteral("...")); });
    connect(d, &Delivery::connected, this, &CTalkpostView::OnConnected);
    connect(d, &Delivery::disconnected, this, &CTalkpostView::OnDisconnected);
    connect(d, &Delivery::compressionFinished, this, &CTalkpostView::OnCompressionComplete);
    connect(d, &Delivery::sent, this, &CTalkpostView::OnMailSent);
    connect(d, &Delivery::failed, this, &CTalkpostView::OnMailError);
    connect(d, &Delivery::signInFailed, this, [this](const QString &line) {
        AppendLog(line);
        notifyTray(line);
        endFailedSend();
    });
    d->setBrowserOpener([](const QUrl &url) { return QDesktopServices::openUrl(url); });
    connect(d, &Delivery::trace, this, &CTalkpostView::OnMailTrace);
    connect(d, &Delivery::lockChanged, this, &CTalkpostView::refreshMessageLock);
    if (m_frame)
        connect(d, &Delivery::stateChanged, m_frame, &CMainFrame::updateCommandUi);
}

ConnectionSettings CTalkpostView::connectionSettings() const
{
    return {m_account, m_timeoutSeconds, m_traceOn};
}

void CTalkpostView::ConnectServer()
{
    m_delivery->connectServer();
}

void CTalkpostView::DisconnectServer()
{
    if (!m_delivery->isConnected())
        return;
    if (m_traceOn) {
        AppendLog(QStringLiteral("Hide Debug Info"));
        if (QAction *item = m_frame ? m_frame->action(Ids::CmdTraceInfo) : nullptr)
            item->setChecked(false);
        m_traceOn = false;
    }
    m_delivery->disconnectServer();
}

void CTalkpostView::OnConnect()
{
    ConnectServer();
}

void CTalkpostView::OnDisconnect()
{
    DisconnectServer();
}

void CTalkpostView::OnCloseWindow()
{
    DisconnectServer();
}

void CTalkpostView::OnConnected()
{
    AppendLog(QStringLiteral("Connected."));
    SetTimer(Ids::TimerSendAfterConnect, 1000);
}

void CTalkpostView::OnDisconnected(bool compressionRunning)
{
    AppendLog(QStringLiteral("Disconnected."));
    KillTimer(Ids::TimerSendAfterConnect);
    if (compressionRunning)
        AppendLog(QStringLiteral("Terminating compression..."));
}

void CTalkpostView::OnMailSent(Delivery::Handover kind, int seconds)
{
    m_sendSeconds = seconds;
    AppendLog(QStringLiteral("Email sent."));
    AppendLog(QString::asprintf("Sending elapsed time: %d sec", m_sendSeconds));
    notifyTray(QStringLiteral("Email sent."));
    if (kind == Delivery::Handover::TestMail) {
        // The test leaves the form's message, recording, record and history alone.
        OnDisconnect();
        return;
    }
    SetTimer(Ids::TimerSendAfterConnect, 1000);
    m_delivery->completeVoice(m_recipient);
    endSendingDisplay();
    OnDisconnect();
    for (const QString &address : RecipientAddresses(m_recipient))
        AddRecipientToHistory(address);
    OnNewMessage();
}

void CTalkpostView::OnMailError(short code, const QString &description)
{
    QApplication::beep();
    const QString line = QString::asprintf("Error %d: ", int(code)) + MailErrorText(code, description);
    AppendLog(line);
    notifyTray(line);
    endFailedSend();
}

// After a send that failed: the voice back as an unsent recording, the connection
// closed, the displays at rest.
void CTalkpostView::endFailedSend()
{
    KillTimer(Ids::TimerSendAfterConnect);
    QDir::setCurrent(m_programFolder);
    restoreRecordingForRetry();
    OnDisconnect();
    endSendingDisplay();
}

void CTalkpostView::OnMailTrace(const QString &text)
{
    AppendLog(QStringLiteral("Trace: ") + text);
}

void CTalkpostView::DeleteVoiceFile()
{
    if (!GetVoiceFile().isEmpty())
        QFile::remove(GetVoiceFile());
}

// After a failed or abandoned send: the voice goes back to being an unsent recording,
// playable and sent again by the next Send; only its voice file leaves the attachment
// field, the files the user attached stay for the retry.
void CTalkpostView::restoreRecordingForRetry()
{
    UpdateData(true);
    const QString recording = m_delivery->takeBackVoice(m_attachments);
    if (!recording.isEmpty()) {
        m_recorder->setRecordingFile(recording);
        EnableButton(Ids::PlayButton, true);
    }
    UpdateData(false);
}

void CTalkpostView::endSendingDisplay()
{
    KillTimer(Ids::TimerProgressDisplay);
    SetPaneText(QStringLiteral("Idle"));
    g_compressingAnimation = 0;
}
