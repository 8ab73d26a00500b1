// SPDX-License-Identifier: GPL-3.0-or-later
// The recordings the harness plays and reads: the tone pack it writes (key i plays
// 400 + 100 i Hz) and the silence a recording begins with.
#pragma once

#include <string>
#include <vector>

namespace bench {

double toneFrequency(char key);

// The first channel of a sound file, as floats; empty when it cannot be read.
std::vector<float> readMono(const std::string &path, int *rate = nullptr);

// Recordings may open with a breath of silence; that is the recording's, not the
// program's delay, so it is taken off every key → sound figure.
double leadInMs(const std::string &path);

// Writes <key>.wav for every key into dir: 0.8 s of the key's tone. Returns 0, or 1
// when a file cannot be written.
int makeTones(const std::string &dir);

} // namespace bench
