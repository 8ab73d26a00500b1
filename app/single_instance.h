// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>

#include <memory>

class QWidget;

// One window per desktop session. The first start owns the program's name on
// the session bus and answers org.freedesktop.Application's Activate by
// bringing its window to the front; a later start finds the name taken, asks
// the owner to come forward, and ends. With no session bus, or in a build
// whose Qt has no D-Bus (single_instance_none.cpp), every start runs on its own.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    // serviceName is the name owned on the bus (the desktop file's name), and
    // objectPath where org.freedesktop.Application is served, the path that
    // interface derives from the name. The launcher's tokens are read here,
    // before QApplication is made: Qt's X11 connection takes
    // DESKTOP_STARTUP_ID out of the environment.
    explicit SingleInstance(const QString &serviceName = QStringLiteral("io.github.quilloro.Quilloro"),
                            const QString &objectPath = QStringLiteral("/io/github/quilloro/Quilloro"));
    ~SingleInstance() override;
    SingleInstance(const SingleInstance &) = delete;
    SingleInstance &operator=(const SingleInstance &) = delete;

    // Starts connecting to the session bus in the background, so that the
    // window can be built meanwhile. Call it once QApplication exists.
    void connectInBackground();

    // Owns the name, or hands this start to the running program. True when
    // the running one took it: this process then ends with status 0.
    bool handedOver();

    // The window that Activate brings forward, once this process owns the name.
    void setWindow(QWidget *window);

private:
    struct Private;
    std::unique_ptr<Private> d;
};
