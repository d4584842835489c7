// Compression of the recording into the voice file.

#include "app/talkpost_view.h"

void CTalkpostView::OnAttach() {}
void CTalkpostView::OnCompressionComplete(int) {}
void CTalkpostView::OnCompressionType() {}
void CTalkpostView::OnSourceFormat() {}
void CTalkpostView::ApplyCompressionDefaults() {}
