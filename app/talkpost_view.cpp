#include "app/talkpost_view.h"

#include "app/bitmap_button.h"
#include "app/log_writer.h"
#include "app/form_layout.h"
#include "app/module_state.h"
#include "audio/recorder.h"
#include "resources/resource_ids.h"
#include "shell/main_frame.h"
#include "shell/status_pane.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTimer>

CTalkpostView::CTalkpostView(const FormServices &services, CMainFrame *frame)
    : QWidget(frame),
      m_programFolder(services.programFolder),
      m_prompter(services.prompter),
      m_frame(frame),
      m_log(std::make_unique<LogWriter>(frame ? frame->logEdit() : nullptr)),
      m_timers(new NumberedTimers([this](int id) { OnTimer(id); }, this)),
      m_delivery(std::make_unique<Delivery>(m_mail, m_compressor, [this] { return connectionSettings(); })),
      m_recorder(new Recorder(services.audioInput, services.audioOutput, this))
{
    // One form exists per run; a new one starts from the state of a fresh start.
    ResetModuleState();
    setObjectName(QStringLiteral("messageForm"));
    BuildMessageForm(this);
    findControls();
    connect(m_profileCombo, QOverload<int>::of(&QComboBox::activated), this, [this] { OnProfileSelChange(); });
    for (const int id : {Ids::RecButton, Ids::PlayButton, Ids::StopButton, Ids::AttachButton, Ids::BrowseButton})
        connect(button(id), &QAbstractButton::clicked, this, [this, id] { OnCommand(id); });
    connectRecorder();
    connectDelivery();
}

CTalkpostView::~CTalkpostView() = default;

void CTalkpostView::findControls()
{
    const auto control = [this](int id) { return findChild<QWidget *>(QString::number(id)); };
    m_profileCombo = static_cast<QComboBox *>(control(Ids::ProfileCombo));
    m_recipientCombo = static_cast<QComboBox *>(control(Ids::RecipientCombo));
    m_browseButton = button(Ids::BrowseButton);
    m_stopButton = button(Ids::StopButton);
    m_playButton = button(Ids::PlayButton);
    m_attachButton = button(Ids::AttachButton);
    m_recButton = button(Ids::RecButton);
    m_ccEdit = static_cast<QLineEdit *>(control(Ids::CcEdit));
    m_subjectEdit = static_cast<QLineEdit *>(control(Ids::SubjectEdit));
    m_bodyEdit = static_cast<QPlainTextEdit *>(control(Ids::BodyEdit));
    m_attachmentsEdit = static_cast<QLineEdit *>(control(Ids::AttachmentsEdit));
    m_phoneEdit = static_cast<QLineEdit *>(control(Ids::PhoneEdit));
}

void CTalkpostView::UpdateData(bool saveAndValidate)
{
    if (saveAndValidate) {
        m_profileIndex = m_profileCombo->currentIndex();
        m_recipient = m_recipientCombo->currentText();
        m_cc = m_ccEdit->text();
        m_subject = m_subjectEdit->text();
        m_body = m_bodyEdit->toPlainText().replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
        m_attachments = m_attachmentsEdit->text();
        m_phone = m_phoneEdit->text();
    } else {
        m_profileCombo->setCurrentIndex(m_profileIndex);
        m_recipientCombo->setEditText(m_recipient);
        m_ccEdit->setText(m_cc);
        m_subjectEdit->setText(m_subject);
        QString shown = m_body;
        m_bodyEdit->setPlainText(shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
        m_attachmentsEdit->setText(m_attachments);
        m_phoneEdit->setText(m_phone);
    }
}

BitmapButton *CTalkpostView::button(int id) const
{
    return findChild<BitmapButton *>(QString::number(id));
}

void CTalkpostView::EnableButton(int id, bool enabled)
{
    if (BitmapButton *b = button(id))
        b->setEnabled(enabled);
}

bool CTalkpostView::IsButtonEnabled(int id) const
{
    const BitmapButton *b = button(id);
    return b && b->isEnabled();
}

void CTalkpostView::AppendLog(const QString &text)
{
    m_log->append(text);
}

void CTalkpostView::SetPaneText(const QString &text)
{
    if (m_frame)
        m_frame->statusPane()->setPaneText(text);
}

bool CTalkpostView::OnCommand(int id)
{
    if (!mayRunCommand(id))
        return true;
    switch (id) {
    case Ids::CmdNew: startOverIfConfirmed(&CTalkpostView::OnNewMessage); break;
    case Ids::CmdAttachment:
    case Ids::BrowseButton: OnAttachment(); break;
    case Ids::CmdSend: OnSend(); break;
    case Ids::CmdUndo:
    case Ids::CmdCut:
    case Ids::CmdCopy:
    case Ids::CmdPaste:
    case Ids::CmdSelectAll: OnEditCommand(id); break;
    case Ids::CmdSettings: afterStoppingCapture([this] { OnSettings(); }); break;
    case Ids::CmdTraceInfo: OnTraceInfo(); break;
    case Ids::CmdSentMessages: OnSentMessages(); break;
    case Ids::CmdHistory: OnHistory(); break;
    case Ids::CmdAddressBook: OnAddressBook(); break;
    case Ids::CmdTechSupport: startOverIfConfirmed(&CTalkpostView::OnTechSupport); break;
    case Ids::RecButton: OnRec(); break;
    case Ids::PlayButton: OnPlay(); break;
    case Ids::StopButton: OnStop(); break;
    case Ids::AttachButton: OnAttach(); break;
    case Ids::CmdConnect: OnConnect(); break;
    case Ids::CmdDisconnect: OnDisconnect(); break;
    case Ids::CmdTestMail: OnTestMail(); break;
    case Ids::CmdSaveSettings: SaveSettings(); break;
    case Ids::CmdOutboxPath: OnOutboxPath(); break;
    case Ids::CmdCompressionType: OnCompressionType(); break;
    case Ids::CmdSourceFormat: OnSourceFormat(); break;
    default: return false;
    }
    return true;
}

std::optional<bool> CTalkpostView::commandEnabled(int id) const
{
    switch (id) {
    case Ids::CmdConnect: return !m_delivery->isConnected();
    case Ids::CmdDisconnect:
    case Ids::CmdTestMail: return m_delivery->isConnected();
    case Ids::CmdPaste: return true;
    default: return std::nullopt;
    }
}

bool CTalkpostView::closeRequested()
{
    if (m_recorder->isRecording()) {
        // What is being recorded is saved first; the close is then asked for again.
        afterStoppingCapture([frame = m_frame] {
            if (frame)
                frame->close();
        });
        return false;
    }
    if (!ConfirmDiscardRecording())
        return false;
    g_closeRequested = 1;
    if (!m_delivery->isCompressing())
        return true;
    // The job cannot be cancelled: start over and close when it has completed.
    OnNewMessage();
    QMetaObject::invokeMethod(this, &CTalkpostView::OnCloseWindow, Qt::QueuedConnection);
    return false;
}

// Runs `then` at once, or, while the cue or a capture runs, stops it as Stop would and
// runs `then` once what was recorded has been saved.
void CTalkpostView::afterStoppingCapture(std::function<void()> then)
{
    if (!m_recorder->isRecording()) {
        then();
        return;
    }
    OnStop();
    if (m_recorder->isRecording())
        m_afterCapture = std::move(then);
    else
        then();
}

// A new message from a template, once the user agrees to lose an unsent recording.
void CTalkpostView::startOverIfConfirmed(void (CTalkpostView::*reset)())
{
    afterStoppingCapture([this, reset] {
        if (ConfirmDiscardRecording())
            (this->*reset)();
    });
}

void CTalkpostView::OnProfileSelChange()
{
    const int chosen = m_profileCombo->currentIndex();
    m_profileCombo->setCurrentIndex(m_profileIndex);
    if (IsMessageLocked())
        return;
    afterStoppingCapture([this, chosen] {
        if (!ConfirmDiscardRecording())
            return;
        SelectProfile(chosen);
        SaveSettings();
        OnNewMessage();
    });
}

void CTalkpostView::SelectProfile(int index)
{
    std::optional<Profile> chosen;
    for (size_t i = 0; i < m_profiles.size(); ++i) {
        m_profiles[i].selected = 0;
        if (int(i) == index) {
            m_profiles[i].selected = 1;
            m_profileIndex = index;
            chosen = m_profiles[i];
        }
    }
    if (!chosen)
        return;
    // The profile's keep-password mark is not the form's: SavePass and AutoConnect stay.
    const bool savePass = m_account.savePass;
    m_account = *chosen;
    m_account.savePass = savePass;
    UpdateData(false);
}

void CTalkpostView::OnTraceInfo()
{
    QAction *item = m_frame ? m_frame->action(Ids::CmdTraceInfo) : nullptr;
    if (!m_traceOn) {
        AppendLog(QStringLiteral("Show Trace Info"));
        if (item)
            item->setChecked(true);
    } else {
        AppendLog(QStringLiteral("Hide Trace Info"));
        if (item)
            item->setChecked(false);
    }
    m_traceOn = !m_traceOn;
}
