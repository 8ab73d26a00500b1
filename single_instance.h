// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QVariantMap>

class QWidget;

// One Quilloro window per desktop session. The first start owns the
// program's name on the session bus and answers org.freedesktop.Application's
// Activate by bringing its window to the front; a later start finds the name
// taken, asks the owner to come forward, and ends. With no session bus every
// start runs on its own.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    // The launcher's tokens, read before QApplication is made: Qt's X11
    // connection takes DESKTOP_STARTUP_ID out of the environment.
    SingleInstance();
    ~SingleInstance() override;
    SingleInstance(const SingleInstance &) = delete;
    SingleInstance &operator=(const SingleInstance &) = delete;

    // Owns the name, or hands this start to the running program. True when
    // the running one took it: this process then ends with status 0.
    bool handedOver();

    // The window that Activate brings forward, once this process owns the name.
    void setWindow(QWidget *window);

    // What the running program does with an Activate call: the window, or
    // the message box it has open, raised and given the keyboard, with the
    // token the launcher gave the later start.
    void activate(const QVariantMap &platformData);

private:
    bool ownName();
    void releaseName();

    QVariantMap m_platformData;
    QPointer<QWidget> m_window;
    bool m_owner = false;
};
