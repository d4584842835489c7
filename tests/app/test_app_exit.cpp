// Exit from the tray menu while the window is hidden in the tray ends the program:
// the real application object, started in a fresh program folder with a profile.

#include "app/talkpost_app.h"
#include "resources/resource_ids.h"
#include "settings/profile_file.h"
#include "settings/settings_store.h"
#include "shell/main_frame.h"

#include <QDir>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    // A private world for this Orvanto: no other instance, settings store or folder.
    char scratch[] = "/tmp/orvanto-exit-XXXXXX";
    if (!mkdtemp(scratch))
        return 2;
    const QString root = QString::fromLocal8Bit(scratch);
    for (const char *name : {"HOME", "XDG_RUNTIME_DIR", "TMPDIR", "XDG_CONFIG_HOME"}) {
        QDir(root).mkdir(name, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv(name, (root + '/' + name).toLocal8Bit());
    }
    QDir::setCurrent(root);
    CTalkpostApp app(argc, argv);
    Profile ann;
    ann.name = QStringLiteral("Ann");
    ProfileFile::write(ProfileFile::path(root), {ann});
    SettingsStore::save({ann, false});
    if (!app.InitInstance())
        return 2;
    CMainFrame *frame = app.mainFrame();
    QTimer::singleShot(200, frame, [frame] {
        frame->dispatch(Ids::CmdTrayTitle);  // hidden, as in the tray
        frame->dispatch(Ids::CmdExit);       // the tray menu's Exit
    });
    QTimer::singleShot(10000, &app, [&app] { app.exit(3); });
    const int code = app.exec();
    QDir(root).removeRecursively();
    std::puts(code == 3 ? "FAIL: the program runs on without a window" : code ? "FAIL: exit code" : "PASS: the program ended");
    return code == 0 ? 0 : 1;
}
