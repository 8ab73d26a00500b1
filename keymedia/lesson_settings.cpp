// SPDX-License-Identifier: GPL-3.0-or-later
#include "lesson_settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QSettings>

#include <iterator>
#include <optional>

namespace KeyMedia {

namespace {

const QString Section = QStringLiteral("lezione");

struct Choice {
    const char *key;
    bool LessonSettings::*value;
};

// In the order of LessonChoice.
constexpr Choice Choices[] = {
    {"maiuscole", &LessonSettings::capitals},
    {"schermo_intero", &LessonSettings::fullScreen},
    {"blocco_bambino", &LessonSettings::childLock},
};

const QString ActivityKey = QStringLiteral("attivita");

// The activities by the words the file gives them, in the order of Activity.
const QString ActivityWords[] = {QStringLiteral("esplora"), QStringLiteral("ascolta")};

// A settings file is a few lines; anything far larger is not one, and is not
// read into memory.
constexpr qint64 MaxSettingsFileBytes = 64 * 1024;

std::optional<bool> yesOrNo(const QVariant &value)
{
    const QString word = value.toString().trimmed().toLower();
    static const QStringList yes{QStringLiteral("true"), QStringLiteral("1"), QStringLiteral("yes"),
                                 QStringLiteral("on"), QStringLiteral("sì"), QStringLiteral("si")};
    static const QStringList no{QStringLiteral("false"), QStringLiteral("0"), QStringLiteral("no"),
                                QStringLiteral("off")};
    if (yes.contains(word))
        return true;
    if (no.contains(word))
        return false;
    return std::nullopt;
}

std::optional<Activity> activityNamed(const QVariant &value)
{
    const QString word = value.toString().trimmed().toLower();
    for (std::size_t i = 0; i < std::size(ActivityWords); ++i) {
        if (word == ActivityWords[i])
            return Activity(i);
    }
    return std::nullopt;
}

QString tr(const char *text)
{
    return QCoreApplication::translate("KeyMedia", text);
}

bool readable(const QString &file)
{
    const QFileInfo info(file);
    return info.isFile() && info.isReadable() && info.size() <= MaxSettingsFileBytes;
}

} // namespace

QStringList settingsFiles()
{
    QStringList files = systemSettingsFiles();
    if (const QString user = userSettingsFile(); !user.isEmpty())
        files.prepend(user);
    return files;
}

LessonSettings readLessonSettings(const QStringList &files)
{
    // Each file read once, the most important first; a choice it makes is
    // taken unless a file before it made that choice already.
    LessonSettings settings;
    bool made[std::size(Choices)] = {};
    bool activityMade = false;
    for (const QString &file : files) {
        if (!readable(file))
            continue;
        const QSettings ini(file, QSettings::IniFormat);
        if (ini.status() != QSettings::NoError)
            continue;
        for (std::size_t i = 0; i < std::size(Choices); ++i) {
            if (made[i])
                continue;
            if (const std::optional<bool> value = yesOrNo(ini.value(Section + u'/' + QLatin1String(Choices[i].key)))) {
                settings.*Choices[i].value = *value;
                made[i] = true;
            }
        }
        if (!activityMade) {
            if (const std::optional<Activity> activity = activityNamed(ini.value(Section + u'/' + ActivityKey))) {
                settings.activity = *activity;
                activityMade = true;
            }
        }
    }
    return settings;
}

namespace {

bool saveValue(const QString &key, const QVariant &value, QString &reason, const QString &file)
{
    if (file.isEmpty()) {
        reason = tr("non c'è una cartella per le impostazioni");
        return false;
    }
    if (!QDir().mkpath(QFileInfo(file).absolutePath())) {
        reason = tr("non riesco a creare la cartella %1").arg(QFileInfo(file).absolutePath());
        return false;
    }
    // QSettings writes through a temporary file renamed over the old one,
    // so the child's program never reads half a file.
    QSettings ini(file, QSettings::IniFormat);
    ini.setValue(Section + u'/' + key, value);
    ini.sync();
    switch (ini.status()) {
    case QSettings::NoError:
        return true;
    case QSettings::AccessError:
        reason = tr("non posso scrivere il file %1").arg(file);
        return false;
    case QSettings::FormatError:
        reason = tr("il file %1 è danneggiato").arg(file);
        return false;
    }
    return false;
}

} // namespace

bool saveLessonChoice(LessonChoice choice, bool on, QString &reason, const QString &file)
{
    return saveValue(QLatin1String(Choices[int(choice)].key), on, reason, file);
}

bool saveActivity(Activity activity, QString &reason, const QString &file)
{
    return saveValue(ActivityKey, ActivityWords[int(activity)], reason, file);
}

LessonSettingsWatcher::LessonSettingsWatcher(const QStringList &files, QObject *parent)
    : QObject(parent)
    , m_files(files)
    , m_watcher(new QFileSystemWatcher(this))
    , m_settings(readLessonSettings(files))
{
    // A file is often written in steps (a temporary file, then a rename):
    // the files are read once the steps have settled.
    m_settle.setSingleShot(true);
    m_settle.setInterval(100);
    connect(&m_settle, &QTimer::timeout, this, &LessonSettingsWatcher::reread);
    connect(m_watcher, &QFileSystemWatcher::fileChanged, &m_settle, qOverload<>(&QTimer::start));
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, &m_settle, qOverload<>(&QTimer::start));
    watch();
}

void LessonSettingsWatcher::watch()
{
    // Each file where it is, and the folder that holds it, or would: a file
    // replaced by a rename, or made in a folder made after the start, is
    // seen in its folder.
    QStringList wanted;
    for (const QString &file : std::as_const(m_files)) {
        if (QFileInfo::exists(file))
            wanted << file;
        QString folder = QFileInfo(file).absolutePath();
        while (!QFileInfo(folder).isDir() && folder != QFileInfo(folder).absolutePath())
            folder = QFileInfo(folder).absolutePath();
        if (QFileInfo(folder).isDir())
            wanted << folder;
    }
    // Nothing can be seen of what cannot be read (the system would say so
    // on standard error for each).
    wanted.removeIf([](const QString &path) { return !QFileInfo(path).isReadable(); });
    wanted.removeDuplicates();
    const QStringList watched = m_watcher->files() + m_watcher->directories();
    QStringList gone, added;
    for (const QString &path : watched) {
        if (!wanted.contains(path))
            gone << path;
    }
    for (const QString &path : std::as_const(wanted)) {
        if (!watched.contains(path))
            added << path;
    }
    if (!gone.isEmpty())
        m_watcher->removePaths(gone);
    if (!added.isEmpty())
        m_watcher->addPaths(added);
}

void LessonSettingsWatcher::reread()
{
    watch();
    const LessonSettings settings = readLessonSettings(m_files);
    if (settings == m_settings)
        return;
    m_settings = settings;
    Q_EMIT changed(m_settings);
}

} // namespace KeyMedia
