// SPDX-License-Identifier: GPL-3.0-or-later
#include "media_lookup.h"

#include <QDir>
#include <QFileInfo>

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

} // namespace

QString mediaPath(const QString &programFolder, const QString &key, QStringView extension)
{
    const QChar separator = QDir::separator();
    return programFolder + separator + QLatin1String("IMG") + separator + key + extension.toString();
}

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

QString ownFile(const QString &key, QStringView extension)
{
    const QString folder = userMediaFolder();
    return folder.isEmpty() ? QString() : folder + u'/' + key + extension.toString();
}

QStringList mediaFolders(const QString &programFolder)
{
    QStringList folders;
    if (const QString user = userMediaFolder(); !user.isEmpty())
        folders << user;
    QString shared = qEnvironmentVariable("XDG_DATA_DIRS");
    if (shared.isEmpty())
        shared = QStringLiteral("/usr/local/share:/usr/share");
    for (const QString &folder : shared.split(u':', Qt::SkipEmptyParts)) {
        if (QDir::isAbsolutePath(folder))
            folders << folder + AppMediaFolder;
    }
    // The pack's folder joined as mediaPath() joins it, so a box names the
    // very path it always named.
    folders << programFolder + QDir::separator() + QLatin1String("IMG");
    return folders;
}

QString findMediaFile(const QString &programFolder, const QString &key, QStringView extension)
{
    const QString name = QDir::separator() + key + extension.toString();
    // Looked up at every press: a file put in or taken away while the
    // program runs counts from the next press on.
    for (const QString &folder : mediaFolders(programFolder)) {
        const QString path = folder + name;
        if (QFileInfo::exists(path))
            return path;
    }
    return mediaPath(programFolder, key, extension);
}

} // namespace KeyMedia
