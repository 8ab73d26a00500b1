// SPDX-License-Identifier: GPL-3.0-or-later
#include "startup_report.h"

#include <QList>
#include <QRegularExpression>
#include <QtGlobal>

#include <cstdlib>

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
        QString remedy = platformPluginRemedy(missing);
        // Debian's name for the one plugin a desktop may ask for that is packaged apart.
        if (remedy.isEmpty())
            remedy = missing == QLatin1String("wayland") ? QStringLiteral("install qt6-wayland")
                                                         : QStringLiteral("unset QT_QPA_PLATFORM");
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

void startupMessageHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtFatalMsg) {
        showStartupFailure(startupFailure(message));
        std::_Exit(1);
    }
    startupMessages << StartupMessage{type, context.category, context.file, context.function, context.line, message};
}

} // namespace

void holdStartupMessages()
{
    defaultHandler = qInstallMessageHandler(startupMessageHandler);
}

void passOnStartupMessages()
{
    qInstallMessageHandler(defaultHandler);
    for (const StartupMessage &message : std::as_const(startupMessages)) {
        const QMessageLogContext context(message.file.constData(), message.line, message.function.constData(),
                                         message.category.constData());
        defaultHandler(message.type, context, message.text);
    }
    startupMessages.clear();
}
