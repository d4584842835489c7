#pragma once

#include <QString>

// State shared between the form's handlers, its timers, the frame's close and the
// compression and mail flows. User-interface thread only.

extern int g_compressionIdle;      // 0 while a compression runs
extern int g_closeRequested;       // a close of the main window was asked for
extern int g_paneAnimationReset;   // the next display tick restarts its counters
extern int g_recordSeconds;        // elapsed recording seconds on show
extern int g_compressingAnimation; // the progress display shows a compression
extern int g_recordedBytes;        // bytes of the current raw recording across appends
extern int g_stopBytes;            // byte position reported at the last Stop
extern QString g_lastCompressedFile;
extern QString g_lastRecordingFile;

// Puts every value above back to its state at program start.
void ResetModuleState();
