// Sending, the mail connection and its events.

#include "app/talkpost_view.h"

#include <QFile>

void CTalkpostView::OnSend() {}
void CTalkpostView::ConnectServer() {}
void CTalkpostView::DisconnectServer() {}
void CTalkpostView::OnConnect() {}
void CTalkpostView::OnDisconnect() {}
void CTalkpostView::OnCloseWindow() {}
void CTalkpostView::OnMailDone() {}
void CTalkpostView::OnMailError(short, const QString &) {}
void CTalkpostView::OnMailTrace(const QString &text)
{
    AppendLog(QStringLiteral("Trace: ") + text);
}
void CTalkpostView::OnMailProgress(long, long) {}
void CTalkpostView::OnTestMail() {}

void CTalkpostView::DeleteVoiceFile()
{
    if (!m_voiceFile.isEmpty())
        QFile::remove(m_voiceFile);
}
