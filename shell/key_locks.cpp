#include "shell/key_locks.h"

#include <QGuiApplication>

#if defined(Q_OS_WIN)
#include <windows.h>
#elif defined(ORVANTO_HAVE_X11)
#include <X11/XKBlib.h>
#include <QtGui/qguiapplication_platform.h>
#endif

std::optional<bool> keyLockState(KeyLock lock)
{
#if defined(Q_OS_WIN)
    const int key = lock == KeyLock::Caps ? VK_CAPITAL : lock == KeyLock::Num ? VK_NUMLOCK : VK_SCROLL;
    return (GetKeyState(key) & 1) != 0;
#elif defined(ORVANTO_HAVE_X11)
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display *display = x11 ? x11->display() : nullptr;
    if (!display)
        return std::nullopt;
    // The indicator names are looked up once; the status bar asks at every key.
    static const Atom atoms[3] = {XInternAtom(display, "Caps Lock", True), XInternAtom(display, "Num Lock", True),
                                  XInternAtom(display, "Scroll Lock", True)};
    const Atom atom = atoms[int(lock)];
    Bool on = False;
    if (atom == None || !XkbGetNamedIndicator(display, atom, nullptr, &on, nullptr, nullptr))
        return std::nullopt;
    return on != False;
#else
    Q_UNUSED(lock);
    return std::nullopt;
#endif
}
