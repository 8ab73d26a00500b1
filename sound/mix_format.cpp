// SPDX-License-Identifier: GPL-3.0-or-later
#include "mix_format.h"

#include <algorithm>
#include <cmath>
#include <cstring>

std::int64_t convertedLength(const Clip &clip, int rate)
{
    if (clip.sampleRate <= 0 || rate <= 0)
        return 0;
    const auto source = std::int64_t(clip.samples.size());
    return (source * rate + clip.sampleRate - 1) / clip.sampleRate;
}

void convertFrames(const Clip &clip, const MixFormat &format, std::int64_t position, int frames, void *out)
{
    const std::int64_t length = convertedLength(clip, format.rate);
    const std::int64_t last = std::int64_t(clip.samples.size()) - 1;
    auto *bytes = static_cast<unsigned char *>(out);
    for (int frame = 0; frame < frames; ++frame) {
        const std::int64_t index = position + frame;
        float level = 0;
        if (index >= 0 && index < length) {
            // Where this frame falls in the clip, in the clip's own samples.
            const std::int64_t scaled = index * clip.sampleRate;
            const std::int64_t before = std::min(scaled / format.rate, last);
            const std::int64_t after = std::min(before + 1, last);
            const float weight = float(scaled % format.rate) / float(format.rate);
            level = (clip.samples[std::size_t(before)] * (1 - weight) + clip.samples[std::size_t(after)] * weight)
                / 32768.0f;
        }
        for (int channel = 0; channel < format.channels; ++channel) {
            switch (format.sample) {
            case MixFormat::Sample::Float32:
                std::memcpy(bytes, &level, 4);
                bytes += 4;
                break;
            case MixFormat::Sample::Int16: {
                const auto value = std::int16_t(std::lrint(std::clamp(level * 32768.0f, -32768.0f, 32767.0f)));
                std::memcpy(bytes, &value, 2);
                bytes += 2;
                break;
            }
            case MixFormat::Sample::Int32: {
                const auto value =
                    std::int32_t(std::clamp(std::llrint(double(level) * 2147483648.0), -2147483648LL, 2147483647LL));
                std::memcpy(bytes, &value, 4);
                bytes += 4;
                break;
            }
            }
        }
    }
}
