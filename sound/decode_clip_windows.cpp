// SPDX-License-Identifier: GPL-3.0-or-later
// decodeClip() on Windows: the file opened with CreateFileW and read by
// libsndfile through the handle.
#include "decode_clip.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>

namespace {

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
