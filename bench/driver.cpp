// SPDX-License-Identifier: GPL-3.0-or-later
#include "driver.h"

#include "harness.h"

#include <X11/extensions/XTest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <vector>

namespace bench {

Driver::Driver(Display *display, double startLimitMs, double keyLimitMs, bool windowManager)
    : m_display(display)
    , m_screen(display)
    , m_startLimitMs(startLimitMs)
    , m_keyLimitMs(keyLimitMs)
    , m_windowManager(windowManager)
{
    // A colour no program paints, so "the window is drawn" can be read off the screen.
    const Window root = DefaultRootWindow(display);
    XSetWindowBackground(display, root, magenta);
    XClearWindow(display, root);
    XSelectInput(display, root, SubstructureNotifyMask);
    XSync(display, False);
}

Running Driver::launch(const std::string &command)
{
    while (XPending(m_display)) { // forget the windows of earlier runs
        XEvent event;
        XNextEvent(m_display, &event);
    }
    Running run;
    run.started = nowMs();
    run.pid = fork();
    if (run.pid == 0) {
        setpgid(0, 0);
        const int null = open("/dev/null", O_RDWR);
        dup2(null, STDIN_FILENO);
        dup2(null, STDOUT_FILENO);
        execl("/bin/sh", "sh", "-c", ("exec " + command).c_str(), static_cast<char *>(nullptr));
        _exit(127);
    }
    // The program's window is the first ordinary top-level window mapped from now on.
    XWindowAttributes attributes{};
    while (!run.window && nowMs() - run.started < m_startLimitMs) {
        if (!XPending(m_display)) {
            sleepMs(0.2);
            continue;
        }
        XEvent event;
        XNextEvent(m_display, &event);
        if (event.type == MapNotify && !event.xmap.override_redirect
            && XGetWindowAttributes(m_display, event.xmap.window, &attributes) && attributes.width >= 100)
            run.window = event.xmap.window;
    }
    if (!run.window)
        return run;
    m_screen.watch(attributes.x + attributes.border_width, attributes.y + attributes.border_width, attributes.width,
                   attributes.height);
    double previous = nowMs();
    while (nowMs() - run.started < m_startLimitMs) {
        const double seen = m_screen.grab();
        if (m_screen.painted()) {
            run.firstFrame = (previous + seen) / 2 - run.started;
            break;
        }
        previous = m_screen.lastSent();
        sleepMs(0.2);
    }
    return run;
}

void Driver::stop(Running &run)
{
    if (run.pid <= 0)
        return;
    kill(-run.pid, SIGTERM);
    for (int i = 0; i < 200 && waitpid(run.pid, nullptr, WNOHANG) == 0; ++i)
        sleepMs(10);
    if (waitpid(run.pid, nullptr, WNOHANG) == 0) {
        kill(-run.pid, SIGKILL);
        waitpid(run.pid, nullptr, 0);
    }
    run.pid = -1;
    XSync(m_display, False);
    sleepMs(200); // let the server repaint the root where the window was
}

namespace {

// The client window inside a window manager's frame: the one with WM_STATE.
Window clientOf(Display *display, Window window)
{
    const Atom state = XInternAtom(display, "WM_STATE", False);
    Atom type = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char *data = nullptr;
    if (XGetWindowProperty(display, window, state, 0, 0, False, AnyPropertyType, &type, &format, &items, &after, &data)
            == Success
        && type != None) {
        XFree(data);
        return window;
    }
    if (data)
        XFree(data);
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    Window found = 0;
    if (XQueryTree(display, window, &root, &parent, &children, &count)) {
        for (unsigned int i = 0; i < count && !found; ++i)
            found = clientOf(display, children[i]);
        XFree(children);
    }
    return found;
}

} // namespace

void Driver::focus(const Running &run)
{
    if (m_windowManager) {
        // Ask the window manager to activate the program's window, as a click on it would.
        XWindowAttributes a{};
        XGetWindowAttributes(m_display, run.window, &a);
        m_screen.watch(a.x, a.y, a.width, a.height);
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = clientOf(m_display, run.window);
        event.xclient.message_type = XInternAtom(m_display, "_NET_ACTIVE_WINDOW", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = 2; // from a pager: taken at once
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(m_display, DefaultRootWindow(m_display), False,
                   SubstructureRedirectMask | SubstructureNotifyMask, &event);
        XTestFakeMotionEvent(m_display, DefaultScreen(m_display), a.x + a.width / 2, a.y + a.height / 2, 0);
        XSync(m_display, False);
        sleepMs(1000); // the window manager's animations over
        return;
    }
    // No window manager: hand the window the keyboard ourselves, as a click would.
    XWindowAttributes a{};
    XGetWindowAttributes(m_display, run.window, &a);
    // Where it is now: a program may place its window again after showing it.
    m_screen.watch(a.x + a.border_width, a.y + a.border_width, a.width, a.height);
    XTestFakeMotionEvent(m_display, DefaultScreen(m_display), a.x + a.width / 2, a.y + a.height / 2, 0);
    XRaiseWindow(m_display, run.window); // over the other programs' windows, if any
    XSetInputFocus(m_display, run.window, RevertToPointerRoot, CurrentTime);
    XSync(m_display, False);
    sleepMs(500);
}

double Driver::press(char key)
{
    const KeyCode code = XKeysymToKeycode(m_display, XStringToKeysym(std::string(1, key).c_str()));
    const double t = nowMs();
    XTestFakeKeyEvent(m_display, code, True, 0);
    XTestFakeKeyEvent(m_display, code, False, 0);
    XFlush(m_display);
    return t;
}

double Driver::pressAndWatch(char key)
{
    m_screen.grab();
    std::vector<uint32_t> shown = m_screen.copy();
    const double pressed = press(key);
    double previous = pressed; // nothing the key causes can show before it
    double changed = NAN;
    m_firstChange = NAN;
    while (true) {
        const double seen = m_screen.grab();
        if (!m_screen.same(shown)) {
            changed = (previous + seen) / 2;
            if (std::isnan(m_firstChange))
                m_firstChange = changed - pressed;
            shown = m_screen.copy();
        }
        previous = m_screen.lastSent();
        if ((!std::isnan(changed) && seen - changed > 150) || seen - pressed > m_keyLimitMs)
            break;
        sleepMs(0.25);
    }
    m_lastPress = pressed;
    return changed - pressed;
}

} // namespace bench
