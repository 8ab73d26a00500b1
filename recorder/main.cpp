// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture.h"
#include "qt_translations.h"
#include "recorder_window.h"
#include "single_instance.h"
#include "sound_player.h"
#include "take_processing.h"

#include <QApplication>
#include <QLocale>
#include <QLoggingCategory>
#include <QTranslator>

namespace {

// The recorder's voice for Listen: the child's program's own player.
class PlayerSound : public SoundOperations
{
public:
    void suona(const QString &path) override { m_player.play(path); }

private:
    SoundPlayer m_player;
};

} // namespace

int main(int argc, char *argv[])
{
    // One recorder per desktop session, as two would disagree about what
    // each has kept or removed: a second start brings the first forward.
    SingleInstance instance(QStringLiteral("io.github.quilloro.Quilloro.Registra"),
                            QStringLiteral("/io/github/quilloro/Quilloro/Registra"));
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("quilloro-registra"));
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.quilloro.Quilloro.Registra"));
    // The pictures' own errors are told in a sentence that names the file.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.gui.imageio*.warning=false"));

    // Italian is the source; other languages by the locale (English today),
    // with Qt's own texts (the file dialog's) in the same language.
    QTranslator translator;
    if (translator.load(QLocale(), QStringLiteral("quilloro-registra"), QStringLiteral("_"),
                        QStringLiteral(":/i18n"))) {
        QCoreApplication::installTranslator(&translator);
    }
    installQtTranslations();

    // Before the window and the microphone: a start that hands over opens nothing.
    if (instance.handedOver())
        return 0;

    const std::unique_ptr<Capture> capture = makeMicrophoneCapture(Take::SampleRate, Take::MaxSeconds);
    PlayerSound sound;
    RecorderWindow window(*capture, sound, QCoreApplication::applicationDirPath());
    instance.setWindow(&window);
    window.show();
    return QApplication::exec();
}
