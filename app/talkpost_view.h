#pragma once

#include "audio/recorder.h"
#include "compression/voice_compressor.h"
#include "delivery/delivery.h"
#include "mail/cmail.h"
#include "settings/profile.h"
#include "settings/settings_dialog.h"
#include "app/form_services.h"
#include "app/numbered_timers.h"
#include "shell/frame_client.h"

#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class BitmapButton;
class CMainFrame;
class LogWriter;
class Prompter;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;


// The message form: the hub of Orvanto. It holds the message being written and the
// mirror of the current settings, and decides when things happen: its commands become
// calls on the Recorder (the recording) and the Delivery (the way out), and their
// signals become the form's log lines, status pane and button states.
class CTalkpostView : public QWidget, public FrameClient
{
    Q_OBJECT
public:
    CTalkpostView(const FormServices &services, CMainFrame *frame);
    ~CTalkpostView() override;

    // Start-up
    void OnInitialUpdate();
    void CreateOutboxFolder();

    // Commands, enable rules and the close request of the frame
    bool OnCommand(int id) override;
    std::optional<bool> commandEnabled(int id) const override;
    bool closeRequested() override;

    // Log, status pane, timers
    void AppendLog(const QString &text);
    void SetPaneText(const QString &text);
    void SetTimer(int id, int milliseconds) { m_timers->start(id, milliseconds); }
    void KillTimer(int id) { m_timers->stop(id); }
    bool IsTimerActive(int id) const { return m_timers->isActive(id); }
    int TimerInterval(int id) const { return m_timers->interval(id); }
    void OnTimer(int id);

    // Form data exchange: true takes the controls into the fields, false shows them.
    void UpdateData(bool saveAndValidate);
    void EnableButton(int id, bool enabled);
    bool IsButtonEnabled(int id) const;

    // Profiles in the From box
    void OnProfileSelChange();
    void SelectProfile(int index);

    // Edit menu, view commands
    void OnEditCommand(int id);
    void OnTraceInfo();
    void OnAddressBook();

    // Recording and playback
    void OnRec();
    void OnStop();
    void OnWaveInData(const Recorder::CaptureResult &result);
    void OnPlay();
    void OnWaveOutDone();

    // Compression
    void OnAttach();
    void OnCompressionComplete(int result);
    void OnCompressionType();
    void OnSourceFormat();
    // Puts the job to GSM 6.10 from 16-bit PCM, as every start does.
    void ApplyCompressionDefaults();

    // Composition, connection and delivery
    void OnSend();
    void OnNewMessage();
    void OnTechSupport();
    void ConnectServer();
    void DisconnectServer();
    void OnConnect();
    void OnDisconnect();
    void OnCloseWindow();
    void OnConnected();
    void OnDisconnected(bool compressionRunning);
    void OnMailSent(Delivery::Handover kind, int seconds);
    void OnMailError(short code, const QString &description);
    void OnMailTrace(const QString &text);
    void OnTestMail();
    // A message being compressed or sent is locked: Send, Rec, Play, New, Tech Support,
    // the From box, Settings and the test e-mail are refused or disabled meanwhile.
    bool IsMessageLocked() const;
    // False when a recording that was not sent exists and the user does not want it
    // thrown away ("Discard the recording that was not sent?" answered No).
    bool ConfirmDiscardRecording();

    // Settings and profiles, outbox path and attachments
    void LoadSettings();
    void SaveSettings();
    void OnSettings();
    void OnTestAccount();
    void LoadProfileList();
    void OnAttachment();
    void OnOutboxPath();

    // Recipient history and sent-message records
    void LoadRecipientHistory();
    void AddRecipientToHistory(const QString &recipient);
    void OnHistory();
    void OnSentMessages();

    const QString &GetOutboxPath() const { return m_outboxPath; }
    void SetOutboxPath(const QString &path) { m_outboxPath = path; }
    const QString &GetVoiceFile() const { return m_delivery->voiceFile(); }
    void SetVoiceFile(const QString &path) { m_delivery->setVoiceFile(path); }
    void DeleteVoiceFile();

    // The current account, as the settings and the From box made it.
    const Account &account() const { return m_account; }
    void setAccount(const Account &account) { m_account = account; }
    // How long the mail control waits for a server.
    void setMailTimeout(int seconds) { m_timeoutSeconds = seconds; }
    bool traceOn() const { return m_traceOn; }

    const QString &programFolder() const { return m_programFolder; }
    CMainFrame *frame() const { return m_frame; }
    Prompter *prompter() const { return m_prompter; }
    Recorder &recorder() const { return *m_recorder; }
    Delivery &delivery() const { return *m_delivery; }
    CMail &mail() { return m_mail; }
    // The settings dialog, made on first use.
    CSettingsDialog &settingsDialog();

private:
    void findControls();
    BitmapButton *button(int id) const;
    void setAudioButtons(bool rec, bool play, bool stop, bool attach);
    void setIdleAudioButtons();
    void connectRecorder();
    void connectDelivery();
    void onCaptureStarted();
    void onCaptureFailed(const AudioStatus &status);
    void afterStoppingCapture(std::function<void()> then);
    void startOverIfConfirmed(void (CTalkpostView::*reset)());
    void finishMessageTemplate();
    void composeAndSend();
    void abandonComposition(const QString &cause);
    void endFailedSend();
    void restoreRecordingForRetry();
    void endSendingDisplay();
    void refreshMessageLock(bool locked);
    bool mayRunCommand(int id);
    void notifyTray(const QString &text);
    bool mayListAttachment(const QString &path);
    ConnectionSettings connectionSettings() const;

    QString m_programFolder;
    Prompter *m_prompter;
    CMainFrame *m_frame;
    std::unique_ptr<LogWriter> m_log;
    NumberedTimers *m_timers;

    // The settings dialog, made when first needed (no start needs it before the first
    // paint); the form owns it from then on, so its fields survive between openings.
    CSettingsDialog *m_settingsDialog = nullptr;

    // Controls of the form
    QComboBox *m_profileCombo = nullptr;
    QComboBox *m_recipientCombo = nullptr;
    BitmapButton *m_browseButton = nullptr;
    BitmapButton *m_stopButton = nullptr;
    BitmapButton *m_playButton = nullptr;
    BitmapButton *m_attachButton = nullptr;
    BitmapButton *m_recButton = nullptr;
    QLineEdit *m_ccEdit = nullptr;
    QLineEdit *m_subjectEdit = nullptr;
    QPlainTextEdit *m_bodyEdit = nullptr;
    QLineEdit *m_attachmentsEdit = nullptr;
    QLineEdit *m_phoneEdit = nullptr;

    // The message; the body keeps CR LF line ends
    QString m_body;
    QString m_subject;
    QString m_attachments;
    QString m_phone;
    QString m_recipient;
    QString m_cc;
    int m_profileIndex = -1;

    // Mirror of the current settings
    Account m_account;
    bool m_autoConnect = false;
    int m_timeoutSeconds = 60;
    int m_compressionType = 1;
    int m_sourceFormat = 0;
    int m_voiceFormat = 0;  // the voice file's format: 0 GSM 6.10 WAV, 1 MP3

    bool m_traceOn = false;
    int m_sendSeconds = 0;
    QString m_outboxPath;

    // The form's profile list, in the order of the From box
    std::vector<Profile> m_profiles;

    // The mail control (control 1001) and the compression job, and what decides what
    // their events mean; the recording of the message.
    CMail m_mail;
    CVoiceCompressor m_compressor;
    std::unique_ptr<Delivery> m_delivery;
    Recorder *m_recorder = nullptr;
    // Runs once a capture that had to be stopped first has been saved.
    std::function<void()> m_afterCapture;
};
