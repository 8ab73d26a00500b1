// SPDX-License-Identifier: GPL-3.0-or-later
#include "keyboard_hold.h"

#include <QGuiApplication>
#include <QWidget>

KeyboardHold::KeyboardHold(QWidget *window)
    : QObject(window)
    , m_window(window)
{
    // A window manager holds the keyboard itself for a moment while it
    // switches windows or shows a menu; the hold is tried again until it is
    // had, and only then, so nothing wakes the program while it is held.
    m_retry.setInterval(250);
    connect(&m_retry, &QTimer::timeout, this, &KeyboardHold::update);
    connect(qGuiApp, &QGuiApplication::applicationStateChanged, this, &KeyboardHold::update);
}

KeyboardHold::~KeyboardHold()
{
    if (m_held)
        letGo();
}

void KeyboardHold::setEnabled(bool enabled)
{
    m_enabled = enabled;
    update();
}

void KeyboardHold::update()
{
    const bool wanted = m_enabled && m_window->isVisible()
        && QGuiApplication::applicationState() == Qt::ApplicationActive;
    m_retry.stop();
    if (!wanted) {
        if (std::exchange(m_held, false))
            letGo();
        return;
    }
    if (m_held)
        return;
    switch (hold()) {
    case Outcome::Held:
        m_held = true;
        break;
    case Outcome::Busy:
        m_retry.start();
        break;
    case Outcome::Unavailable:
        break;
    }
}
