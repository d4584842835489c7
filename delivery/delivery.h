#pragma once

#include "compression/voice_format.h"
#include "oauth/token_source.h"
#include "settings/account.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

class CMail;
class CVoiceCompressor;

// What a stage of the connection is made with, read from the current settings each
// time a stage starts.
struct ConnectionSettings
{
    Account account;
    int timeoutSeconds = 60;
    bool trace = false;  // the mail control reports its protocol lines
};

// The voice file to make of a recording.
struct VoiceJob
{
    QString recording;  // the message's 16-bit recording
    QString source;     // what the job reads: the recording, or a narrowed copy removed when the job ends
    QString voiceFile;  // the file to make
    VoiceFormat format = VoiceFormat::Gsm610Wav;
    VoiceTags tags;
};

// The way of a message out of the program: the POP3 login of the run, the outgoing
// connection, compressing the recording into its voice file, handing the message to
// the mail control, and closing. The mail control and the compression job are the
// form's; this object decides what their events mean from its one state.
//
// The message is locked while its voice is compressed or it is on its way; closing is
// bounded in time by the mail control, whatever the server does.
class Delivery : public QObject
{
    Q_OBJECT
public:
    enum class State {
        Disconnected,
        LoggingIn,           // the POP3 login of this run
        ConnectingOutgoing,  // the outgoing server
        Connected,
        Compressing,         // connected, the voice file being made
        Sending,             // a message handed to the mail control
        Closing,
    };
    Q_ENUM(State)

    // What was handed to the mail control.
    enum class Handover { None, Message, TestMail };

    using SettingsSource = std::function<ConnectionSettings()>;
    Delivery(CMail &mail, CVoiceCompressor &compressor, SettingsSource settings, QObject *parent = nullptr);
    ~Delivery() override;

    // An account whose servers belong to a provider that refuses passwords, and for
    // which oauth2.conf holds a client ID, signs in with the browser: each stage then
    // logs in with an access token instead of the password.
    static bool signsInWithBrowser(const Account &account);
    // The tokens of such accounts, shared with the settings dialog; made on first use
    // (signin_module.h).
    TokenSource &signIn();
    // A valid access token for the account, asked for while the windows keep
    // painting; the sign-in in the browser runs when none is kept. Empty, with the
    // reason in `why`, when there is none.
    QString waitForAccessToken(const Account &account, QString &why);
    // The sign-in in the browser for the account; `done` gets the line to show.
    void signInWithBrowser(const Account &account, std::function<void(bool ok, const QString &line)> done);
    // How the sign-in opens the desktop's browser.
    void setBrowserOpener(BrowserOpener opener) { m_browser = std::move(opener); }

    State state() const { return m_state; }
    // From "Connected." until "Disconnected.".
    bool isConnected() const;
    bool isConnecting() const { return m_state == State::LoggingIn || m_state == State::ConnectingOutgoing; }
    // A compression job runs, whatever the connection does meanwhile.
    bool isCompressing() const;
    // The message may not change: its voice is being made, or it is on its way.
    bool isLocked() const { return isCompressing() || m_handedOver != Handover::None; }

    // Opens the connection: the POP3 login once a run, then the outgoing server.
    void connectServer();
    // Closes an open connection.
    void disconnectServer();
    // A Send waits for the connection; the request ends with the connection.
    void requestSendAfterConnect() { m_sendRequested = true; }
    bool isSendRequested() const { return m_sendRequested; }
    void clearSendRequest() { m_sendRequested = false; }

    // Starts the job; false when none could be started. compressionFinished follows.
    bool compress(const VoiceJob &job);
    // The recording whose voice file was made last, the file made, and its record.
    const QString &voiceFile() const { return m_voiceFile; }
    const QString &compressedFile() const { return m_compressedFile; }
    const QString &infoFile() const { return m_infoFile; }
    void setVoiceFile(const QString &path) { m_voiceFile = path; }

    // Sends what the mail control holds; false, sending nothing, while it is busy.
    bool handOver(Handover kind);
    Handover handedOver() const { return m_handedOver; }
    // The voice was delivered: its recording is deleted and its record written once.
    void completeVoice(const QString &recipient);
    // The message was not sent: the voice goes back to being an unsent recording.
    // Returns that recording, or empty when the attachments held no voice of ours.
    QString takeBackVoice(QString &attachments);

signals:
    void stateChanged(Delivery::State state);
    void lockChanged(bool locked);
    void connecting(const QString &host);
    void connected();
    void disconnected(bool compressionRunning);
    void compressionFinished(int result);
    void sent(Delivery::Handover kind, int seconds);
    void failed(short code, const QString &description);
    // The stage could not get a sign-in token; the line says why and what to do.
    void signInFailed(const QString &line);
    void trace(const QString &text);

private:
    void setState(State state);
    void startStage();
    void connectWithToken(const QString &token);
    void endStageWithoutToken(const QString &line);
    std::optional<OAuthLogin> browserLogin() const;
    void onDone();
    void onError(short code, const QString &description);
    void onJobEnded(int result);
    void noteLock();

    CMail &m_mail;
    CVoiceCompressor &m_compressor;
    SettingsSource m_settings;
    State m_state = State::Disconnected;
    bool m_pop3Done = false;  // the POP3 login of this run has succeeded
    bool m_tokenRetried = false;  // a refused token was renewed once for this stage
    std::unique_ptr<TokenSource> m_signIn;
    BrowserOpener m_browser;
    bool m_sendRequested = false;
    Handover m_handedOver = Handover::None;
    bool m_lockShown = false;
    qint64 m_sendStart = 0;  // seconds since 1970 when the last message was handed over

    QString m_voiceFile;       // the recording of the voice file made last
    QString m_compressedFile;  // the voice file being made
    QString m_infoFile;        // the sent record of the voice file, until written
    QString m_jobSource;       // the narrowed copy the job reads
    QString m_lastCompressed;  // the voice file of the last job, until delivered
    QString m_lastRecording;   // its recording
};
