// Leaks on purpose from a call that the Qt event loop makes, so that the stack runs
// through Qt's own libraries: LeakSanitizer must report it under the suppressions
// every test runs with.

#include <QCoreApplication>
#include <QTimer>

namespace {

void *volatile kept = nullptr;

void leak()
{
    kept = new char[4242];
    kept = nullptr;
}

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTimer::singleShot(0, &app, [&app] {
        leak();
        app.quit();
    });
    return app.exec();
}
