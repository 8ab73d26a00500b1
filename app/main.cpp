// SPDX-License-Identifier: GPL-3.0-or-later
#include "lesson_settings.h"
#include "main_window.h"
#include "qt_translations.h"
#include "single_instance.h"
#include "startup_report.h"

#include <QApplication>
#include <QLoggingCategory>

int main(int argc, char *argv[])
{
    SingleInstance instance;
    holdStartupMessages();
    QApplication app(argc, argv);
    passOnStartupMessages();
    // A picture that cannot be read is reported to the user in a box that
    // names the file; the image reader's own warnings would only repeat it.
    // Qt's Wayland text input (6.8) warns whenever a closed message box
    // hands the keyboard back, of an event it rightly ignores.
    QLoggingCategory::setFilterRules(
        QStringLiteral("qt.gui.imageio*.warning=false\nqt.qpa.wayland.textinput.warning=false"));
    QApplication::setApplicationName(QStringLiteral("Quilloro"));
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.quilloro.Quilloro"));
    instance.connectInBackground();
    installQtTranslations();

    // The window is built while the bus connects, but shown only once this
    // start is known to be the only one: a start that hands over to the
    // running program shows nothing, and plays nothing, as the sound starts
    // with the window's first frame.
    Form1 window;
    if (instance.handedOver())
        return 0;
    // The grown-ups' choices, then every change they make while the lesson runs.
    KeyMedia::LessonSettingsWatcher settings;
    window.applyChoices(settings.settings());
    QObject::connect(&settings, &KeyMedia::LessonSettingsWatcher::changed, &window, &Form1::applyChoices);
    instance.setWindow(&window);
    window.show();
    return QApplication::exec();
}
