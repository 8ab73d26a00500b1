// SPDX-License-Identifier: GPL-3.0-or-later
// decodeClip() on POSIX systems: the file opened by this process and handed
// to libsndfile as a descriptor.
#include "decode_clip.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

std::shared_ptr<const Clip> decodeClip(const QString &path)
{
    // Opened here and handed over as a descriptor: libsndfile keeps file
    // names in a fixed-size buffer and fails on a long program folder.
    // Not blocking, so that a pipe put in the media folder cannot hang the window.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return nullptr;
    // Decoding runs on the window's thread: only ordinary files of a
    // reasonable size are read at all.
    struct stat status = {};
    if (::fstat(fd, &status) < 0 || !S_ISREG(status.st_mode) || status.st_size > MaxRecordingFileBytes) {
        ::close(fd);
        return nullptr;
    }
    SF_INFO info{};
    // On failure too, libsndfile has closed the descriptor it was given.
    SNDFILE *file = sf_open_fd(fd, SFM_READ, &info, SF_TRUE);
    if (!file)
        return nullptr;
    return readClip(file, info);
}
