// Compression of the recording into the voice file.

#include "app/talkpost_view.h"

#include "app/module_state.h"
#include "compression/wave_format.h"
#include "resources/resource_ids.h"
#include "shell/main_frame.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

void CTalkpostView::OnAttach()
{
    if (m_delivery->isCompressing())
        return;
    UpdateData(true);
    const QString recording = m_recorder->recordingFile();
    const VoiceFormat format = VoiceFormatFromSetting(m_voiceFormat);
    const QString voicePath = VoiceFilePath(recording, format);
    if (m_attachments.contains(voicePath)) {
        AppendLog(QStringLiteral("Voice file already attached: ") + voicePath);
        return;
    }
    // A missing recording ends here quietly.
    if (recording.isEmpty() || !QFileInfo(recording).isFile())
        return;
    // GSM is made from an 8-bit copy, MP3 from the 16-bit recording, which the job
    // only reads.
    const QString source = format == VoiceFormat::Mp3 ? recording : m_recorder->narrowedCopy();
    if (source.isEmpty()) {
        AppendLog(QStringLiteral("Connot attach voice file"));
        return;
    }
    const VoiceTags tags{m_subject, QDateTime::currentDateTime()};
    if (!m_delivery->compress({recording, source, voicePath, format, tags})) {
        if (source != recording)
            QFile::remove(source);
        return;
    }
    AppendLog(QStringLiteral("Compressing..."));
    KillTimer(Ids::TimerProgressDisplay);
    SetTimer(Ids::TimerProgressDisplay, 100);
    SetPaneText(QStringLiteral("Compressing"));
    g_paneAnimationReset = 1;
    g_compressingAnimation = 1;
    EnableButton(Ids::PlayButton, false);
}

void CTalkpostView::OnCompressionComplete(int result)
{
    if (!result) {
        AppendLog(QStringLiteral("Compression failed: ") + m_compressor.GetLastErrorText());
        endSendingDisplay();
        if (!m_recorder->recordingFile().isEmpty())
            EnableButton(Ids::PlayButton, true);
        if (g_closeRequested && m_frame)
            QMetaObject::invokeMethod(m_frame, &CMainFrame::close, Qt::QueuedConnection);
        return;
    }
    AppendLog(QStringLiteral("Compression complete."));
    AppendLog(QString::asprintf("Compression elapsed time: %d sec", m_compressor.GetElapsedSeconds()));
    AppendLog(QString::asprintf("Compression Ratio: %.2f", m_compressor.GetRecordingRatio()));
    AppendLog(QString::asprintf("Compressed file size: %d bytes",
                                int(m_compressor.GetFileLength(m_compressor.GetWavePath()))));
    if (g_closeRequested) {
        if (m_frame)
            QMetaObject::invokeMethod(m_frame, &CMainFrame::close, Qt::QueuedConnection);
        return;
    }
    UpdateData(true);
    // A list typed without a separator at its end would glue the voice file to its
    // last path, and the message would go without either.
    if (!m_attachments.isEmpty() && !m_attachments.endsWith(QLatin1Char(',')) && !m_attachments.endsWith(QLatin1Char(';')))
        m_attachments += QLatin1Char(',');
    m_attachments += m_delivery->compressedFile() + QLatin1Char(',');
    UpdateData(false);
    m_recorder->setRecordingFile(QString());
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
