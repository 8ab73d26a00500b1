// SPDX-License-Identifier: GPL-3.0-or-later
#include "clip_cache.h"

#include <QFileInfo>

std::shared_ptr<const Clip> ClipCache::clipFor(const QString &path)
{
    // A recording replaced while the program runs is read again: the cache
    // entry is only good for the file's size and time it was read at.
    const QFileInfo fileInfo(path);
    const qint64 size = fileInfo.exists() ? fileInfo.size() : -1;
    const QDateTime modified = fileInfo.exists() ? fileInfo.lastModified() : QDateTime();
    if (const Entry *entry = m_cache.object(path); entry && entry->size == size && entry->modified == modified)
        return entry->clip;

    auto clip = size >= 0 ? decodeClip(path) : nullptr;
    // A decoded clip is never empty; a file that cannot be played costs one.
    // A single recording larger than the whole cache is played, not kept.
    const qsizetype cost = clip ? qsizetype(clip->samples.size() * sizeof(std::int16_t)) : 1;
    m_cache.insert(path, new Entry{size, modified, clip}, cost);
    return clip;
}
