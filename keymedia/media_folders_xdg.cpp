// SPDX-License-Identifier: GPL-3.0-or-later
// The family's and the school's media folders, and the grown-ups' settings
// files, where the XDG base directory rules say where data and settings go
// (Linux and the other free desktops).
#include "lesson_settings.h"
#include "media_lookup.h"

#include <QDir>

namespace KeyMedia {

namespace {

// An absolute folder from an environment variable, or nothing: the XDG rules
// ignore relative ones.
QString absoluteFolder(const char *variable)
{
    const QString folder = qEnvironmentVariable(variable);
    return QDir::isAbsolutePath(folder) ? folder : QString();
}

const QString AppMediaFolder = QStringLiteral("/quilloro/IMG");
const QString AppSettingsFile = QStringLiteral("/quilloro/quilloro.conf");

} // namespace

QString userMediaFolder()
{
    QString data = absoluteFolder("XDG_DATA_HOME");
    if (data.isEmpty()) {
        const QString home = absoluteFolder("HOME");
        if (home.isEmpty())
            return {};
        data = home + QLatin1String("/.local/share");
    }
    return data + AppMediaFolder;
}

QStringList sharedMediaFolders()
{
    QString shared = qEnvironmentVariable("XDG_DATA_DIRS");
    if (shared.isEmpty())
        shared = QStringLiteral("/usr/local/share:/usr/share");
    QStringList folders;
    for (const QString &folder : shared.split(u':', Qt::SkipEmptyParts)) {
        if (QDir::isAbsolutePath(folder))
            folders << folder + AppMediaFolder;
    }
    return folders;
}

QString userSettingsFile()
{
    QString config = absoluteFolder("XDG_CONFIG_HOME");
    if (config.isEmpty()) {
        const QString home = absoluteFolder("HOME");
        if (home.isEmpty())
            return {};
        config = home + QLatin1String("/.config");
    }
    return config + AppSettingsFile;
}

QStringList systemSettingsFiles()
{
    QString shared = qEnvironmentVariable("XDG_CONFIG_DIRS");
    if (shared.isEmpty())
        shared = QStringLiteral("/etc/xdg");
    QStringList files;
    for (const QString &folder : shared.split(u':', Qt::SkipEmptyParts)) {
        if (QDir::isAbsolutePath(folder))
            files << folder + AppSettingsFile;
    }
    return files;
}

} // namespace KeyMedia
