#include "app/module_state.h"

int g_closeRequested = 0;
int g_paneAnimationReset = 0;
int g_recordSeconds = 0;
int g_compressingAnimation = 0;

void ResetModuleState()
{
    g_closeRequested = 0;
    g_paneAnimationReset = 0;
    g_recordSeconds = 0;
    g_compressingAnimation = 0;
}
