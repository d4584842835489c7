#include "app/talkpost_app.h"
#include "resources/product.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr char Usage[] =
    "Usage: orvanto [--help | --version]\n"
    "\n"
    "Orvanto records a spoken message and sends it by e-mail as a small GSM 6.10\n"
    "WAV attachment through your own mail account.\n"
    "\n"
    "It keeps its files in the folder it starts in. The orvanto command makes that\n"
    "folder ~/Orvanto, or $ORVANTO_HOME when it is set. ORVANTO_CA_FILE names an\n"
    "extra certificate file to trust for the mail servers. See orvanto(1).\n"
    "\n"
    "  --help     show this help and exit\n"
    "  --version  show the version and exit\n";

// --help and --version are answered before anything opens a window or looks for a
// running instance; -1 means the program is to start.
int answerInformationOptions(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(Usage, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("%s %s\n", Product::Name, Product::VersionNumber);
            return 0;
        }
    }
    return -1;
}

}  // namespace

int main(int argc, char **argv)
{
    if (const int answered = answerInformationOptions(argc, argv); answered >= 0)
        return answered;
    // Desktops match the window to its desktop entry by this name.
    QGuiApplication::setDesktopFileName(QString::fromLatin1(Product::AppId));
    CTalkpostApp app(argc, argv);
    if (!app.InitInstance())
        return 0;
    return app.exec();
}
