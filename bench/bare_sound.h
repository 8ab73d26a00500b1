// SPDX-License-Identifier: GPL-3.0-or-later
// How the bare window plays a key's recording: the way a plain Qt program does on its
// platform, chosen by the build (bare_sound_qt.cpp or bare_sound_windows.cpp).
#pragma once

#include <QString>

#include <functional>

class QObject;

// Returns what plays the recording at path, cutting the one before short; what it
// holds lives as long as parent.
std::function<void(const QString &path)> keySound(QObject *parent);
