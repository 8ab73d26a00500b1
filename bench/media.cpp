// SPDX-License-Identifier: GPL-3.0-or-later
#include "media.h"

#include "harness.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

namespace bench {

double toneFrequency(char key)
{
    return 400.0 + 100.0 * static_cast<double>(keys.find(key));
}

std::vector<float> readMono(const std::string &path, int *rate)
{
    SF_INFO info{};
    SNDFILE *file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file)
        return {};
    std::vector<float> frames(static_cast<size_t>(info.frames * info.channels));
    sf_readf_float(file, frames.data(), info.frames);
    sf_close(file);
    std::vector<float> mono(static_cast<size_t>(info.frames));
    for (size_t i = 0; i < mono.size(); ++i)
        mono[i] = frames[i * info.channels];
    if (rate)
        *rate = info.samplerate;
    return mono;
}

double leadInMs(const std::string &path)
{
    int rate = 0;
    const std::vector<float> mono = readMono(path, &rate);
    const auto loud = std::find_if(mono.begin(), mono.end(), [](float s) { return std::fabs(s) > audibleLevel; });
    return loud == mono.end() || rate == 0 ? 0.0 : 1e3 * static_cast<double>(loud - mono.begin()) / rate;
}

int makeTones(const std::string &dir)
{
    for (char key : keys) {
        // 0.8 s at half scale with 5 ms ramps: long enough to be cut, no clicks.
        std::vector<short> samples(static_cast<size_t>(sampleRate * 0.8));
        const size_t ramp = sampleRate / 200;
        for (size_t i = 0; i < samples.size(); ++i) {
            const double gain =
                std::min({1.0, static_cast<double>(i) / ramp, static_cast<double>(samples.size() - i) / ramp});
            samples[i] = static_cast<short>(
                16384 * gain
                * std::sin(2 * std::numbers::pi * toneFrequency(key) * static_cast<double>(i) / sampleRate));
        }
        SF_INFO info{};
        info.samplerate = sampleRate;
        info.channels = 1;
        info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
        const std::string path = dir + "/" + key + ".wav";
        SNDFILE *file = sf_open(path.c_str(), SFM_WRITE, &info);
        if (!file) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
        sf_write_short(file, samples.data(), static_cast<sf_count_t>(samples.size()));
        sf_close(file);
    }
    return 0;
}

} // namespace bench
