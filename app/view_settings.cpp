// Settings, profiles, the outbox path and attaching files.

#include "app/talkpost_view.h"

void CTalkpostView::LoadSettings() {}
void CTalkpostView::SaveSettings() {}
void CTalkpostView::OnSettings() {}
void CTalkpostView::LoadProfileList() {}
void CTalkpostView::OnAttachment() {}
void CTalkpostView::OnOutboxPath() {}
