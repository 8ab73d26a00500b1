// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// What the lesson and the recorder need of the sound player: start a
// recording and return at once. The programs hand the path to their
// SoundPlayer; tests implement it with a fake that keeps the paths.
class SoundOperations
{
public:
    virtual ~SoundOperations() = default;
    virtual void suona(const QString &path) = 0;
};
