// SPDX-License-Identifier: GPL-3.0-or-later
// The family's and the school's media folders on Windows: the user's own
// under the profile, which needs no administrator and which neither an
// installer nor an uninstaller touches, and the one every account shares.
// The grown-ups' settings files are INI files beside them: the roaming
// profile's (%APPDATA%) and ProgramData's, never the registry.
#include "lesson_settings.h"
#include "media_lookup.h"

#include <QDir>
#include <QStandardPaths>

#include <windows.h>

#include <shlobj.h>

namespace KeyMedia {

namespace {

const QString AppMediaFolder = QStringLiteral("/quilloro/IMG");
const QString AppSettingsFile = QStringLiteral("/quilloro/quilloro.ini");

QString knownFolder(REFKNOWNFOLDERID id)
{
    PWSTR path = nullptr;
    QString folder;
    if (SUCCEEDED(SHGetKnownFolderPath(id, 0, nullptr, &path)) && path)
        folder = QString::fromWCharArray(path);
    CoTaskMemFree(path);
    return folder;
}

} // namespace

QString userMediaFolder()
{
    // %LOCALAPPDATA%: the profile's own data, kept on this machine.
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return data.isEmpty() ? QString() : QDir::toNativeSeparators(data + AppMediaFolder);
}

QStringList sharedMediaFolders()
{
    const QString shared = knownFolder(FOLDERID_ProgramData);
    return shared.isEmpty() ? QStringList() : QStringList{QDir::toNativeSeparators(shared + AppMediaFolder)};
}

QString userSettingsFile()
{
    const QString roaming = knownFolder(FOLDERID_RoamingAppData);
    return roaming.isEmpty() ? QString() : QDir::toNativeSeparators(roaming + AppSettingsFile);
}

QStringList systemSettingsFiles()
{
    const QString shared = knownFolder(FOLDERID_ProgramData);
    return shared.isEmpty() ? QStringList() : QStringList{QDir::toNativeSeparators(shared + AppSettingsFile)};
}

} // namespace KeyMedia
