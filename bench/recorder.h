// SPDX-License-Identifier: GPL-3.0-or-later
// Records the PulseAudio null sink's monitor and knows when each recorded sample
// reached the harness; finds sounds and tones in the recording.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

struct pa_context;
struct pa_stream;
struct pa_threaded_mainloop;

namespace bench {

// A sample is stamped with the clock when the read callback that brought it runs: it
// cannot have left the mixer later than that, and the monitor delivers each mixed block
// as soon as it is mixed. Finer guesses did not hold: stepping back by the audio that
// follows a sample in the block assumes it was mixed in real time, while the sink mixes a
// whole block ahead at once; and counting samples from a stamp drifted ahead of the clock
// with every rewind (a program that flushes its stream makes the sink mix again what it
// had mixed ahead), which put sounds before the key that caused them.
class Recorder
{
public:
    Recorder() = default;
    ~Recorder();
    Recorder(const Recorder &) = delete;
    Recorder &operator=(const Recorder &) = delete;

    // Starts recording source, asking the sink to mix at most latencyMs ahead.
    bool start(const std::string &source, int latencyMs);

    // Index one past the newest sample.
    int64_t end() const;
    double timeOf(int64_t n) const;
    double coveredUntil() const { return timeOf(end() - 1); }
    // The first sample that reached us at or after t.
    int64_t indexAt(double t) const;
    float at(int64_t n) const;
    std::vector<float> range(int64_t from, int64_t to) const;
    // Waits until the recording reaches time t (or gives up after a second more).
    void waitFor(double t) const;
    // Drops what is no longer needed, so hours of recording do not pile up.
    void forget();

private:
    struct Mark {
        int64_t end; // index one past the newest sample a read callback received
        double time; // when that callback ran
    };

    void onRead(pa_stream *stream);
    double timeOfLocked(int64_t n) const;

    pa_threaded_mainloop *m_loop = nullptr;
    pa_context *m_context = nullptr;
    pa_stream *m_stream = nullptr;
    mutable std::mutex m_mutex;
    std::vector<float> m_samples;
    int64_t m_base = 0;
    std::vector<Mark> m_marks;
};

// Time of the first audible sample recorded in [from, until), or NaN.
double firstAudible(const Recorder &rec, double from, double until);

// Waits until the monitor has been quiet for 100 ms (at most `limit` ms).
void waitQuiet(const Recorder &rec, double limit = 5000);

// Amplitude of frequency f in a Blackman-windowed stretch: its sidelobes are low enough
// that a tone 1800 Hz away does not read as the one being measured.
double toneAmplitude(const std::vector<float> &x, size_t from, size_t length, double f);

} // namespace bench
