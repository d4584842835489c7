// Recording and playback handlers of the form.

#include "app/talkpost_view.h"

void CTalkpostView::OnRec() {}
void CTalkpostView::OnStop() {}
void CTalkpostView::OnWaveInData(qint64) {}
void CTalkpostView::OnPlay() {}
void CTalkpostView::OnWaveOutDone() {}
QStringList CTalkpostView::InputDeviceNames() const { return {}; }
QStringList CTalkpostView::OutputDeviceNames() const { return {}; }
