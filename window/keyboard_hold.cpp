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
    // The program is not in front for a moment whenever one of its own
    // windows takes the keyboard from another (a message box opening or
    // closing): the hold is let go only when that lasts.
    m_letGo.setSingleShot(true);
    m_letGo.setInterval(500);
    connect(&m_letGo, &QTimer::timeout, this, &KeyboardHold::update);
    connect(qGuiApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state == Qt::ApplicationActive || !m_held)
            update();
        else
            m_letGo.start();
    });
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
    m_letGo.stop();
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
