// Recipient history and sent-message records.

#include "app/talkpost_view.h"

void CTalkpostView::LoadRecipientHistory() {}
void CTalkpostView::AddRecipientToHistory(const QString &) {}
void CTalkpostView::OnHistory() {}
void CTalkpostView::OnSentMessages() {}
