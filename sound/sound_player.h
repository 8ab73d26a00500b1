// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

// A decoded recording, mixed down to mono 16-bit samples.
struct Clip {
    int sampleRate = 0;
    std::vector<std::int16_t> samples;
};

// Longest stretch of a recording that is kept; anything beyond is cut, so a
// header that claims gigabytes of sound cannot take the memory with it.
inline constexpr int MaxClipSeconds = 30;

// Most samples read from one recording, all its channels counted. Decoding
// runs on the window's thread, and a small compressed file can hold far more
// than it looks: 60 KB of Ogg Vorbis hold 30 s of 64 channels at 192 kHz, two
// seconds of work. Reading stops here, which keeps whole every recording of
// up to 30 s in stereo at 96 kHz or six channels at 44.1 kHz.
inline constexpr qint64 MaxDecodedSamples = 8 * 1024 * 1024;

// Largest recording file that is read; larger ones are refused unread, as
// they are not recordings of a spoken word (the pack's are under 100 KB).
inline constexpr qint64 MaxRecordingFileBytes = 16 * 1024 * 1024;

// Reads a sound file (WAV and the other formats libsndfile knows). Returns
// nullptr for anything that cannot be played: missing, unreadable, not an
// ordinary file, larger than MaxRecordingFileBytes, damaged, empty, or in an
// encoding the library does not decode.
std::shared_ptr<const Clip> decodeClip(const QString &path);

// Plays one recording at a time in the background. play() returns at once and
// never reports: any failure, the sound server's absence included, is
// silence. A new play() cuts the recording still playing. Recordings are
// decoded on first use and kept, so the next press of the same key starts at
// once. The connection to the sound server is made in the background and
// made again on the next play() after the server went away; the stream is
// made again after the output device went away or the stream was killed.
class SoundPlayer
{
public:
    SoundPlayer();
    ~SoundPlayer();

    SoundPlayer(const SoundPlayer &) = delete;
    SoundPlayer &operator=(const SoundPlayer &) = delete;

    void play(const QString &path);
    // Decodes the recording at path and keeps it, as its first play() would,
    // so that play() then starts it without decoding it.
    void prepare(const QString &path);

private:
    struct Private;
    std::unique_ptr<Private> d;
};
