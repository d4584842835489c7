#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>

struct xcb_connection_t;

// Watches a program's start on an X display from outside, with no help from the
// program: the same watch serves every program, so both sides of a comparison are
// measured alike.
//
// - Painted: the X server's damage reports (DAMAGE extension) have covered every
//   pixel of the top-level window of the given title, drawn into it or, where another
//   of the program's windows lies over it (a splash box), into that window. Qt gives
//   its windows no background, so the server draws nothing into them itself: every
//   pixel counted was drawn by the program.
// - Answered: once painted, the window is sent a _NET_WM_PING, which Qt answers from
//   its event loop on the UI thread; the answer arriving means the program handles
//   input. Work the program defers until just after its first paint delays it.
class WindowWatch
{
public:
    WindowWatch() = default;
    ~WindowWatch();
    WindowWatch(const WindowWatch &) = delete;
    WindowWatch &operator=(const WindowWatch &) = delete;

    // Connects to the display; false with the cause when it cannot.
    bool open(const std::string &display, std::string &why);

    struct Outcome
    {
        bool ok = false;
        std::string failure;
        double paintedMs = 0;   // from the start to the whole window drawn
        double answeredMs = 0;  // from the start to the answer to the ping
    };

    // Calls start(), which starts the program and gives its process id, and watches
    // until the window titled `title` has been painted and has answered, the process
    // has ended, or timeoutMs have passed. Times count from just before start().
    Outcome watch(const std::string &title, const std::function<pid_t()> &start, int timeoutMs);

private:
    class Screen;
    void ping(std::uint32_t window);
    std::uint32_t atom(const char *name);
    std::string windowName(std::uint32_t window);

    xcb_connection_t *m_connection = nullptr;
    std::uint32_t m_root = 0;
    std::uint8_t m_damageEvent = 0;
    std::uint32_t m_protocols = 0;
    std::uint32_t m_ping = 0;
    std::uint32_t m_netName = 0;
    std::uint32_t m_utf8 = 0;
    std::uint32_t m_nextStamp = 1;
};
