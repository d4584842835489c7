#include "bench/startup/window_watch.h"

#include <xcb/damage.h>
#include <xcb/xcb.h>

#include <poll.h>
#include <sys/wait.h>
#include <time.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

double nowMs()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

template <typename T>
std::unique_ptr<T, decltype(&std::free)> owned(T *reply)
{
    return {reply, &std::free};
}

}  // namespace

// The top-level windows of the watched program, bottom to top, and the pixels of the
// target window's rectangle drawn so far: drawn into the target itself, or into a
// window above it (the part of the target under another window is seen as that
// window). The server reports only drawing that can be seen, so a pixel counted is a
// pixel on the screen.
class WindowWatch::Screen
{
public:
    struct Window
    {
        std::uint32_t id = 0;
        int x = 0, y = 0, width = 0, height = 0;
    };

    void created(const Window &w) { m_stack.push_back(w); }
    void destroyed(std::uint32_t id)
    {
        if (auto it = find(id); it != m_stack.end())
            m_stack.erase(it);
    }

    void configured(const Window &w, std::uint32_t above)
    {
        auto it = find(w.id);
        if (it == m_stack.end())
            return;
        const bool resized = w.id == m_target && (it->width != w.width || it->height != w.height || it->x != w.x
                                                  || it->y != w.y);
        m_stack.erase(it);
        // Just above its sibling; at the bottom without one.
        const auto sibling = find(above);
        m_stack.insert(!above ? m_stack.begin() : sibling == m_stack.end() ? m_stack.end() : sibling + 1, w);
        if (resized)
            startCounting();
    }

    bool has(std::uint32_t id) { return find(id) != m_stack.end(); }
    std::uint32_t target() const { return m_target; }

    void setTarget(std::uint32_t id)
    {
        m_target = id;
        startCounting();
        for (const auto &[window, area] : m_early)
            drawn(window, area);
        m_early.clear();
    }

    // True once every pixel of the target's rectangle has been drawn.
    bool drawn(std::uint32_t id, const xcb_rectangle_t &area)
    {
        if (!m_target) {
            m_early.emplace_back(id, area);
            return false;
        }
        const auto window = find(id), target = find(m_target);
        if (window == m_stack.end() || target == m_stack.end() || window < target)
            return false;
        // In the target's own coordinates.
        const int left = window->x + area.x - target->x, top = window->y + area.y - target->y;
        const int x1 = std::max(0, left), y1 = std::max(0, top);
        const int x2 = std::min(target->width, left + int(area.width));
        const int y2 = std::min(target->height, top + int(area.height));
        for (int y = y1; y < y2; ++y) {
            std::uint8_t *row = m_drawn.data() + size_t(y) * size_t(target->width);
            for (int x = x1; x < x2; ++x) {
                m_drawnCount += row[x] == 0;
                row[x] = 1;
            }
        }
        return !m_drawn.empty() && m_drawnCount == long(m_drawn.size());
    }

private:
    std::vector<Window>::iterator find(std::uint32_t id)
    {
        return std::find_if(m_stack.begin(), m_stack.end(), [id](const Window &w) { return w.id == id; });
    }

    void startCounting()
    {
        const auto target = find(m_target);
        m_drawn.assign(target == m_stack.end() ? 0 : size_t(target->width) * size_t(target->height), 0);
        m_drawnCount = 0;
    }

    std::vector<Window> m_stack;
    std::uint32_t m_target = 0;
    std::vector<std::uint8_t> m_drawn;
    long m_drawnCount = 0;
    // Drawing reported before the target was known.
    std::vector<std::pair<std::uint32_t, xcb_rectangle_t>> m_early;
};

WindowWatch::~WindowWatch()
{
    if (m_connection)
        xcb_disconnect(m_connection);
}

std::uint32_t WindowWatch::atom(const char *name)
{
    auto reply = owned(xcb_intern_atom_reply(
        m_connection, xcb_intern_atom(m_connection, 0, std::uint16_t(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : 0;
}

bool WindowWatch::open(const std::string &display, std::string &why)
{
    if (m_connection)
        xcb_disconnect(m_connection);
    m_connection = xcb_connect(display.c_str(), nullptr);
    if (xcb_connection_has_error(m_connection)) {
        xcb_disconnect(m_connection);
        m_connection = nullptr;
        why = "cannot connect to display " + display;
        return false;
    }
    const xcb_query_extension_reply_t *damage = xcb_get_extension_data(m_connection, &xcb_damage_id);
    if (!damage || !damage->present) {
        why = "the display has no DAMAGE extension";
        return false;
    }
    m_damageEvent = damage->first_event;
    // The extension answers only clients that said which version they speak.
    owned(xcb_damage_query_version_reply(m_connection, xcb_damage_query_version(m_connection, 1, 1), nullptr));
    m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
    // Top-level windows appearing, and the answers to pings, which Qt sends to the
    // root for the structure masks.
    const std::uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(m_connection, m_root, XCB_CW_EVENT_MASK, &mask);
    m_protocols = atom("WM_PROTOCOLS");
    m_ping = atom("_NET_WM_PING");
    m_netName = atom("_NET_WM_NAME");
    m_utf8 = atom("UTF8_STRING");
    xcb_flush(m_connection);
    return true;
}

std::string WindowWatch::windowName(std::uint32_t window)
{
    auto reply = owned(xcb_get_property_reply(
        m_connection, xcb_get_property(m_connection, 0, window, m_netName, m_utf8, 0, 1024), nullptr));
    if (!reply)
        return {};
    return std::string(static_cast<const char *>(xcb_get_property_value(reply.get())),
                       size_t(xcb_get_property_value_length(reply.get())));
}

WindowWatch::Outcome WindowWatch::watch(const std::string &title, const std::function<pid_t()> &start, int timeoutMs)
{
    // Whatever an earlier program left in the queue belongs to it.
    owned(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
    while (xcb_generic_event_t *stale = xcb_poll_for_event(m_connection))
        std::free(stale);

    Outcome outcome;
    Screen screen;
    bool pinged = false;
    const double started = nowMs();
    const pid_t pid = start();
    if (pid <= 0) {
        outcome.failure = "cannot start the program";
        return outcome;
    }
    pollfd fd{xcb_get_file_descriptor(m_connection), POLLIN, 0};
    while (!outcome.ok) {
        if (nowMs() - started > timeoutMs) {
            outcome.failure = screen.target() ? "the window was not painted whole or did not answer in time"
                                              : "no window of that title appeared in time";
            return outcome;
        }
        if (waitpid(pid, nullptr, WNOHANG) == pid) {
            outcome.failure = "the program ended before its window answered";
            return outcome;
        }
        xcb_generic_event_t *raw = xcb_poll_for_event(m_connection);
        if (!raw) {
            if (xcb_connection_has_error(m_connection)) {
                outcome.failure = "the display connection broke";
                return outcome;
            }
            poll(&fd, 1, 20);
            continue;
        }
        const double at = nowMs() - started;
        auto event = owned(raw);
        const std::uint8_t type = raw->response_type & 0x7f;
        if (type == XCB_CREATE_NOTIFY) {
            const auto *e = reinterpret_cast<xcb_create_notify_event_t *>(raw);
            if (e->parent != m_root)
                continue;
            // Watched from its creation, so no drawing escapes the watch.
            xcb_damage_create(m_connection, xcb_generate_id(m_connection), e->window,
                              XCB_DAMAGE_REPORT_LEVEL_RAW_RECTANGLES);
            xcb_flush(m_connection);
            screen.created({e->window, e->x, e->y, e->width, e->height});
        } else if (type == XCB_DESTROY_NOTIFY) {
            screen.destroyed(reinterpret_cast<xcb_destroy_notify_event_t *>(raw)->window);
        } else if (type == XCB_CONFIGURE_NOTIFY) {
            const auto *e = reinterpret_cast<xcb_configure_notify_event_t *>(raw);
            screen.configured({e->window, e->x, e->y, e->width, e->height}, e->above_sibling);
        } else if (type == XCB_MAP_NOTIFY) {
            const auto *e = reinterpret_cast<xcb_map_notify_event_t *>(raw);
            if (!screen.target() && screen.has(e->window) && windowName(e->window) == title)
                screen.setTarget(e->window);
        } else if (type == std::uint8_t(m_damageEvent + XCB_DAMAGE_NOTIFY)) {
            const auto *e = reinterpret_cast<xcb_damage_notify_event_t *>(raw);
            if (!pinged && screen.drawn(e->drawable, e->area)) {
                outcome.paintedMs = at;
                ping(screen.target());
                pinged = true;
            }
        } else if (type == XCB_CLIENT_MESSAGE) {
            const auto *e = reinterpret_cast<xcb_client_message_event_t *>(raw);
            if (pinged && e->window == m_root && e->type == m_protocols && e->data.data32[0] == m_ping
                && e->data.data32[1] == m_nextStamp - 1) {
                outcome.answeredMs = at;
                outcome.ok = true;
            }
        }
    }
    return outcome;
}

void WindowWatch::ping(std::uint32_t window)
{
    xcb_client_message_event_t ping{};
    ping.response_type = XCB_CLIENT_MESSAGE;
    ping.format = 32;
    ping.window = window;
    ping.type = m_protocols;
    ping.data.data32[0] = m_ping;
    ping.data.data32[1] = m_nextStamp++;
    ping.data.data32[2] = window;
    // No event mask: the message goes to the client that made the window.
    xcb_send_event(m_connection, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char *>(&ping));
    xcb_flush(m_connection);
}
