#pragma once

#include "app/mail_event_sink.h"
#include "compression/voice_compressor.h"
#include "mail/cmail.h"
#include "settings/profile.h"
#include "settings/settings_store.h"
#include "settings/settings_dialog.h"
#include "shell/frame_client.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <memory>
#include <optional>
#include <vector>

class AudioInput;
class AudioOutput;
class BitmapButton;
class CMainFrame;
class CuePlayer;
class LogWriter;
class Prompter;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QTimer;

// What the form is given from outside: where the program lives and the seams for
// the user's answers. The program passes the real services, tests their fakes.
struct FormServices
{
    QString programFolder;
    Prompter *prompter = nullptr;
    // Sound devices; none given means the form has no device to open.
    AudioInput *audioInput = nullptr;
    AudioOutput *audioOutput = nullptr;
};

// The message form: the hub of Orvanto. It owns the message being written, the
// mirror of the current settings and the state of recording, playback, compression
// and the mail connection, and decides when each subsystem acts.
//
// The data members keep their given names and are public, as the form's fields are
// read and written by the dialogs, the timers and the tests alike.
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
    void SetTimer(int id, int milliseconds);
    void KillTimer(int id);
    bool IsTimerActive(int id) const;
    int TimerInterval(int id) const;
    void OnTimer(int id);

    // Form data exchange: true takes the controls into the members, false shows them.
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
    void OnWaveInData(qint64 capturedBytes);
    void OnPlay();
    void OnWaveOutDone();
    // Names of the sound devices in the order whose index the settings store.
    QStringList InputDeviceNames() const;
    QStringList OutputDeviceNames() const;

    // Compression
    void OnAttach();
    Q_INVOKABLE void OnCompressionComplete(int result);
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
    Q_INVOKABLE void OnCloseWindow();
    void OnMailDone();
    void OnMailError(short code, const QString &description);
    void OnMailTrace(const QString &text);
    void OnMailProgress(long sent, long total);
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
    const QString &GetVoiceFile() const { return m_voiceFile; }
    void SetVoiceFile(const QString &path) { m_voiceFile = path; }
    void DeleteVoiceFile();

    const QString &programFolder() const { return m_programFolder; }
    CMainFrame *frame() const { return m_frame; }
    Prompter *prompter() const { return m_prompter; }

    // The settings dialog, constructed with the form; its fields survive between
    // openings.
    CSettingsDialog m_settingsDialog{this};

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
    QLabel *m_phoneLabel = nullptr;

    // The message; the body keeps CR LF line ends
    QString m_body;
    QString m_subject;
    QString m_attachments;
    QString m_phone;
    QString m_recipient;
    QString m_cc;
    int m_profileIndex = -1;

    // The compression job; it lives as long as the form
    CVoiceCompressor m_compressor;

    // Connection and delivery state
    int m_connected = 0;
    int m_traceOn = 0;
    int m_sendSeconds = 0;
    int m_connectPending = 0;
    QString m_voiceFile;
    QString m_outboxPath;

    // Mirror of the current settings
    Account m_account;
    bool m_autoConnect = false;
    int m_timeoutSeconds = 60;
    int m_compressionType = 1;
    int m_sourceFormat = 0;

    // Audio and files of the message in progress
    int m_playing = 0;
    int m_recording = 0;
    QString m_recordingFile;
    QString m_compressedFile;
    QString m_infoFile;
    int m_sendAfterConnect = 0;

    // The mail control (control 1001)
    CMail m_mail;

    // The form's profile list, in the order of the From box
    std::vector<Profile> m_profiles;

private:
    void createControls();
    void finishMessageTemplate();
    void layOutControls();
    BitmapButton *button(int id) const;
    void showRecordingDisplay();
    void showPlaybackDisplay();
    void showProgressDisplay();
    void connectAudio(const FormServices &services);
    void startCapture();

    // Mail side
    friend class MailEventSink;
    enum class HandedOver { None, Message, TestMail };
    void composeAndSend();
    bool composeAttachments();
    void composeHeaders(const QString &from, const QString &to, const QString &cc, const QString &subject);
    void abandonComposition(const QString &cause);
    void restoreRecordingForRetry();
    void endSendingDisplay();
    void refreshMessageLock();
    bool mayRunCommand(int id);
    void setOutgoingStage();
    void notifyTray(const QString &text);

    QString m_programFolder;
    Prompter *m_prompter;
    CMainFrame *m_frame;
    std::unique_ptr<LogWriter> m_log;
    QHash<int, QTimer *> m_timers;
    AudioInput *m_audioInput = nullptr;
    AudioOutput *m_audioOutput = nullptr;
    CuePlayer *m_cue = nullptr;

    HandedOver m_handedOver = HandedOver::None;  // a message given to Action 15, not yet done
    int m_firstStage = 1;            // the POP3 login of this run is still to come
    bool m_connectInFlight = false;  // a Connect was started and has not completed
    qint64 m_sendStartTime = 0;      // seconds since 1970 when the last send started
    bool m_lockApplied = false;      // the controls show the message lock
    MailEventSink m_mailSink{this};  // after m_mail: events bound once the control exists
};
