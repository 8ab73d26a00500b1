// SPDX-License-Identifier: GPL-3.0-or-later
#include "sound_player.h"

#include <QFile>

#include <sndfile.h>

#include <algorithm>
#include <cmath>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// Reads an open sound file whole, mixed down to mono, and closes it.
std::shared_ptr<const Clip> readClip(SNDFILE *file, const SF_INFO &info)
{
    auto clip = std::make_shared<Clip>();
    const bool sane = info.channels > 0 && info.channels <= 64 && info.samplerate >= 1000 && info.samplerate <= 384000;
    if (sane) {
        clip->sampleRate = info.samplerate;
        const sf_count_t maxFrames =
            std::min(sf_count_t(info.samplerate) * MaxClipSeconds, sf_count_t(MaxDecodedSamples / info.channels));
        // Trust the header's length only as an upper bound: a damaged file
        // may claim far more than it holds, so read in blocks until the data ends.
        clip->samples.reserve(size_t(std::clamp<sf_count_t>(info.frames, 0, maxFrames)));
        // Read as floats, which libsndfile scales to -1..1 from every integer
        // width and passes through as they are from floating-point files.
        // (Read as integers, floating-point samples come out unscaled: a
        // recording from an audio editor would play as near silence.)
        constexpr sf_count_t BlockFrames = 4096;
        std::vector<float> block(size_t(BlockFrames * info.channels));
        while (sf_count_t(clip->samples.size()) < maxFrames) {
            const sf_count_t wanted = std::min(BlockFrames, maxFrames - sf_count_t(clip->samples.size()));
            const sf_count_t got = sf_readf_float(file, block.data(), wanted);
            if (got <= 0)
                break;
            for (sf_count_t frame = 0; frame < got; ++frame) {
                float sum = 0;
                for (int channel = 0; channel < info.channels; ++channel)
                    sum += block[size_t(frame * info.channels + channel)];
                float level = sum / float(info.channels);
                // Floating-point files may hold values past full scale, or
                // none at all (NaN) where they are damaged.
                level = std::isfinite(level) ? std::clamp(level, -1.0f, 1.0f) : 0.0f;
                clip->samples.push_back(std::int16_t(std::lrint(level * 32767.0f)));
            }
        }
    }
    sf_close(file);

    if (clip->samples.empty())
        return nullptr;
    return clip;
}

#ifdef Q_OS_WIN

// libsndfile reads the file through these, from a handle this file opened:
// given a C runtime descriptor instead, it closes the handle under it, and
// given a name, it keeps the name in a fixed-size buffer and fails on a long
// program folder.
HANDLE handleOf(void *user)
{
    return *static_cast<HANDLE *>(user);
}

sf_count_t fileLength(void *user)
{
    LARGE_INTEGER size{};
    return GetFileSizeEx(handleOf(user), &size) ? sf_count_t(size.QuadPart) : -1;
}

sf_count_t seekFile(sf_count_t offset, int whence, void *user)
{
    const DWORD method = whence == SEEK_SET ? FILE_BEGIN : whence == SEEK_CUR ? FILE_CURRENT : FILE_END;
    LARGE_INTEGER distance{}, position{};
    distance.QuadPart = offset;
    return SetFilePointerEx(handleOf(user), distance, &position, method) ? sf_count_t(position.QuadPart) : -1;
}

sf_count_t readFile(void *buffer, sf_count_t count, void *user)
{
    sf_count_t total = 0;
    while (total < count) {
        DWORD got = 0;
        const DWORD wanted = DWORD(std::min<sf_count_t>(count - total, 1 << 20));
        if (!ReadFile(handleOf(user), static_cast<char *>(buffer) + total, wanted, &got, nullptr) || got == 0)
            break;
        total += got;
    }
    return total;
}

sf_count_t writeNothing(const void *, sf_count_t, void *)
{
    return 0;
}

sf_count_t tellFile(void *user)
{
    return seekFile(0, SEEK_CUR, user);
}

} // namespace

std::shared_ptr<const Clip> decodeClip(const QString &path)
{
    HANDLE handle = CreateFileW(reinterpret_cast<const wchar_t *>(path.utf16()), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return nullptr;
    // Decoding runs on the window's thread: only files on a disk (not a
    // device such as CON or NUL, nor a pipe) of a reasonable size are read.
    LARGE_INTEGER size{};
    if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileSizeEx(handle, &size)
        || size.QuadPart > MaxRecordingFileBytes) {
        CloseHandle(handle);
        return nullptr;
    }
    SF_VIRTUAL_IO io{&fileLength, &seekFile, &readFile, &writeNothing, &tellFile};
    SF_INFO info{};
    SNDFILE *file = sf_open_virtual(&io, SFM_READ, &info, &handle);
    std::shared_ptr<const Clip> clip = file ? readClip(file, info) : nullptr;
    CloseHandle(handle);
    return clip;
}

#else

} // namespace

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

#endif
