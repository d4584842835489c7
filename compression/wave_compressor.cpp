#include "compression/wave_compressor.h"

#include <QMetaObject>
#include <QObject>

#include <system_error>

CWaveCompressor::CWaveCompressor() : m_receiver(std::make_unique<QObject>()) {}

CWaveCompressor::~CWaveCompressor()
{
    // The worker only uses this object; let it end before the object goes.
    if (m_worker.joinable())
        m_worker.join();
}

bool CWaveCompressor::StartThread()
{
    if (m_running)
        return false;
    if (m_worker.joinable())
        m_worker.join();
    m_running = true;
    try {
        m_worker = std::thread(CompressionThreadProc, this);
    } catch (const std::system_error &) {
        // No thread to be had: the job ends as failed, reported like any other end.
        m_lastError = CompressionError::NoWorker;
        QMetaObject::invokeMethod(
            m_receiver.get(), [this] { finishJob(0); }, Qt::QueuedConnection);
    }
    return true;
}

void CWaveCompressor::CompressionThreadProc(CWaveCompressor *job)
{
    const int result = job->Compress();
    // The queued call is the only hand-over back to the creating thread.
    QMetaObject::invokeMethod(
        job->m_receiver.get(), [job, result] { job->finishJob(result); }, Qt::QueuedConnection);
}

void CWaveCompressor::finishJob(int result)
{
    if (m_worker.joinable())
        m_worker.join();
    m_running = false;
    // Settings changed during the job; m_lastError still tells how the job ended.
    for (const std::function<void()> &change : m_pending)
        change();
    m_pending.clear();
    if (m_notifyWindow && m_notifyMessage)
        m_notifyMessage(result);
}

void CWaveCompressor::whenIdle(std::function<void()> change)
{
    if (m_running)
        m_pending.push_back(std::move(change));
    else
        change();
}

void CWaveCompressor::SetCompressionType(int formatTag)
{
    if (!m_running)
        m_lastError = CompressionError::None;
    whenIdle([this, formatTag] { m_formatTag = formatTag; });
}

void CWaveCompressor::SetSourceFormat(int code)
{
    whenIdle([this, code] { m_inputFormat = code; });
}

void CWaveCompressor::SetVoiceFormat(VoiceFormat format)
{
    whenIdle([this, format] { m_voiceFormat = format; });
}

void CWaveCompressor::SetVoiceTags(const VoiceTags &tags)
{
    whenIdle([this, tags] { m_tags = tags; });
}
