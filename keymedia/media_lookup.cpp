// SPDX-License-Identifier: GPL-3.0-or-later
#include "media_lookup.h"

#include <QDir>
#include <QFileInfo>

namespace KeyMedia {

QString mediaPath(const QString &programFolder, const QString &key, QStringView extension)
{
    const QChar separator = QDir::separator();
    return programFolder + separator + QLatin1String("IMG") + separator + key + extension.toString();
}

QString ownFile(const QString &key, QStringView extension)
{
    const QString folder = userMediaFolder();
    return folder.isEmpty() ? QString() : folder + QDir::separator() + key + extension.toString();
}

QStringList mediaFolders(const QString &programFolder)
{
    QStringList folders;
    if (const QString user = userMediaFolder(); !user.isEmpty())
        folders << user;
    folders << sharedMediaFolders();
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
