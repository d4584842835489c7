#pragma once

#include "app/single_instance.h"
#include "shell/faced_box.h"

#include <QApplication>
#include <memory>

class CMainFrame;
class CSplashBox;
class CTalkpostView;
class Prompter;

// The application: start-up in its fixed order, then the main window until it closes.
class CTalkpostApp : public QApplication
{
    Q_OBJECT
public:
    CTalkpostApp(int &argc, char **argv);
    ~CTalkpostApp() override;

    // False ends the process before the event loop: another instance runs.
    bool InitInstance();

    CMainFrame *mainFrame() const { return m_frame.get(); }
    CTalkpostView *view() const { return m_view; }
    const QString &programFolder() const { return m_programFolder; }
    CSplashBox *splash() const { return m_splash; }

    // Help > About: the About box, modal.
    void OnAppAbout();

private:
    void showSplash(const std::shared_future<CFacedBox::PaintedFace> &face);

    QString m_programFolder;
    SingleInstance m_instance;
    std::unique_ptr<Prompter> m_prompter;
    std::unique_ptr<CMainFrame> m_frame;
    CTalkpostView *m_view = nullptr;
    CSplashBox *m_splash = nullptr;  // owned by the frame
};
