// SPDX-License-Identifier: GPL-3.0-or-later
#include "main_window.h"

#include <QApplication>
#include <QLoggingCategory>

#include <cstdio>
#include <cstdlib>

namespace {

QtMessageHandler defaultHandler = nullptr;
QStringList startupMessages;

// While the application starts, a missing display makes Qt give up with a
// fatal message and an abort, after warnings that all say the same. Say it
// in one plain line instead, and exit with status 1 like any program that
// cannot do its work. Messages of a start that succeeds are passed on after.
void startupMessageHandler(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtFatalMsg) {
        std::fputs("quilloro: nessuno schermo disponibile (no display available: is DISPLAY or WAYLAND_DISPLAY set?)\n",
                   stderr);
        std::_Exit(1);
    }
    startupMessages << message;
}

} // namespace

int main(int argc, char *argv[])
{
    defaultHandler = qInstallMessageHandler(startupMessageHandler);
    QApplication app(argc, argv);
    qInstallMessageHandler(defaultHandler);
    for (const QString &message : std::as_const(startupMessages))
        qWarning().noquote() << message;
    startupMessages.clear();
    // A picture that cannot be read is reported to the user in a box that
    // names the file; the image reader's own warnings would only repeat it.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.gui.imageio*.warning=false"));
    QApplication::setApplicationName(QStringLiteral("Quilloro"));
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.quilloro.Quilloro"));

    Form1 window;
    window.show();
    return QApplication::exec();
}
