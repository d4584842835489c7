#include "shell/splash_box.h"

#include "resources/resource_ids.h"
#include "shell/main_frame.h"

#include <QApplication>
#include <QScreen>

CSplashBox::CSplashBox(CMainFrame *frame, int displayMs)
    : CFacedBox(BoxFace::Kind::Splash, ClientSize, QPoint(251, 140), frame), m_frame(frame)
{
    setObjectName(QString::number(Ids::SplashBox));
    setWindowTitle(QString());
    m_timer.setSingleShot(true);
    m_timer.setInterval(displayMs);
    connect(&m_timer, &QTimer::timeout, this, &CSplashBox::onTimer);
    m_timer.start();
}

std::shared_future<CFacedBox::PaintedFace> CSplashBox::paintFaceAhead()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    const qreal pixelRatio = screen ? screen->devicePixelRatio() : 1.0;
    return std::async(std::launch::async, &CFacedBox::paintFace, BoxFace::Kind::Splash, ClientSize,
                      QApplication::font(), pixelRatio)
        .share();
}

void CSplashBox::showCentred()
{
    if (QScreen *screen = m_frame ? m_frame->screen() : this->screen()) {
        QRect centred = frameGeometry();
        centred.moveCenter(screen->geometry().center());
        move(centred.topLeft());
    }
    show();
}

void CSplashBox::onTimer()
{
    done(Accepted);
    // A window the user already put into the tray stays there.
    if (m_frame && !m_frame->isHiddenInTray())
        m_frame->show();
}
