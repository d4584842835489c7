#pragma once

// State shared between the form's handlers, its timers and the frame's close.
// User-interface thread only.

extern int g_closeRequested;       // a close of the main window was asked for
extern int g_paneAnimationReset;   // the next display tick restarts its counters
extern int g_recordSeconds;        // elapsed recording seconds on show
extern int g_compressingAnimation; // the progress display shows a compression

// Puts every value above back to its state at program start.
void ResetModuleState();
