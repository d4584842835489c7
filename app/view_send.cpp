// The Send command and the test e-mail: the form's checks, then the Delivery.

#include "app/talkpost_view.h"

#include "app/module_state.h"
#include "delivery/message_composer.h"
#include "mail/mail_address.h"
#include "mail/mail_dialogs.h"
#include "resources/resource_ids.h"
#include "shell/prompter.h"

void CTalkpostView::OnSend()
{
    if (IsMessageLocked()) {
        AppendLog(QStringLiteral("Please wait: the message is being compressed or sent."));
        return;
    }
    if (m_recorder->state() != Recorder::State::Idle) {
        AppendLog(QStringLiteral("Please stop the recording or playback before sending."));
        return;
    }
    if (m_delivery->state() == Delivery::State::Closing) {
        AppendLog(QStringLiteral("Please wait: the connection is being closed."));
        return;
    }
    if (m_delivery->isConnecting()) {
        AppendLog(QStringLiteral("Please wait: the connection is being made."));
        return;
    }
    UpdateData(true);
    if (m_recipient.isEmpty()) {
        m_prompter->message(this, QStringLiteral("Invalid recipient!"));
        return;
    }
    // Every entry of To and Cc must be an address before anything is sent.
    if (const QString notAnAddress = RecipientError(m_recipient, m_cc); !notAnAddress.isEmpty()) {
        m_prompter->message(this, notAnAddress);
        return;
    }
    // A profile that signs in with the browser has no password to ask for.
    if (m_account.password.isEmpty() && !Delivery::signsInWithBrowser(m_account)) {
        PasswordDialog dialog(this);
        if (m_prompter->exec(dialog) == QDialog::Accepted)
            m_account.password = dialog.password();
        if (m_account.password.isEmpty())
            return;
    }
    if (!m_delivery->isConnected()) {
        // Timer 1 sends once the connection is up.
        m_delivery->requestSendAfterConnect();
        OnConnect();
        return;
    }
    if (!m_recorder->recordingFile().isEmpty()) {
        OnAttach();
        return;
    }
    composeAndSend();
}

void CTalkpostView::composeAndSend()
{
    UpdateData(true);
    if (m_account.reply.isEmpty())
        m_account.reply = MessageComposer::senderAddress(m_account.user, m_account.outgoing);
    const QString subject = m_phone.isEmpty() ? m_subject : m_subject + QStringLiteral(". Phone: ") + m_phone;
    const OutgoingMessage message{m_account.reply, m_recipient, m_cc, subject, m_body, m_attachments};
    const QString refused =
        MessageComposer::composeMessage(m_mail, message, [this](const QString &line) { AppendLog(line); });
    if (!refused.isEmpty()) {
        abandonComposition(refused);
        return;
    }
    if (!m_delivery->handOver(Delivery::Handover::Message)) {
        abandonComposition(QStringLiteral("the mail connection is busy"));
        return;
    }
    KillTimer(Ids::TimerProgressDisplay);
    SetTimer(Ids::TimerProgressDisplay, 100);
    SetPaneText(QStringLiteral("Sending"));
    if (!g_compressingAnimation)
        g_paneAnimationReset = 1;
    g_compressingAnimation = 0;
}

// The message cannot be written: nothing is sent, the connection is closed, and the
// message and its recording stay for another try.
void CTalkpostView::abandonComposition(const QString &cause)
{
    AppendLog(QStringLiteral("The message was not sent: ") + cause);
    restoreRecordingForRetry();
    endSendingDisplay();
    m_delivery->clearSendRequest();
    OnDisconnect();
}

void CTalkpostView::OnTestMail()
{
    if (IsMessageLocked()) {
        AppendLog(QStringLiteral("Please wait: the message is being compressed or sent."));
        return;
    }
    if (!m_delivery->isConnected()) {
        AppendLog(QStringLiteral("Cannot send test email: no connection!"));
        return;
    }
    const QString sender = MessageComposer::senderAddress(m_account.user, m_account.outgoing);
    TestEmailDialog dialog(sender, this);
    if (m_prompter->exec(dialog) != QDialog::Accepted) {
        AppendLog(QStringLiteral("Test aborted."));
        return;
    }
    AppendLog(QStringLiteral("Sending test email..."));
    MessageComposer::composeTestMessage(m_mail, sender, dialog.address(),
                                        [this](const QString &line) { AppendLog(line); });
    m_delivery->handOver(Delivery::Handover::TestMail);
}
