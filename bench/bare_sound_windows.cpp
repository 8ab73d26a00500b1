// SPDX-License-Identifier: GPL-3.0-or-later
// On Windows, where the Qt built here has no Multimedia: the system's own PlaySound, which
// reads the file and plays it on a thread of its own, stopping the sound it played before.
#include "bare_sound.h"

#include <QDir>

#include <windows.h>
#include <mmsystem.h>

std::function<void(const QString &)> keySound(QObject *)
{
    return [](const QString &path) {
        const QString native = QDir::toNativeSeparators(path);
        PlaySoundW(reinterpret_cast<const wchar_t *>(native.utf16()), nullptr, SND_FILENAME | SND_ASYNC | SND_NODEFAULT);
    };
}
