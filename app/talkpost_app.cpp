#include "app/talkpost_app.h"

#include "app/leftovers.h"
#include "app/talkpost_view.h"
#include "audio/sound_module.h"
#include "resources/product.h"
#include "shell/main_frame.h"
#include "shell/about_box.h"
#include "shell/prompter.h"
#include "shell/splash_box.h"

#include <QDir>
#include <QScreen>

CTalkpostApp::CTalkpostApp(int &argc, char **argv)
    : QApplication(argc, argv)
{
    setOrganizationName(QString::fromLatin1(Product::Name));
    setApplicationName(QString::fromLatin1(Product::Name));
    setApplicationVersion(QString::fromLatin1(Product::VersionNumber));
}

CTalkpostApp::~CTalkpostApp() = default;

bool CTalkpostApp::InitInstance()
{
    // The program folder is the working directory at start, not the executable's.
    m_programFolder = QDir::currentPath();
    if (!m_instance.claim())
        return false;
    DeleteLeftovers(m_programFolder);
    // The splash's face is painted on the other core while the window is built.
    const std::shared_future<CFacedBox::PaintedFace> splashFace = CSplashBox::paintFaceAhead();

    m_prompter = std::make_unique<WidgetPrompter>();
    m_frame = std::make_unique<CMainFrame>();
    FormServices services;
    services.programFolder = m_programFolder;
    services.prompter = m_prompter.get();
    // The frame owns the sound devices.
    services.audioInput = new SoundModuleInput(m_frame.get());
    services.audioOutput = new SoundModuleOutput(m_frame.get());
    m_view = new CTalkpostView(services, m_frame.get());
    m_frame->setCentralWidget(m_view);
    m_frame->setClient(m_view);
    connect(&m_instance, &SingleInstance::raiseRequested, m_frame.get(), &CMainFrame::raiseAndAlert);
    connect(&m_instance, &SingleInstance::saveProfileRequested, m_view, &CTalkpostView::SaveSettings);
    connect(m_frame.get(), &CMainFrame::aboutRequested, this, &CTalkpostApp::OnAppAbout);
    // A window closed while hidden in the tray is no last visible window: end the
    // program explicitly, or it would live on without a window.
    connect(m_frame.get(), &CMainFrame::closed, this, &QCoreApplication::quit, Qt::QueuedConnection);
    m_view->OnInitialUpdate();

    showSplash(splashFace);

    if (QScreen *screen = m_frame->screen()) {
        QRect centred = m_frame->frameGeometry();
        centred.moveCenter(screen->availableGeometry().center());
        m_frame->move(centred.topLeft());
    }
    m_frame->show();
    m_frame->repaint();
    return true;
}

void CTalkpostApp::showSplash(const std::shared_future<CFacedBox::PaintedFace> &face)
{
    // The frame owns the box; the box's timer shows the frame again later.
    m_splash = new CSplashBox(m_frame.get());
    m_splash->usePaintedFace(face);
    m_splash->showCentred();
}

void CTalkpostApp::OnAppAbout()
{
    CAboutBox about(m_frame.get());
    m_prompter->exec(about);
}
