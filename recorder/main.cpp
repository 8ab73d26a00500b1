// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture.h"
#include "recorder_window.h"
#include "sound_player.h"
#include "take_processing.h"

#include <QApplication>
#include <QLibraryInfo>
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
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("quilloro-registra"));
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.quilloro.Quilloro.Registra"));
    // The pictures' own errors are told in a sentence that names the file.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.gui.imageio*.warning=false"));

    // Italian is the source; other languages by the locale (English today),
    // with Qt's own texts (the file dialog's) in the same language.
    QTranslator translator, qtTranslator;
    if (translator.load(QLocale(), QStringLiteral("quilloro-registra"), QStringLiteral("_"),
                        QStringLiteral(":/i18n"))) {
        QCoreApplication::installTranslator(&translator);
    }
    if (qtTranslator.load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(&qtTranslator);
    }

    const std::unique_ptr<Capture> capture = makeMicrophoneCapture(Take::SampleRate, Take::MaxSeconds);
    PlayerSound sound;
    RecorderWindow window(*capture, sound, QCoreApplication::applicationDirPath());
    window.show();
    return QApplication::exec();
}
