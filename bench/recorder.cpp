// SPDX-License-Identifier: GPL-3.0-or-later
#include "recorder.h"

#include "harness.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace bench {

bool Recorder::start(const std::string &source, int latencyMs)
{
    m_loop = pa_threaded_mainloop_new();
    m_context = pa_context_new(pa_threaded_mainloop_get_api(m_loop), "bench_latency");
    pa_context_set_state_callback(
        m_context,
        [](pa_context *, void *loop) { pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop *>(loop), 0); },
        m_loop);
    if (pa_context_connect(m_context, nullptr, PA_CONTEXT_NOFLAGS, nullptr) < 0)
        return false;
    pa_threaded_mainloop_lock(m_loop);
    pa_threaded_mainloop_start(m_loop);
    while (PA_CONTEXT_IS_GOOD(pa_context_get_state(m_context)) && pa_context_get_state(m_context) != PA_CONTEXT_READY)
        pa_threaded_mainloop_wait(m_loop);
    bool ok = pa_context_get_state(m_context) == PA_CONTEXT_READY;
    if (ok) {
        const pa_sample_spec sampleFormat{PA_SAMPLE_FLOAT32LE, sampleRate, 1};
        m_stream = pa_stream_new(m_context, "monitor", &sampleFormat, nullptr);
        pa_stream_set_read_callback(
            m_stream, [](pa_stream *s, size_t, void *self) { static_cast<Recorder *>(self)->onRead(s); }, this);
        // A new stream on a sound card is heard at once: the sink rewinds what it had
        // mixed ahead. The monitor cannot take back what it has already recorded, so on a
        // null sink mixing far ahead a new sound would come out a whole buffer late. Asking
        // for a short source latency keeps the null sink's mixing-ahead short, as a card's
        // rewind would.
        pa_buffer_attr attr{};
        attr.maxlength = static_cast<uint32_t>(-1);
        attr.fragsize = latencyMs * sampleRate / 1000 * sizeof(float);
        ok = pa_stream_connect_record(m_stream, source.c_str(), &attr, PA_STREAM_ADJUST_LATENCY) == 0;
    }
    pa_threaded_mainloop_unlock(m_loop);
    return ok;
}

Recorder::~Recorder()
{
    if (!m_loop)
        return;
    pa_threaded_mainloop_stop(m_loop);
    if (m_stream)
        pa_stream_unref(m_stream);
    pa_context_disconnect(m_context);
    pa_context_unref(m_context);
    pa_threaded_mainloop_free(m_loop);
}

int64_t Recorder::end() const
{
    std::lock_guard lock(m_mutex);
    return m_base + static_cast<int64_t>(m_samples.size());
}

double Recorder::timeOf(int64_t n) const
{
    std::lock_guard lock(m_mutex);
    return timeOfLocked(n);
}

int64_t Recorder::indexAt(double t) const
{
    std::lock_guard lock(m_mutex);
    const auto it =
        std::lower_bound(m_marks.begin(), m_marks.end(), t, [](const Mark &m, double v) { return m.time < v; });
    if (it == m_marks.begin())
        return m_base;
    return std::prev(it)->end;
}

float Recorder::at(int64_t n) const
{
    std::lock_guard lock(m_mutex);
    return n >= m_base && n < m_base + static_cast<int64_t>(m_samples.size()) ? m_samples[n - m_base] : 0.0f;
}

std::vector<float> Recorder::range(int64_t from, int64_t to) const
{
    std::lock_guard lock(m_mutex);
    std::vector<float> out;
    for (int64_t n = std::max(from, m_base); n < std::min<int64_t>(to, m_base + m_samples.size()); ++n)
        out.push_back(m_samples[n - m_base]);
    return out;
}

void Recorder::waitFor(double t) const
{
    const double giveUp = std::max(nowMs(), t) + 1000;
    while (coveredUntil() < t && nowMs() < giveUp)
        sleepMs(2);
}

void Recorder::forget()
{
    std::lock_guard lock(m_mutex);
    const size_t keep = std::min<size_t>(m_samples.size(), 2 * sampleRate);
    m_base += static_cast<int64_t>(m_samples.size() - keep);
    m_samples.erase(m_samples.begin(), m_samples.end() - static_cast<long>(keep));
    std::erase_if(m_marks, [this](const Mark &m) { return m.end <= m_base; });
}

void Recorder::onRead(pa_stream *stream)
{
    const double t = nowMs();
    std::lock_guard lock(m_mutex);
    const void *data = nullptr;
    size_t bytes = 0;
    while (pa_stream_readable_size(stream) > 0 && pa_stream_peek(stream, &data, &bytes) == 0 && bytes > 0) {
        const size_t count = bytes / sizeof(float);
        if (data) {
            const auto *samples = static_cast<const float *>(data);
            m_samples.insert(m_samples.end(), samples, samples + count);
        } else {
            m_samples.insert(m_samples.end(), count, 0.0f); // a hole: the source dropped data
        }
        pa_stream_drop(stream);
    }
    const int64_t end = m_base + static_cast<int64_t>(m_samples.size());
    m_marks.push_back({end, t});
}

double Recorder::timeOfLocked(int64_t n) const
{
    const auto it =
        std::upper_bound(m_marks.begin(), m_marks.end(), n, [](int64_t v, const Mark &m) { return v < m.end; });
    if (it != m_marks.end())
        return it->time;
    // Not recorded yet: it will come in real time after the newest one.
    return m_marks.empty() ? INFINITY : m_marks.back().time + (n - m_marks.back().end + 1) * 1e3 / sampleRate;
}

double firstAudible(const Recorder &rec, double from, double until)
{
    int64_t n = rec.indexAt(from);
    while (true) {
        const bool last = rec.coveredUntil() >= until || nowMs() > until + 1000;
        const int64_t end = std::min(rec.end(), rec.indexAt(until));
        for (; n < end; ++n)
            if (std::fabs(rec.at(n)) > audibleLevel)
                return rec.timeOf(n);
        if (last)
            return NAN;
        sleepMs(2);
    }
}

void waitQuiet(const Recorder &rec, double limit)
{
    const double giveUp = nowMs() + limit;
    while (nowMs() < giveUp) {
        const double t = nowMs();
        rec.waitFor(t);
        const std::vector<float> tail = rec.range(rec.indexAt(t - 100), rec.end());
        if (std::none_of(tail.begin(), tail.end(), [](float s) { return std::fabs(s) > audibleLevel; }))
            return;
        sleepMs(20);
    }
}

double toneAmplitude(const std::vector<float> &x, size_t from, size_t length, double f)
{
    const double w = 2 * std::numbers::pi * f / sampleRate;
    double re = 0, im = 0, gain = 0;
    for (size_t i = 0; i < length; ++i) {
        const double phase = 2 * std::numbers::pi * static_cast<double>(i) / static_cast<double>(length - 1);
        const double win = 0.42 - 0.5 * std::cos(phase) + 0.08 * std::cos(2 * phase);
        re += x[from + i] * win * std::cos(w * static_cast<double>(i));
        im -= x[from + i] * win * std::sin(w * static_cast<double>(i));
        gain += win;
    }
    return 2 * std::hypot(re, im) / gain;
}

} // namespace bench
