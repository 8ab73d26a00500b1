// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture_convert.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace {

// The low-pass filter: a Blackman-windowed sinc this long, cutting at this
// share of the new rate (a little under its half, as the filter needs room
// to fall). Plenty for a voice, cheap enough for any rate a device uses.
constexpr int FilterTaps = 63;
constexpr double CutoffShare = 0.45;

std::vector<float> lowPass(double cutoff)
{
    std::vector<float> taps(FilterTaps);
    const double middle = (FilterTaps - 1) / 2.0;
    double sum = 0;
    for (int k = 0; k < FilterTaps; ++k) {
        const double x = k - middle;
        const double sinc = x == 0 ? 2 * cutoff : std::sin(2 * std::numbers::pi * cutoff * x) / (std::numbers::pi * x);
        const double phase = 2 * std::numbers::pi * k / (FilterTaps - 1);
        const double window = 0.42 - 0.5 * std::cos(phase) + 0.08 * std::cos(2 * phase);
        taps[std::size_t(k)] = float(sinc * window);
        sum += sinc * window;
    }
    // Unity gain for a steady level.
    for (float &tap : taps)
        tap = float(tap / sum);
    return taps;
}

} // namespace

std::size_t CaptureFormat::bytesPerSample() const
{
    switch (sample) {
    case Sample::Int16:
        return 2;
    case Sample::Int24:
        return 3;
    case Sample::Float32:
    case Sample::Int32:
        break;
    }
    return 4;
}

CaptureConverter::CaptureConverter(const CaptureFormat &format, int rate)
    : m_format(format)
    , m_rate(rate)
{
    if (format.rate > rate) {
        m_taps = lowPass(CutoffShare * rate / format.rate);
        m_history.assign(m_taps.size(), 0.0f);
    }
}

float CaptureConverter::monoFrame(const unsigned char *frame) const
{
    float sum = 0;
    for (int channel = 0; channel < m_format.channels; ++channel) {
        switch (m_format.sample) {
        case CaptureFormat::Sample::Float32: {
            float value;
            std::memcpy(&value, frame, 4);
            sum += value;
            break;
        }
        case CaptureFormat::Sample::Int16: {
            std::int16_t value;
            std::memcpy(&value, frame, 2);
            sum += value / 32768.0f;
            break;
        }
        case CaptureFormat::Sample::Int24: {
            // Into the top of a 32-bit word, so that its sign is the word's.
            const auto value = std::int32_t(std::uint32_t(frame[0]) << 8 | std::uint32_t(frame[1]) << 16
                                            | std::uint32_t(frame[2]) << 24);
            sum += float(value / 2147483648.0);
            break;
        }
        case CaptureFormat::Sample::Int32: {
            std::int32_t value;
            std::memcpy(&value, frame, 4);
            sum += float(value / 2147483648.0);
            break;
        }
        }
        frame += m_format.bytesPerSample();
    }
    return sum / float(m_format.channels);
}

float CaptureConverter::filtered(float level)
{
    if (m_taps.empty())
        return level;
    m_newest = (m_newest + 1) % m_history.size();
    m_history[m_newest] = level;
    // The filter is symmetric, so the order its taps meet the ring in does not matter.
    float sum = 0;
    std::size_t at = m_newest;
    for (const float tap : m_taps) {
        sum += tap * m_history[at];
        at = at == 0 ? m_history.size() - 1 : at - 1;
    }
    return sum;
}

void CaptureConverter::resampled(float level, std::vector<std::int16_t> &out)
{
    // Output sample n lies at n * inRate / outRate input samples; those
    // between the previous input sample and this one are made now.
    const std::int64_t index = m_inputs++;
    if (index > 0) {
        const std::int64_t from = (index - 1) * m_rate;
        const std::int64_t to = index * m_rate;
        for (std::int64_t at = m_outputs * m_format.rate; at < to; at = ++m_outputs * m_format.rate) {
            const float weight = float(at - from) / float(m_rate);
            const float value = m_previous + (level - m_previous) * weight;
            out.push_back(std::int16_t(std::lrint(std::clamp(value * 32768.0f, -32768.0f, 32767.0f))));
        }
    }
    m_previous = level;
}

void CaptureConverter::push(const void *data, std::size_t frames, std::vector<std::int16_t> &out)
{
    if (m_format.rate <= 0 || m_format.channels <= 0 || m_rate <= 0)
        return;
    const auto *bytes = static_cast<const unsigned char *>(data);
    for (std::size_t frame = 0; frame < frames; ++frame) {
        const float level = bytes ? monoFrame(bytes + frame * m_format.bytesPerFrame()) : 0.0f;
        resampled(filtered(level), out);
    }
}
