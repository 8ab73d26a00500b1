// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <windows.h>

#include <mmreg.h>

#include <optional>

// What a WASAPI device's mix format says of its samples, for the player and
// the capture alike: the plain and the extensible headers read the same way.
struct WaveLayout {
    int rate = 0;
    int channels = 0;
    int bits = 0;         // per sample, as stored
    bool isFloat = false; // IEEE floating point, else integer PCM
    int blockAlign = 0;   // bytes per frame
};

// Nothing for a format that is neither integer PCM nor floating point, or
// whose header is too short for what it claims.
std::optional<WaveLayout> waveLayoutOf(const WAVEFORMATEX &wave);
