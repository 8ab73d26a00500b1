// SPDX-License-Identifier: GPL-3.0-or-later
#include "main_window.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>

namespace {

QtMessageHandler defaultHandler = nullptr;

// While the application starts, a missing display makes Qt give up with a
// fatal message and an abort. Say it in one plain line instead, and exit
// with status 1 like any program that cannot do its work.
void startupMessageHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtFatalMsg) {
        std::fputs("quilloro: nessuno schermo disponibile (no display available: is DISPLAY or WAYLAND_DISPLAY set?)\n",
                   stderr);
        std::_Exit(1);
    }
    // Qt's warnings on the way to that message only repeat it.
    if (type == QtWarningMsg && message.contains(QLatin1String("display")))
        return;
    defaultHandler(type, context, message);
}

} // namespace

int main(int argc, char *argv[])
{
    defaultHandler = qInstallMessageHandler(startupMessageHandler);
    QApplication app(argc, argv);
    qInstallMessageHandler(defaultHandler);
    QApplication::setApplicationName(QStringLiteral("Quilloro"));
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.quilloro.Quilloro"));

    Form1 window;
    window.show();
    return QApplication::exec();
}
