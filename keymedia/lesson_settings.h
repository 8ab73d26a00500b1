// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

class QFileSystemWatcher;

// The grown-ups' choices for the child's lesson. Each is off unless a
// grown-up turns it on: with none made, the lesson is the one it always was.
// They live in an INI file, section [lezione]: the user's own file first, then
// the machine's, so a school sets its machines' defaults and a family its own
// over them. The recorder writes the user's file; the child's program reads
// them at start and follows every change while it runs.
namespace KeyMedia {

// What the child's window is for (attivita): the lesson, where every key is
// shown with its recording and picture, or the game, where the program says
// a key and the child finds it.
enum class Activity {
    Explore, // esplora: the lesson, as it always was
    Listen,  // ascolta: "Ascolta e trova"
};

struct LessonSettings {
    bool capitals = false;   // maiuscole: letters shown as capitals, a capital typed is its letter
    bool fullScreen = false; // schermo_intero: the lesson on the whole screen
    bool childLock = false;  // blocco_bambino: only the word "esci" ends the lesson
    Activity activity = Activity::Explore;

    friend bool operator==(const LessonSettings &, const LessonSettings &) = default;
};

// The user's settings file: ~/.config/quilloro/quilloro.conf, or on Windows
// %APPDATA%\quilloro\quilloro.ini. Empty when there is no home to hold it.
QString userSettingsFile();

// The machine's settings files, the most important first:
// $XDG_CONFIG_DIRS/quilloro/quilloro.conf, or %PROGRAMDATA%\quilloro\quilloro.ini.
QStringList systemSettingsFiles();

// The user's file, then the machine's files.
QStringList settingsFiles();

// The choices the files make. Each choice comes from the first file that
// makes it: a file that is missing, unreadable or damaged makes none, and a
// value that is not a yes or a no ("true", "false", "1", "0", "sì", "no"…)
// is no choice either, nor an activity other than esplora or ascolta. Never fails: at worst, the choices are all off.
LessonSettings readLessonSettings(const QStringList &files = settingsFiles());

enum class LessonChoice { Capitals, FullScreen, ChildLock };

// Writes one choice to the user's file, keeping whatever else it holds: the
// choices a grown-up has not made there go on following the machine's file.
// The file is replaced whole or not at all. On failure returns false and
// sets reason to a short Italian explanation.
bool saveLessonChoice(LessonChoice choice, bool on, QString &reason, const QString &file = userSettingsFile());

// Writes the activity to the user's file, as saveLessonChoice() does a choice.
bool saveActivity(Activity activity, QString &reason, const QString &file = userSettingsFile());

// Tells when the choices the files make have changed, a moment after a
// file is written, created or removed, with no wake-up while nothing changes.
class LessonSettingsWatcher : public QObject
{
    Q_OBJECT

public:
    explicit LessonSettingsWatcher(const QStringList &files = settingsFiles(), QObject *parent = nullptr);

    LessonSettings settings() const { return m_settings; }

Q_SIGNALS:
    void changed(const KeyMedia::LessonSettings &settings);

private:
    void watch();
    void reread();

    QStringList m_files;
    QFileSystemWatcher *m_watcher = nullptr;
    QTimer m_settle;
    LessonSettings m_settings;
};

} // namespace KeyMedia

Q_DECLARE_METATYPE(KeyMedia::LessonSettings)
