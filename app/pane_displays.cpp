// The three status-pane displays driven by the form's timers 101, 102 and 103.

#include "app/pane_displays.h"

#include "app/module_state.h"
#include "shell/status_pane.h"

namespace {

const QColor PureRed(255, 0, 0);
const QColor PureBlue(0, 0, 255);
const QColor Yellow(255, 255, 0);

// A rectangle of the pane with exclusive right and bottom edges.
struct Cell
{
    int left = 0, top = 0, right = 0, bottom = 0;
};

void fill(StatusPane *pane, const Cell &c, const QColor &color)
{
    pane->fillSolidRect(c.left, c.top, c.right, c.bottom, color);
}

// Display counters, one each for the whole run.
bool g_blinkPhase = false;
int g_playCell = 0;
int g_playSeconds = 0;
Cell g_previousPlayCell;
int g_progressCell = 0;

QString elapsedText(const char *prefix, int seconds)
{
    return QString::fromLatin1(prefix) + QString::asprintf("%02d:%02d", seconds / 60, seconds % 60);
}

}  // namespace

namespace PaneDisplays {

void showRecording(StatusPane *pane)
{
    const int right = pane->width(), bottom = pane->height(), half = right / 2;
    g_paneAnimationReset = 0;
    pane->setPaneText(elapsedText("Recording: ", g_recordSeconds));
    if (!g_blinkPhase) {
        ++g_recordSeconds;
        pane->fillSolidRect(half + 15, 2, right - 2, bottom - 2, PureRed);
    }
    g_blinkPhase = !g_blinkPhase;
}

void showPlayback(StatusPane *pane)
{
    const int right = pane->width(), bottom = pane->height(), half = right / 2;
    const bool restarted = g_paneAnimationReset != 0;
    if (restarted) {
        g_playCell = 0;
        g_playSeconds = 0;
    }
    if (right - 14 < half + 12 * g_playCell)
        g_playCell = 0;
    const Cell cell{half + 12 * g_playCell, 2, half + 12 * g_playCell + 12, bottom - 2};
    pane->setPaneText(elapsedText("Playing: ", g_playSeconds));
    if (!restarted)
        fill(pane, g_previousPlayCell, pane->faceColor());
    fill(pane, cell, PureBlue);
    ++g_playCell;
    if (g_playCell % 2 == 1)
        ++g_playSeconds;
    g_previousPlayCell = cell;
    g_paneAnimationReset = 0;
}

void showProgress(StatusPane *pane)
{
    const int right = pane->width(), bottom = pane->height(), half = right / 2;
    if (g_paneAnimationReset) {
        g_progressCell = 0;
        g_paneAnimationReset = 0;
    }
    if (g_progressCell == 0)
        pane->fillSolidRect(half, 2, right - 2, bottom - 2, Yellow);
    const int left = half + 10 * g_progressCell;
    pane->fillSolidRect(left, 2, left + 10, bottom - 2, pane->faceColor());
    if (left <= right - 22)
        ++g_progressCell;
}

}  // namespace PaneDisplays
