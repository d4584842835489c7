#include "app/mail_event_sink.h"

#include "app/talkpost_view.h"

MailEventSink::MailEventSink(CTalkpostView *view)
{
    CMail *mail = &view->m_mail;
    connect(mail, &CMail::Done, view, [view] { view->OnMailDone(); });
    connect(mail, &CMail::Error, view, [view](short code, const QString &text) { view->OnMailError(code, text); });
    connect(mail, &CMail::Trace, view, [view](const QString &text) { view->OnMailTrace(text); });
    connect(mail, &CMail::Progress, view, [view](long sent, long total) { view->OnMailProgress(sent, total); });
    connect(&m_lockWatch, &QTimer::timeout, view, [view] { view->refreshMessageLock(); });
    m_lockWatch.start(100);
}
