#pragma once

class StatusPane;

// The status pane's displays, one tick each: the recording time with a blinking red
// bar, the playing time with a walking blue cell, and the progress bar of compressing
// and sending. A display restarts its counters when g_paneAnimationReset is set.
namespace PaneDisplays {

void showRecording(StatusPane *pane);
void showPlayback(StatusPane *pane);
void showProgress(StatusPane *pane);

}  // namespace PaneDisplays
