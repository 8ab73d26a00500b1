// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QTimer>

class QWidget;

// Under the child lock, keeps the keys a toddler may press from the desktop
// while the lesson is in front: the Super key, Alt+Tab, Alt+F4 and the rest
// reach the program, which ignores them, instead of the window manager. On
// X11 the keyboard is grabbed; on Wayland the compositor is asked to keep
// its shortcuts from the window; on Windows a low-level keyboard hook
// swallows the system's keys. Let go whenever the program is not in front (a
// grown-up clicked elsewhere), and when the hold ends.
class KeyboardHold : public QObject
{
public:
    explicit KeyboardHold(QWidget *window);
    ~KeyboardHold() override;

    void setEnabled(bool enabled);

    enum class Outcome {
        Held,
        Busy,        // another program holds the keyboard for now: try again
        Unavailable, // this platform offers no way: nothing to try
    };

private:
    void update();
    // The platform's part.
    Outcome hold();
    void letGo();

    QWidget *m_window;
    bool m_enabled = false;
    bool m_held = false;
    QTimer m_retry;
    QTimer m_letGo;
};
