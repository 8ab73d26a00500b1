// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: the bytes as a recording in the media folder, decoded the way
// the sound player decodes it.
#include "fuzz_input.h"
#include "sound_player.h"

#include <sndfile.h>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    Fuzz::quietQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, size_t size)
{
    static Fuzz::InputFile file("clip.wav");
    const QString path = file.write(data, size);
    const auto clip = decodeClip(path);
    if (clip) {
        Fuzz::require(!clip->samples.empty(), "a clip is returned with no sound in it");
        Fuzz::require(clip->sampleRate >= 1000 && clip->sampleRate <= 384000,
                      "a clip is returned at a rate no sound server plays");
        Fuzz::require(clip->samples.size() <= size_t(clip->sampleRate) * MaxClipSeconds,
                      "a clip is kept longer than MaxClipSeconds");
    }

    // What the library makes of the header, and how much sound came out.
    SF_INFO info{};
    SNDFILE *sound = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    if (clip && sound)
        Fuzz::require(qint64(clip->samples.size()) * info.channels <= MaxDecodedSamples,
                      "more than MaxDecodedSamples are read from a recording");
    Fuzz::countOutcome({sf_error(sound), info.format, info.channels, Fuzz::magnitude(info.samplerate),
                        Fuzz::magnitude(info.frames), clip ? Fuzz::magnitude(qint64(clip->samples.size())) : -1});
    sf_close(sound);
    return 0;
}
