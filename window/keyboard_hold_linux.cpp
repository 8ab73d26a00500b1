// SPDX-License-Identifier: GPL-3.0-or-later
// On Linux the keyboard is held the way of the platform Qt runs on: grabbed
// on X11 (Xwayland's included, where it holds only X11's own windows), the
// compositor's shortcuts inhibited on Wayland.
#include "keyboard_hold_linux.h"

#include <QGuiApplication>

namespace {

enum class Platform { X11, Wayland, Other };

Platform platform()
{
    const QString name = QGuiApplication::platformName();
    if (name == QLatin1String("xcb"))
        return Platform::X11;
    if (name.startsWith(QLatin1String("wayland")))
        return Platform::Wayland;
    return Platform::Other;
}

} // namespace

KeyboardHold::Outcome KeyboardHold::hold()
{
    switch (platform()) {
    case Platform::X11:
        return X11KeyboardHold::hold(m_window);
    case Platform::Wayland:
        return WaylandKeyboardHold::hold(m_window);
    case Platform::Other:
        break;
    }
    return Outcome::Unavailable;
}

void KeyboardHold::letGo()
{
    switch (platform()) {
    case Platform::X11:
        X11KeyboardHold::letGo();
        break;
    case Platform::Wayland:
        WaylandKeyboardHold::letGo();
        break;
    case Platform::Other:
        break;
    }
}
