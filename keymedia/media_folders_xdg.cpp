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

// The user's base folder for a kind of file: the variable's, or its place
// under the home folder; nothing when neither is known.
QString userBase(const char *variable, QLatin1StringView underHome)
{
    const QString folder = absoluteFolder(variable);
    if (!folder.isEmpty())
        return folder;
    const QString home = absoluteFolder("HOME");
    return home.isEmpty() ? QString() : home + underHome;
}

// The machine's base folders for a kind of file, the most important first:
// the variable's list, or the standard one; relative ones are left out.
QStringList sharedBases(const char *variable, const QString &standard)
{
    QString list = qEnvironmentVariable(variable);
    if (list.isEmpty())
        list = standard;
    QStringList folders;
    for (const QString &folder : list.split(u':', Qt::SkipEmptyParts)) {
        if (QDir::isAbsolutePath(folder))
            folders << folder;
    }
    return folders;
}

QStringList within(QStringList bases, const QString &path)
{
    for (QString &base : bases)
        base += path;
    return bases;
}

} // namespace

QString userMediaFolder()
{
    const QString data = userBase("XDG_DATA_HOME", QLatin1StringView("/.local/share"));
    return data.isEmpty() ? QString() : data + AppMediaFolder;
}

QStringList sharedMediaFolders()
{
    return within(sharedBases("XDG_DATA_DIRS", QStringLiteral("/usr/local/share:/usr/share")), AppMediaFolder);
}

QString userSettingsFile()
{
    const QString config = userBase("XDG_CONFIG_HOME", QLatin1StringView("/.config"));
    return config.isEmpty() ? QString() : config + AppSettingsFile;
}

QStringList systemSettingsFiles()
{
    return within(sharedBases("XDG_CONFIG_DIRS", QStringLiteral("/etc/xdg")), AppSettingsFile);
}

} // namespace KeyMedia
