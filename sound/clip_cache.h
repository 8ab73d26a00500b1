// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sound_player.h"

#include <QCache>
#include <QDateTime>

// Decoded recordings by file path, for the sound players of every platform.
// Used from one thread only (the caller of SoundPlayer::play()).
class ClipCache
{
public:
    // The recording at path, decoded on first use and kept, so the next press
    // of the same key starts at once; nullptr if it cannot be played.
    std::shared_ptr<const Clip> clipFor(const QString &path);

private:
    struct Entry {
        qint64 size = -1;
        QDateTime modified;
        std::shared_ptr<const Clip> clip; // nullptr: the file cannot be played
    };
    // Decoded recordings kept, counted in bytes of samples: the pack's 36 take
    // about 5 MB, and a family's own longer recordings must not grow it without end.
    static constexpr qsizetype CacheBytes = 32 * 1024 * 1024;
    QCache<QString, Entry> m_cache{CacheBytes};
};
