// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

// What is done to a grown-up's take before it is offered for keeping, so that
// a child hears it as well as the pack's recordings: the silence around the
// voice cut, short fades against clicks, the loudness brought to the pack's.
// Pure functions on samples scaled to -1..1.
namespace Take {

// The rate takes are recorded and saved at: the pack's.
inline constexpr int SampleRate = 22050;
// The longest take; recording stops by itself after it.
inline constexpr int MaxSeconds = 10;
// A take shorter than this, before trimming, was not spoken into (a double
// click on Record): it is refused as too short.
inline constexpr double MinSeconds = 0.5;
// A take whose loudest sample stays under this holds no voice.
inline constexpr double NoVoicePeakDb = -40.0;
// The loudest sample of a processed take stays at or under this.
inline constexpr double MaxPeakDb = -1.0;
inline constexpr double FadeSeconds = 0.010;
// Kept before the voice (the fade-in runs over it) and after it.
inline constexpr double LeadSeconds = 0.010;
inline constexpr double TailSeconds = 0.150;

// The median over the pack's 36 recordings of voicedRms(), in dBFS. Measured
// on media/IMG/*.wav with the function below (tst_take_processing checks it
// against the pack the build copies, so a new pack needs a new figure).
inline constexpr double PackVoicedRmsDb = -18.2;

double decibels(double amplitude);
double amplitude(double decibels);

double peakOf(const std::vector<float> &samples);

// The root mean square over the voiced part: the 20 ms frames whose own RMS
// is within 30 dB of the loudest frame's. Pauses and the silence around the
// voice do not lower it, so it says how loud the voice itself is. 0 for silence.
double voicedRms(const std::vector<float> &samples, int rate);

struct Span {
    std::size_t begin = 0; // the first sample of the voice
    std::size_t end = 0;   // one past its last
};

// Where the voice is: from the first to the last sample that stands out of
// the background (30 dB under the peak, or four times the quietest tenth's
// level in a noisy room, whichever is higher). Nothing for silence.
std::optional<Span> voiceSpan(const std::vector<float> &samples, int rate);

// The samples from LeadSeconds before the voice to TailSeconds after it.
std::vector<float> trimmed(const std::vector<float> &samples, int rate);

// Linear fades over FadeSeconds at both ends (over half each for a shorter take).
void applyFades(std::vector<float> &samples, int rate);

// Scales the samples so that their voicedRms() is targetRms, or less when
// that would take the peak over MaxPeakDb.
void matchLoudness(std::vector<float> &samples, int rate, double targetRms);

enum class Outcome {
    Ready,    // samples hold the processed take
    NoVoice,  // nothing but silence or hum: nothing to keep
    TooShort, // under MinSeconds: stopped as soon as started
};

struct Processed {
    Outcome outcome = Outcome::NoVoice;
    std::vector<std::int16_t> samples;
};

// The whole treatment of a recorded take: the length and voice checks, trimming, fades
// and loudness, back to 16-bit samples.
Processed process(const std::vector<std::int16_t> &take, int rate, double targetRmsDb = PackVoicedRmsDb);

std::vector<float> toFloat(const std::vector<std::int16_t> &samples);
std::vector<std::int16_t> toInt16(const std::vector<float> &samples);

} // namespace Take
