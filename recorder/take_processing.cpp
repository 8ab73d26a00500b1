// SPDX-License-Identifier: GPL-3.0-or-later
#include "take_processing.h"

#include <algorithm>
#include <cmath>

namespace Take {

namespace {

constexpr double FrameSeconds = 0.020;
constexpr double VoicedRangeDb = 30.0;
constexpr double VoiceUnderPeakDb = 30.0;
// A voice threshold over the noise never rises above this under the peak,
// so a take that is all voice (no quiet tenth) is not cut into.
constexpr double MaxThresholdUnderPeakDb = 15.0;
constexpr double NoiseFactor = 4.0;

std::size_t samplesIn(double seconds, int rate)
{
    return std::size_t(std::lround(seconds * rate));
}

// The RMS of each whole frame of the given length.
std::vector<double> frameRms(const std::vector<float> &samples, std::size_t frame)
{
    std::vector<double> levels;
    if (frame == 0)
        return levels;
    for (std::size_t start = 0; start + frame <= samples.size(); start += frame) {
        double sum = 0;
        for (std::size_t i = start; i < start + frame; ++i)
            sum += double(samples[i]) * samples[i];
        levels.push_back(std::sqrt(sum / double(frame)));
    }
    return levels;
}

} // namespace

double decibels(double amplitude)
{
    return amplitude > 0 ? 20.0 * std::log10(amplitude) : -HUGE_VAL;
}

double amplitude(double decibels)
{
    return std::pow(10.0, decibels / 20.0);
}

double peakOf(const std::vector<float> &samples)
{
    float peak = 0;
    for (float sample : samples)
        peak = std::max(peak, std::abs(sample));
    return peak;
}

double voicedRms(const std::vector<float> &samples, int rate)
{
    const std::size_t frame = std::max<std::size_t>(1, samplesIn(FrameSeconds, rate));
    const std::vector<double> levels = frameRms(samples, frame);
    if (levels.empty())
        return 0;
    const double loudest = *std::max_element(levels.begin(), levels.end());
    if (loudest <= 0)
        return 0;
    const double floor = loudest * amplitude(-VoicedRangeDb);
    double sum = 0;
    std::size_t count = 0;
    for (double level : levels) {
        if (level >= floor) {
            sum += level * level;
            ++count;
        }
    }
    return std::sqrt(sum / double(count));
}

std::optional<Span> voiceSpan(const std::vector<float> &samples, int rate)
{
    // Judged on 5 ms frames, not single samples: a click or a peak of the
    // room's noise is not the voice starting.
    const std::size_t frame = std::max<std::size_t>(1, samplesIn(0.005, rate));
    const std::vector<double> levels = frameRms(samples, frame);
    if (levels.empty())
        return std::nullopt;
    const double loudest = *std::max_element(levels.begin(), levels.end());
    if (loudest <= 0)
        return std::nullopt;
    std::vector<double> sorted = levels;
    const auto tenth = sorted.begin() + std::ptrdiff_t(sorted.size() / 10);
    std::nth_element(sorted.begin(), tenth, sorted.end());
    const double threshold = std::clamp(NoiseFactor * *tenth, loudest * amplitude(-VoiceUnderPeakDb),
                                        loudest * amplitude(-MaxThresholdUnderPeakDb));
    const auto voiced = [threshold](double level) { return level >= threshold; };
    const auto first = std::size_t(std::find_if(levels.begin(), levels.end(), voiced) - levels.begin());
    const auto last = std::size_t(levels.rend() - std::find_if(levels.rbegin(), levels.rend(), voiced));
    // Within its first frame, the voice starts at the first sample as loud as that frame.
    std::size_t begin = first * frame;
    while (begin < (first + 1) * frame && std::abs(samples[begin]) < threshold)
        ++begin;
    if (begin == (first + 1) * frame)
        begin = first * frame;
    return Span{begin, std::min(samples.size(), last * frame)};
}

std::vector<float> trimmed(const std::vector<float> &samples, int rate)
{
    const std::optional<Span> voice = voiceSpan(samples, rate);
    if (!voice)
        return {};
    const std::size_t lead = samplesIn(LeadSeconds, rate);
    const std::size_t begin = voice->begin > lead ? voice->begin - lead : 0;
    const std::size_t end = std::min(samples.size(), voice->end + samplesIn(TailSeconds, rate));
    return {samples.begin() + std::ptrdiff_t(begin), samples.begin() + std::ptrdiff_t(end)};
}

void applyFades(std::vector<float> &samples, int rate)
{
    const std::size_t length = std::min(samplesIn(FadeSeconds, rate), samples.size() / 2);
    for (std::size_t i = 0; i < length; ++i) {
        const float gain = float(i) / float(length);
        samples[i] *= gain;
        samples[samples.size() - 1 - i] *= gain;
    }
}

void matchLoudness(std::vector<float> &samples, int rate, double targetRms)
{
    const double rms = voicedRms(samples, rate);
    const double peak = peakOf(samples);
    if (rms <= 0 || peak <= 0)
        return;
    const double gain = std::min(targetRms / rms, amplitude(MaxPeakDb) / peak);
    for (float &sample : samples)
        sample = float(sample * gain);
}

std::vector<float> toFloat(const std::vector<std::int16_t> &samples)
{
    std::vector<float> out(samples.size());
    std::transform(samples.begin(), samples.end(), out.begin(), [](std::int16_t s) { return float(s) / 32768.0f; });
    return out;
}

std::vector<std::int16_t> toInt16(const std::vector<float> &samples)
{
    std::vector<std::int16_t> out(samples.size());
    std::transform(samples.begin(), samples.end(), out.begin(),
                   [](float s) { return std::int16_t(std::clamp(std::lround(double(s) * 32768.0), -32768L, 32767L)); });
    return out;
}

Processed process(const std::vector<std::int16_t> &take, int rate, double targetRmsDb)
{
    if (double(take.size()) < MinSeconds * rate)
        return {Outcome::TooShort, {}};
    std::vector<float> samples = toFloat(take);
    if (decibels(peakOf(samples)) < NoVoicePeakDb)
        return {};
    samples = trimmed(samples, rate);
    applyFades(samples, rate);
    matchLoudness(samples, rate, amplitude(targetRmsDb));
    return {Outcome::Ready, toInt16(samples)};
}

} // namespace Take
