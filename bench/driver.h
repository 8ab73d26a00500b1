// SPDX-License-Identifier: GPL-3.0-or-later
// Starts programs on the X display, hands them the keyboard, presses keys through XTest
// and watches the screen for what each start and each key changes.
#pragma once

#include "screen.h"

#include <X11/Xlib.h>
#include <sys/types.h>

#include <cmath>
#include <string>

namespace bench {

// One started program: its process group and its top-level window.
struct Running {
    pid_t pid = -1;
    Window window = 0;
    double started = 0, firstFrame = NAN;
};

class Driver
{
public:
    // Paints the root window magenta and listens for windows being mapped. A program gets
    // startLimitMs for its window and first frame, a key keyLimitMs for its frame. Under a
    // window manager (windowManager), a program's window is its frame, the keyboard is
    // asked of the window manager, and the screen is what its compositor shows; there the
    // root's colour is never seen, so a start's first frame cannot be told.
    Driver(Display *display, double startLimitMs, double keyLimitMs, bool windowManager = false);
    Driver(const Driver &) = delete;
    Driver &operator=(const Driver &) = delete;

    // Runs command through sh, waits (at most startLimitMs) for its window and its first frame.
    Running launch(const std::string &command);
    // Ends the program (SIGTERM, then SIGKILL after 2 s) and lets the root repaint.
    void stop(Running &run);
    // Raises the program's window, gives it the keyboard and watches it from now on.
    void focus(const Running &run);
    // Presses and releases key; returns when it was sent.
    double press(char key);
    // Key → the new frame complete (the character and the picture): the last change the
    // screen shows before it settles for 150 ms. A change lies between the poll that did
    // not show it and the poll that did; the middle of that stretch is the estimate.
    double pressAndWatch(char key);

    double lastPress() const { return m_lastPress; }
    double firstChange() const { return m_firstChange; } // of the last press, ms after the key

private:
    Display *m_display;
    Screen m_screen;
    double m_startLimitMs, m_keyLimitMs;
    bool m_windowManager;
    double m_lastPress = 0;
    double m_firstChange = NAN;
};

} // namespace bench
