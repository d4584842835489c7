#include "app/module_state.h"

int g_compressionIdle = 1;
int g_closeRequested = 0;
int g_paneAnimationReset = 0;
int g_recordSeconds = 0;
int g_compressingAnimation = 0;
int g_recordedBytes = 0;
int g_stopBytes = 0;
QString g_lastCompressedFile;
QString g_lastRecordingFile;

void ResetModuleState()
{
    g_compressionIdle = 1;
    g_closeRequested = 0;
    g_paneAnimationReset = 0;
    g_recordSeconds = 0;
    g_compressingAnimation = 0;
    g_recordedBytes = 0;
    g_stopBytes = 0;
    g_lastCompressedFile.clear();
    g_lastRecordingFile.clear();
}
