// SPDX-License-Identifier: GPL-3.0-or-later
// The family's and the school's media folders on Windows: the user's own
// under the profile, which needs no administrator and which neither an
// installer nor an uninstaller touches, and the one every account shares.
#include "media_lookup.h"

#include <QDir>
#include <QStandardPaths>

#include <windows.h>

#include <shlobj.h>

namespace KeyMedia {

namespace {

const QString AppMediaFolder = QStringLiteral("/quilloro/IMG");

} // namespace

QString userMediaFolder()
{
    // %LOCALAPPDATA%: the profile's own data, kept on this machine.
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return data.isEmpty() ? QString() : QDir::toNativeSeparators(data + AppMediaFolder);
}

QStringList sharedMediaFolders()
{
    PWSTR path = nullptr;
    QStringList folders;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_ProgramData, 0, nullptr, &path)) && path)
        folders << QDir::toNativeSeparators(QString::fromWCharArray(path) + AppMediaFolder);
    CoTaskMemFree(path);
    return folders;
}

} // namespace KeyMedia
