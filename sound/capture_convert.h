// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The sample layout a sound device records in: interleaved frames of
// `channels` samples each. Int24 is three bytes per sample, little-endian.
struct CaptureFormat {
    enum class Sample { Float32, Int16, Int24, Int32 };
    int rate = 0;
    int channels = 0;
    Sample sample = Sample::Float32;

    std::size_t bytesPerSample() const;
    std::size_t bytesPerFrame() const { return std::size_t(channels) * bytesPerSample(); }
};

// Turns a device's frames, in the pieces they arrive in, into mono 16-bit
// samples at another rate: the channels averaged, the rate changed by linear
// interpolation. When the rate is lowered, a low-pass filter goes first, so
// that what lies above half the new rate does not fold back into the take as
// a whistle. The pieces give the same samples as the whole would.
class CaptureConverter
{
public:
    CaptureConverter(const CaptureFormat &format, int rate);

    // Appends to `out` what `frames` frames at `data` give; null data is silence.
    void push(const void *data, std::size_t frames, std::vector<std::int16_t> &out);

private:
    float monoFrame(const unsigned char *frame) const;
    float filtered(float level);
    void resampled(float level, std::vector<std::int16_t> &out);

    CaptureFormat m_format;
    int m_rate;
    // The low-pass filter's taps and its last inputs (a ring); empty when
    // the rate is not lowered.
    std::vector<float> m_taps;
    std::vector<float> m_history;
    std::size_t m_newest = 0;
    // Input samples seen and output samples made, for the interpolation.
    std::int64_t m_inputs = 0;
    std::int64_t m_outputs = 0;
    float m_previous = 0;
};
