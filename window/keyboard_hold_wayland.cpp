// SPDX-License-Identifier: GPL-3.0-or-later
// The keyboard held on Wayland, where no client may grab it: the compositor
// is asked, through the keyboard-shortcuts-inhibit protocol, to pass every
// key to the lesson's window while that window has the keyboard, its own
// shortcuts (the Super key, Alt+Tab, Alt+F4, …) included. The compositor
// decides (GNOME asks the user the first time, and gives its shortcuts back
// on Super+Escape); one without the protocol leaves the lock its word and
// its close button. What a compositor keeps whatever is asked (switching
// console, say) stays its own.
//
// Qt offers no call for it, so the request goes out on Qt's own connection,
// with the window's surface that Qt's native interface hands out, and the
// few objects it needs are bound on an event queue of this file's own: Qt's
// dispatching never sees them, and their events wait there unread.
#include "keyboard_hold_linux.h"

#include "keyboard-shortcuts-inhibit-unstable-v1-client-protocol.h"

#include <QGuiApplication>
#include <QWidget>
#include <QWindow>
#include <qpa/qplatformnativeinterface.h>

#include <wayland-client.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>

namespace {

// The compositor's inhibitor for one surface and seat, with what it took to
// ask for it; destroying it gives the shortcuts back.
class ShortcutsInhibitor
{
public:
    explicit ShortcutsInhibitor(wl_display *display)
        : m_display(display)
        , m_queue(wl_display_create_queue(display))
    {
    }
    ~ShortcutsInhibitor()
    {
        if (m_inhibitor)
            zwp_keyboard_shortcuts_inhibitor_v1_destroy(m_inhibitor);
        if (m_manager)
            zwp_keyboard_shortcuts_inhibit_manager_v1_destroy(m_manager);
        if (m_seat) {
            if (wl_seat_get_version(m_seat) >= WL_SEAT_RELEASE_SINCE_VERSION)
                wl_seat_release(m_seat);
            else
                wl_seat_destroy(m_seat);
        }
        if (m_registry)
            wl_registry_destroy(m_registry);
        wl_display_flush(m_display);
        if (m_queue)
            wl_event_queue_destroy(m_queue);
    }
    ShortcutsInhibitor(const ShortcutsInhibitor &) = delete;
    ShortcutsInhibitor &operator=(const ShortcutsInhibitor &) = delete;

    // Finds the compositor's inhibit manager and the seat, on this queue
    // alone: false if the compositor has no such manager.
    bool bind()
    {
        if (!m_queue)
            return false;
        auto *display = static_cast<wl_display *>(wl_proxy_create_wrapper(m_display));
        if (!display)
            return false;
        wl_proxy_set_queue(reinterpret_cast<wl_proxy *>(display), m_queue);
        m_registry = wl_display_get_registry(display);
        wl_proxy_wrapper_destroy(display);
        if (!m_registry)
            return false;
        static const wl_registry_listener listener = {&ShortcutsInhibitor::global, &ShortcutsInhibitor::globalRemoved};
        wl_registry_add_listener(m_registry, &listener, this);
        return wl_display_roundtrip_queue(m_display, m_queue) >= 0 && m_manager && m_seat;
    }

    void inhibit(wl_surface *surface)
    {
        m_inhibitor = zwp_keyboard_shortcuts_inhibit_manager_v1_inhibit_shortcuts(m_manager, surface, m_seat);
        wl_display_flush(m_display);
    }

private:
    static void global(void *data, wl_registry *registry, uint32_t name, const char *interface, uint32_t version)
    {
        auto *self = static_cast<ShortcutsInhibitor *>(data);
        if (!self->m_manager && std::strcmp(interface, zwp_keyboard_shortcuts_inhibit_manager_v1_interface.name) == 0) {
            self->m_manager = static_cast<zwp_keyboard_shortcuts_inhibit_manager_v1 *>(
                wl_registry_bind(registry, name, &zwp_keyboard_shortcuts_inhibit_manager_v1_interface, 1));
        } else if (!self->m_seat && std::strcmp(interface, wl_seat_interface.name) == 0) {
            // The first seat is the one whose keyboard Qt follows, as in any
            // single-seat session; its release request needs version 5.
            self->m_seat = static_cast<wl_seat *>(
                wl_registry_bind(registry, name, &wl_seat_interface, std::min<uint32_t>(version, 5)));
        }
    }
    static void globalRemoved(void *, wl_registry *, uint32_t) {}

    wl_display *m_display;
    wl_event_queue *m_queue;
    wl_registry *m_registry = nullptr;
    zwp_keyboard_shortcuts_inhibit_manager_v1 *m_manager = nullptr;
    wl_seat *m_seat = nullptr;
    zwp_keyboard_shortcuts_inhibitor_v1 *m_inhibitor = nullptr;
};

// Not a static object with a destructor of its own: after Qt has closed
// the connection at exit there is nothing left to destroy it on.
ShortcutsInhibitor *inhibitor = nullptr;

} // namespace

KeyboardHold::Outcome WaylandKeyboardHold::hold(QWidget *lesson)
{
    using Outcome = KeyboardHold::Outcome;
    QPlatformNativeInterface *native = QGuiApplication::platformNativeInterface();
    auto *display = native ? static_cast<wl_display *>(native->nativeResourceForIntegration("wl_display")) : nullptr;
    if (!display)
        return Outcome::Unavailable;
    // Qt makes the window's surface when it is shown; until then, and after
    // it is hidden, there is nothing yet to ask for.
    QWindow *window = lesson->windowHandle();
    auto *surface = window ? static_cast<wl_surface *>(native->nativeResourceForWindow("surface", window)) : nullptr;
    if (!surface)
        return Outcome::Busy;
    auto asked = std::make_unique<ShortcutsInhibitor>(display);
    if (!asked->bind())
        return Outcome::Unavailable;
    asked->inhibit(surface);
    delete inhibitor;
    inhibitor = asked.release();
    return Outcome::Held;
}

void WaylandKeyboardHold::letGo()
{
    delete std::exchange(inhibitor, nullptr);
}
