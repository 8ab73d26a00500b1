// SPDX-License-Identifier: GPL-3.0-or-later
// What every part of the latency harness shares: the keys it presses, the rate it
// records at, the level it counts as heard, and its clock.
#pragma once

#include <chrono>
#include <ctime>
#include <string_view>
#include <thread>

namespace bench {

inline constexpr std::string_view keys = "0123456789abcdefghijklmnopqrstuvwxyz";
inline constexpr int sampleRate = 48000;
// -40 dBFS: well under any recording's speech, well over the null sink's digital silence.
inline constexpr float audibleLevel = 0.01f;

inline double nowMs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

inline void sleepMs(double ms)
{
    std::this_thread::sleep_for(std::chrono::microseconds(static_cast<long>(ms * 1000)));
}

} // namespace bench
