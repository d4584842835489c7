#pragma once

#include "shell/faced_box.h"

#include <QTimer>

class CMainFrame;

// The splash box: shown at start-up beside the main window, it hides itself when its
// timer fires (or at once on "Close") and the timer then shows the main window,
// unless the user has put the window into the tray meanwhile.
class CSplashBox : public CFacedBox
{
    Q_OBJECT
public:
    static constexpr int DisplayMs = 10000;
    static constexpr QSize ClientSize{309, 187};

    // Starts painting the box's face on another thread for the primary screen; the box
    // draws it once it is given the result (usePaintedFace).
    static std::shared_future<PaintedFace> paintFaceAhead();

    // The frame is the main window the timer shows; it also owns the box.
    explicit CSplashBox(CMainFrame *frame, int displayMs = DisplayMs);

    using CFacedBox::usePaintedFace;
    const QTimer &timer() const { return m_timer; }
    // Centres the box on the frame's screen and shows it.
    void showCentred();

private:
    void onTimer();

    CMainFrame *m_frame;
    QTimer m_timer;
};
