// Compression of the recording into the voice file.

#include "app/talkpost_view.h"

#include "app/module_state.h"
#include "audio/sample_width.h"
#include "compression/wave_format.h"
#include "resources/resource_ids.h"
#include "shell/main_frame.h"

#include <QFileInfo>
#include <QMetaObject>

namespace {

// The recording's path up to its last "." followed by ".wav"; the whole text is
// dropped when it has no ".".
QString wavePathFor(const QString &recording)
{
    const int dot = recording.lastIndexOf(QLatin1Char('.'));
    return (dot < 0 ? QString() : recording.left(dot)) + QStringLiteral(".wav");
}

void postClose(CMainFrame *frame)
{
    if (frame)
        QMetaObject::invokeMethod(frame, "close", Qt::QueuedConnection);
}

}  // namespace

void CTalkpostView::OnAttach()
{
    // One job at a time; a second one would also narrow the recording a second time.
    if (!g_compressionIdle || m_compressor.IsRunning())
        return;
    UpdateData(true);
    const QString wavePath = wavePathFor(m_recordingFile);
    m_infoFile = wavePath + QStringLiteral(".info");
    m_compressedFile.clear();
    if (m_recordingFile.isEmpty()) {
        UpdateData(false);
        return;
    }
    // Checked before narrowing: an attached voice file means the recording was
    // narrowed already, and narrowing it again would destroy it.
    if (m_attachments.contains(wavePath)) {
        AppendLog(QStringLiteral("Voice file already attached: ") + wavePath);
        UpdateData(false);
        return;
    }
    // A missing recording ends here quietly; the rewrite would create an empty one.
    if (!QFileInfo(m_recordingFile).isFile()) {
        UpdateData(false);
        return;
    }
    // 16-bit data compressed as 8-bit would be sent as noise.
    if (!NarrowTo8Bit(m_recordingFile)) {
        AppendLog(QStringLiteral("Connot attach voice file"));
        UpdateData(false);
        return;
    }
    if (!m_compressor.SetSourceFile(m_recordingFile)) {
        UpdateData(false);
        return;
    }

    AppendLog(QStringLiteral("Compressing..."));
    g_compressionIdle = 0;
    m_compressor.SetCompressedFile(wavePath);
    m_compressor.StartThread();
    m_compressedFile = wavePath;
    g_lastCompressedFile = m_compressedFile;
    g_lastRecordingFile = m_recordingFile;

    KillTimer(Ids::TimerProgressDisplay);
    SetTimer(Ids::TimerProgressDisplay, 100);
    SetPaneText(QStringLiteral("Compressing"));
    g_paneAnimationReset = 1;
    g_compressingAnimation = 1;
    EnableButton(Ids::PlayButton, false);
    UpdateData(false);
}

void CTalkpostView::OnCompressionComplete(int result)
{
    if (!result) {
        AppendLog(QStringLiteral("Compression failed: ") + m_compressor.GetLastErrorText());
        g_compressionIdle = 1;
        // This job narrowed the recording; widened again it can be played and sent again.
        const QString recording = m_compressor.GetSourcePath();
        if (QFileInfo(recording).isFile())
            WidenTo16Bit(recording);
        KillTimer(Ids::TimerProgressDisplay);
        SetPaneText(QStringLiteral("Idle"));
        g_compressingAnimation = 0;
        m_compressedFile.clear();
        g_lastCompressedFile.clear();
        if (!m_recordingFile.isEmpty())
            EnableButton(Ids::PlayButton, true);
        if (g_closeRequested)
            postClose(m_frame);
        return;
    }

    AppendLog(QStringLiteral("Compression complete."));
    AppendLog(QString::asprintf("Compression elapsed time: %d sec", m_compressor.GetElapsedSeconds()));
    // The source is the 8-bit file; twice its ratio compares with the 16-bit recording.
    AppendLog(QString::asprintf("Compression Ratio: %.2f", 2 * m_compressor.GetCompressionRatio()));
    AppendLog(QString::asprintf("Compressed file size: %d bytes",
                                int(m_compressor.GetFileLength(m_compressor.GetWavePath()))));
    g_compressionIdle = 1;
    if (g_closeRequested) {
        postClose(m_frame);
        return;
    }
    m_voiceFile = m_compressor.GetSourcePath();
    UpdateData(true);
    m_attachments += m_compressedFile + QLatin1Char(',');
    m_compressedFile.clear();
    UpdateData(false);
    m_recordingFile.clear();
    // Timer 103 and the pane stay as they are; the mail side ends them.
    OnSend();
}

void CTalkpostView::OnCompressionType()
{
    UpdateData(true);
    if (m_compressionType) {
        m_compressor.SetCompressionType(WaveFormat::TagGsm610);
        AppendLog(QStringLiteral("Setting compression type to GSM 6.10"));
    } else {
        m_compressor.SetCompressionType(WaveFormat::TagTrueSpeech);
        AppendLog(QStringLiteral("Setting compression type to DSP Group True Speech"));
    }
}

void CTalkpostView::OnSourceFormat()
{
    UpdateData(true);
    if (m_sourceFormat) {
        m_compressor.SetSourceFormat(WaveFormat::SourceAdpcm4);
        AppendLog(QStringLiteral("Set source format to 4 bit ADPCM 8khz"));
    } else {
        m_compressor.SetSourceFormat(WaveFormat::SourcePcm8);
        AppendLog(QStringLiteral("Setting source format to 8 bit PCM 8khz"));
    }
}

void CTalkpostView::ApplyCompressionDefaults()
{
    m_compressionType = 1;
    m_sourceFormat = 0;
    m_compressor.SetCompressionType(WaveFormat::TagGsm610);
    m_compressor.SetSourceFormat(WaveFormat::SourcePcm8);
    AppendLog(QStringLiteral("Setting audio compression type to GSM 6.10"));
    AppendLog(QStringLiteral("Setting audio source format to 16 bit PCM 8khz"));
}
