// SPDX-License-Identifier: GPL-3.0-or-later
// The decoding every platform shares; each platform's decode_clip_*.cpp
// opens the file its own way and hands it over here.
#include "decode_clip.h"

#include <algorithm>
#include <cmath>

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
