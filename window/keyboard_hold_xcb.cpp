// SPDX-License-Identifier: GPL-3.0-or-later
// The keyboard held on X11: the whole keyboard grabbed for the lesson's
// window. With owner_events set, the program's own windows (a message box)
// still get their keys as usual; nothing reaches the window manager.
#include "keyboard_hold_linux.h"

#include <QGuiApplication>
#include <QWidget>

#include <xcb/xcb.h>

#include <cstdlib>

namespace {

xcb_connection_t *x11Connection()
{
    const auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

} // namespace

KeyboardHold::Outcome X11KeyboardHold::hold(QWidget *lesson)
{
    using Outcome = KeyboardHold::Outcome;
    xcb_connection_t *connection = x11Connection();
    if (!connection)
        return Outcome::Unavailable;
    const auto window = xcb_window_t(lesson->winId());
    xcb_grab_keyboard_reply_t *reply = xcb_grab_keyboard_reply(
        connection,
        xcb_grab_keyboard(connection, 1, window, XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
        nullptr);
    const bool held = reply && reply->status == XCB_GRAB_STATUS_SUCCESS;
    std::free(reply);
    return held ? Outcome::Held : Outcome::Busy;
}

void X11KeyboardHold::letGo()
{
    if (xcb_connection_t *connection = x11Connection()) {
        xcb_ungrab_keyboard(connection, XCB_CURRENT_TIME);
        xcb_flush(connection);
    }
}
