// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sound_player.h"

#include <cstddef>
#include <cstdint>

// The sample layout a sound device mixes in, as far as a player that writes
// to it needs to know: interleaved frames of `channels` samples each.
struct MixFormat {
    enum class Sample { Float32, Int16, Int32 };
    int rate = 0;
    int channels = 0;
    Sample sample = Sample::Float32;

    std::size_t bytesPerFrame() const { return std::size_t(channels) * (sample == Sample::Int16 ? 2 : 4); }
};

// How many frames a clip lasts once converted to the rate `rate`.
std::int64_t convertedLength(const Clip &clip, int rate);

// Writes `frames` frames of the clip converted to `format` (its rate by
// linear interpolation, the same sound on every channel) into `out`, from
// frame `position` of the converted clip on; frames past its end are silence.
void convertFrames(const Clip &clip, const MixFormat &format, std::int64_t position, int frames, void *out);
