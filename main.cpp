// SPDX-License-Identifier: GPL-3.0-or-later
#include "main_window.h"
#ifdef QUILLORO_SINGLE_INSTANCE
#include "single_instance.h"
#endif

#include <QApplication>
#include <QLoggingCategory>
#include <QRegularExpression>

#include <cstdio>
#include <cstdlib>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

// A message Qt gave while the application was being set up, kept whole so
// that it can be passed on as it came.
struct StartupMessage {
    QtMsgType type;
    QByteArray category;
    QByteArray file;
    QByteArray function;
    int line;
    QString text;
};

QtMessageHandler defaultHandler = nullptr;
QList<StartupMessage> startupMessages;

QString pluginNamed(const QString &message)
{
    static const QRegularExpression name(QStringLiteral("platform plugin \"([^\"]*)\""));
    return name.match(message).captured(1);
}

// The one line that says why the window cannot open, from what Qt said
// before it gave up: no display to connect to, or a platform plugin that is
// missing or does not load.
QString startupFailure(const QString &fatal)
{
    QString missing, unloadable, other;
    for (const StartupMessage &message : std::as_const(startupMessages)) {
        const QString &text = message.text;
        if (text.contains(QLatin1String("connect to display"), Qt::CaseInsensitive)
            || text.contains(QLatin1String("wl_display"))) {
            QString line =
                QStringLiteral("quilloro: nessuno schermo disponibile (no display available: %1").arg(text.trimmed());
            if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
                line += QLatin1String("; is DISPLAY or WAYLAND_DISPLAY set?");
            return line + QLatin1String(")\n");
        }
        if (text.startsWith(QLatin1String("Could not find the Qt platform plugin")))
            missing = pluginNamed(text);
        else if (text.startsWith(QLatin1String("Could not load the Qt platform plugin")))
            unloadable = pluginNamed(text);
        else if (other.isEmpty() && message.type != QtDebugMsg && message.type != QtInfoMsg)
            other = text.trimmed();
    }
    if (!missing.isEmpty()) {
        // Debian's name for the one plugin a desktop may ask for that is packaged apart.
        QString remedy = missing == QLatin1String("wayland") ? QStringLiteral("install qt6-wayland")
                                                             : QStringLiteral("unset QT_QPA_PLATFORM");
#ifdef Q_OS_WIN
        // The Windows plugin comes with the program, in its platforms folder.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            remedy = QStringLiteral("reinstall Quilloro");
#endif
        return QStringLiteral("quilloro: manca il modulo di Qt per lo schermo \"%1\" (Qt platform plugin \"%1\" "
                              "not found; %2)\n")
            .arg(missing, remedy);
    }
    if (!unloadable.isEmpty()) {
        return QStringLiteral("quilloro: il modulo di Qt per lo schermo \"%1\" non si carica (Qt platform plugin "
                              "\"%1\" could not be loaded%2)\n")
            .arg(unloadable, other.isEmpty() ? QString() : QLatin1String(": ") + other);
    }
    return QStringLiteral("quilloro: impossibile aprire la finestra (cannot start: %1)\n")
        .arg(fatal.section(u'\n', 0, 0).trimmed());
}

// Says why the program cannot start: on standard error, or, on Windows, in a
// message box when there is nowhere for it to go (started from a shortcut or
// the Explorer, a GUI program has no console).
void reportStartupFailure(const QString &line)
{
#ifdef Q_OS_WIN
    const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    if (!error || error == INVALID_HANDLE_VALUE || GetFileType(error) == FILE_TYPE_UNKNOWN) {
        const QString text = line.trimmed();
        MessageBoxW(nullptr, reinterpret_cast<const wchar_t *>(text.utf16()), L"Quilloro", MB_OK | MB_ICONERROR);
        return;
    }
#endif
    std::fputs(line.toLocal8Bit().constData(), stderr);
}

// While the application starts, a missing display or platform plugin makes
// Qt give up with a fatal message and an abort, after warnings that lead up
// to it. Say why in one plain line instead, and exit with status 1 like any
// program that cannot do its work. The messages of a start that succeeds are
// passed on afterwards, each as what it was.
void startupMessageHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtFatalMsg) {
        reportStartupFailure(startupFailure(message));
        std::_Exit(1);
    }
    startupMessages << StartupMessage{type, context.category, context.file, context.function, context.line, message};
}

void passOnStartupMessages()
{
    for (const StartupMessage &message : std::as_const(startupMessages)) {
        const QMessageLogContext context(message.file.constData(), message.line, message.function.constData(),
                                         message.category.constData());
        defaultHandler(message.type, context, message.text);
    }
    startupMessages.clear();
}

} // namespace

int main(int argc, char *argv[])
{
#ifdef QUILLORO_SINGLE_INSTANCE
    SingleInstance instance;
#endif
    defaultHandler = qInstallMessageHandler(startupMessageHandler);
    QApplication app(argc, argv);
    qInstallMessageHandler(defaultHandler);
    passOnStartupMessages();
    // A picture that cannot be read is reported to the user in a box that
    // names the file; the image reader's own warnings would only repeat it.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.gui.imageio*.warning=false"));
    QApplication::setApplicationName(QStringLiteral("Quilloro"));
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.quilloro.Quilloro"));

#ifdef QUILLORO_SINGLE_INSTANCE
    // Before the window and its sound: a start that hands over to the
    // running program opens nothing and plays nothing.
    if (instance.handedOver())
        return 0;
#endif

    Form1 window;
#ifdef QUILLORO_SINGLE_INSTANCE
    instance.setWindow(&window);
#endif
    window.show();
    return QApplication::exec();
}
