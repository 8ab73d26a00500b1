// SPDX-License-Identifier: GPL-3.0-or-later
// The start-up report on Windows, where a program started from a shortcut or
// the Explorer has no console, and the platform plugin comes with it.
#include "startup_report.h"

#include <windows.h>

#include <cstdio>

QString platformPluginRemedy(const QString &)
{
    // The Windows plugin is in the program's own platforms folder: when it is
    // missing and no other was asked for, the installation is damaged.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        return QStringLiteral("reinstall Quilloro");
    return {};
}

void showStartupFailure(const QString &line)
{
    // A message box when there is nowhere else for the line to go.
    const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    if (!error || error == INVALID_HANDLE_VALUE || GetFileType(error) == FILE_TYPE_UNKNOWN) {
        const QString text = line.trimmed();
        MessageBoxW(nullptr, reinterpret_cast<const wchar_t *>(text.utf16()), L"Quilloro", MB_OK | MB_ICONERROR);
        return;
    }
    std::fputs(line.toLocal8Bit().constData(), stderr);
}
