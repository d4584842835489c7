#pragma once

#include "compression/wave_converter.h"

#include <QPointer>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

// A conversion run on a worker thread of its own, one job at a time. The end of a job
// reaches the notify handler, with the job's result (1 or 0), as a queued call on the
// thread that made the object.
//
// Threads: the object is created, configured and read on the user-interface thread.
// While a job runs only the worker touches the converter's fields; settings changed
// meanwhile are kept and take effect when the job has ended. The destructor waits
// for a running worker.
class CWaveCompressor : public CWaveConverter
{
public:
    CWaveCompressor();
    ~CWaveCompressor() override;
    CWaveCompressor(const CWaveCompressor &) = delete;
    CWaveCompressor &operator=(const CWaveCompressor &) = delete;

    // The handler is not called once the target is gone.
    void SetNotifyWindow(QObject *target) { m_notifyWindow = target; }
    void SetNotifyMessage(std::function<void(int result)> handler) { m_notifyMessage = std::move(handler); }

    // Starts the job; false, starting nothing, while another one runs. Otherwise the
    // end is always reported, as a failure when no worker thread could be started.
    bool StartThread();
    // True from StartThread until the end has been handed to the notify target.
    bool IsRunning() const { return m_running; }

    // As the converter's, but kept for the next job while one runs.
    void SetCompressionType(int formatTag);
    void SetSourceFormat(int code);
    void SetVoiceFormat(VoiceFormat format);
    void SetVoiceTags(const VoiceTags &tags);

    QPointer<QObject> m_notifyWindow;
    std::function<void(int)> m_notifyMessage;

private:
    static void CompressionThreadProc(CWaveCompressor *job);
    void finishJob(int result);
    // Runs a change of the settings now, or after the running job.
    void whenIdle(std::function<void()> change);

    std::unique_ptr<QObject> m_receiver; // lives on the creating thread, receives the end
    std::thread m_worker;
    bool m_running = false;
    std::vector<std::function<void()>> m_pending; // changes made while a job ran
};
