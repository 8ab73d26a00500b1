// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sound_player.h"

#include <sndfile.h>

// Reads an open sound file whole, mixed down to mono, and closes it; nullptr
// when it holds nothing that can be played. decodeClip() of each platform
// opens the file and calls it.
std::shared_ptr<const Clip> readClip(SNDFILE *file, const SF_INFO &info);
