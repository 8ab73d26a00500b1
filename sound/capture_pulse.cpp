// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture.h"
#include "pulse_session.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <thread>

namespace {

// How often the level is reported while recording.
constexpr pa_usec_t FragmentUsec = 50 * 1000;
// The longest Stop waits for what the server still holds of the take.
constexpr auto DrainLimit = std::chrono::seconds(2);

// Records from the sound server's default source through libpulse, on a
// threaded main loop of its own that exists only during a take.
class PulseCapture : public Capture
{
    Q_OBJECT

public:
    PulseCapture(int sampleRate, int maxSeconds);
    ~PulseCapture() override;

    void start() override;
    std::vector<std::int16_t> stop() override;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace

struct PulseCapture::Private {
    PulseCapture *q = nullptr;
    int sampleRate = 0;
    std::size_t maxSamples = 0;
    // Everything below is touched on the libpulse thread with the loop's lock
    // held, or on the window's thread once that thread has stopped.
    pa_threaded_mainloop *loop = nullptr;
    pa_context *context = nullptr;
    pa_stream *stream = nullptr;
    bool streamReady = false;
    bool reported = false;
    bool timingKnown = false;
    std::vector<std::int16_t> samples;
    // Counts the takes: a report still queued when its take was stopped is
    // dropped, so it cannot reach the next take. Written on the window's
    // thread only while no libpulse thread runs.
    unsigned take = 0;

    // Calls report on the window's thread, unless the take is over by then.
    template<typename Report> void post(Report report);

    void report(Failure failure);
    void createStream();
    void teardown();
    void drain();
    // Whether the samples recorded before target's latency query are all read.
    bool drained(std::size_t &target);

    static void contextStateChanged(pa_context *context, void *self);
    static void streamStateChanged(pa_stream *stream, void *self);
    static void readable(pa_stream *stream, size_t bytes, void *self);
    static void moved(pa_stream *stream, void *self);
    static void timingUpdated(pa_stream *stream, int success, void *self);
};

template<typename Report> void PulseCapture::Private::post(Report report)
{
    QMetaObject::invokeMethod(
        q,
        [this, report, take = take] {
            if (take == this->take)
                report();
        },
        Qt::QueuedConnection);
}

void PulseCapture::Private::report(Failure failure)
{
    if (std::exchange(reported, true))
        return;
    // Queued: the window answers on its own thread, and may then stop us,
    // which must not happen from inside a libpulse callback.
    post([capture = q, failure] { emit capture->failed(failure); });
}

void PulseCapture::Private::createStream()
{
    const pa_sample_spec format{PA_SAMPLE_S16NE, uint32_t(sampleRate), 1};
    stream = pa_stream_new(context, "Quilloro: voci e figure", &format, nullptr);
    if (!stream) {
        report(Failure::NoMicrophone);
        return;
    }
    pa_stream_set_state_callback(stream, &Private::streamStateChanged, this);
    pa_stream_set_read_callback(stream, &Private::readable, this);
    pa_stream_set_moved_callback(stream, &Private::moved, this);
    pa_buffer_attr attributes{};
    attributes.maxlength = uint32_t(-1);
    attributes.fragsize = uint32_t(pa_usec_to_bytes(FragmentUsec, &format));
    // No device named: the default source, the one the desktop's sound settings choose.
    if (pa_stream_connect_record(stream, nullptr, &attributes, PA_STREAM_ADJUST_LATENCY) < 0)
        report(Failure::NoMicrophone);
}

void PulseCapture::Private::teardown()
{
    PulseSession::disconnect(stream);
    PulseSession::disconnect(context);
    streamReady = false;
}

void PulseCapture::Private::timingUpdated(pa_stream *stream, int, void *self)
{
    auto *d = static_cast<Private *>(self);
    if (stream == d->stream)
        d->timingKnown = true;
}

bool PulseCapture::Private::drained(std::size_t &target)
{
    if (!stream || !streamReady || reported)
        return true;
    if (target == 0 && timingKnown) {
        // For a recording stream the latency is how long a sample takes from
        // the microphone to being read here: what the server still holds.
        pa_usec_t latency = 0;
        int negative = 0;
        if (pa_stream_get_latency(stream, &latency, &negative) < 0 || negative)
            latency = 0;
        target = samples.size() + std::size_t(pa_usec_to_bytes(latency, pa_stream_get_sample_spec(stream)) / 2) + 1;
    }
    return target != 0 && samples.size() >= target;
}

// Stop tears nothing down before everything recorded up to the click has
// been read: the end of the voice may still be in the server, all the more
// on a busy computer. Waits at most DrainLimit.
void PulseCapture::Private::drain()
{
    if (!loop)
        return;
    const auto deadline = std::chrono::steady_clock::now() + DrainLimit;
    std::size_t target = 0;
    pa_threaded_mainloop_lock(loop);
    timingKnown = false;
    // Before its first samples there is nothing of a voice to wait for (a
    // Stop at once, or a microphone that never delivered).
    pa_operation *update = stream && streamReady && !samples.empty()
        ? pa_stream_update_timing_info(stream, &Private::timingUpdated, this)
        : nullptr;
    if (update)
        pa_operation_unref(update);
    bool done = !update || drained(target);
    pa_threaded_mainloop_unlock(loop);
    while (!done && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        pa_threaded_mainloop_lock(loop);
        done = drained(target);
        pa_threaded_mainloop_unlock(loop);
    }
}

void PulseCapture::Private::contextStateChanged(pa_context *context, void *self)
{
    auto *d = static_cast<Private *>(self);
    if (context != d->context)
        return;
    switch (pa_context_get_state(context)) {
    case PA_CONTEXT_READY:
        if (!d->stream)
            d->createStream();
        break;
    case PA_CONTEXT_FAILED:
    case PA_CONTEXT_TERMINATED:
        d->report(d->streamReady ? Failure::Lost : Failure::NoServer);
        break;
    default:
        break;
    }
}

void PulseCapture::Private::streamStateChanged(pa_stream *stream, void *self)
{
    auto *d = static_cast<Private *>(self);
    if (stream != d->stream)
        return;
    switch (pa_stream_get_state(stream)) {
    case PA_STREAM_READY:
        d->streamReady = true;
        break;
    case PA_STREAM_FAILED:
    case PA_STREAM_TERMINATED:
        // Killed once recording: its source was removed (a microphone
        // unplugged with nothing to move to). Before: there is no source.
        d->report(d->streamReady ? Failure::Lost : Failure::NoMicrophone);
        break;
    default:
        break;
    }
}

void PulseCapture::Private::moved(pa_stream *stream, void *self)
{
    // The server moves a take to another source when its own goes away (a
    // microphone unplugged): the rest would come from elsewhere, perhaps
    // the speakers' monitor, so the take is as good as lost.
    auto *d = static_cast<Private *>(self);
    if (stream == d->stream)
        d->report(Failure::Lost);
}

void PulseCapture::Private::readable(pa_stream *stream, size_t, void *self)
{
    auto *d = static_cast<Private *>(self);
    if (stream != d->stream)
        return;
    const std::size_t before = d->samples.size();
    while (pa_stream_readable_size(stream) > 0) {
        const void *data = nullptr;
        size_t bytes = 0;
        if (pa_stream_peek(stream, &data, &bytes) < 0 || bytes == 0)
            break;
        const std::size_t count = std::min(bytes / sizeof(std::int16_t), d->maxSamples - d->samples.size());
        if (data) {
            const auto *first = static_cast<const std::int16_t *>(data);
            d->samples.insert(d->samples.end(), first, first + count);
        } else {
            d->samples.insert(d->samples.end(), count, 0); // a hole: the server lost some
        }
        pa_stream_drop(stream);
    }
    int peak = 0;
    for (std::size_t i = before; i < d->samples.size(); ++i)
        peak = std::max(peak, std::abs(int(d->samples[i])));
    // In dBFS: full scale is 0, silence minus infinity.
    const double peakDb = peak > 0 ? 20.0 * std::log10(peak / 32768.0) : -HUGE_VAL;
    const auto frames = qint64(d->samples.size());
    d->post([capture = d->q, peakDb, frames] { emit capture->progress(peakDb, frames); });
}

PulseCapture::PulseCapture(int sampleRate, int maxSeconds)
    : d(std::make_unique<Private>())
{
    d->q = this;
    d->sampleRate = sampleRate;
    d->maxSamples = std::size_t(sampleRate) * std::size_t(maxSeconds + 1);
}

PulseCapture::~PulseCapture()
{
    stop();
}

void PulseCapture::start()
{
    stop();
    d->reported = false;
    d->samples.clear();
    d->samples.reserve(d->maxSamples);
    d->loop = PulseSession::startLoop("quilloro-capture");
    if (!d->loop) {
        d->report(Failure::NoServer);
        return;
    }
    pa_threaded_mainloop_lock(d->loop);
    // No sound server is ever started for us; without one there is nothing to record.
    if (!PulseSession::connect(d->context, d->loop, "Quilloro: voci e figure", &Private::contextStateChanged, d.get()))
        d->report(Failure::NoServer);
    pa_threaded_mainloop_unlock(d->loop);
}

std::vector<std::int16_t> PulseCapture::stop()
{
    d->drain();
    PulseSession::endLoop(d->loop, [this] { d->teardown(); });
    ++d->take;
    return std::exchange(d->samples, {});
}

std::unique_ptr<Capture> makeMicrophoneCapture(int sampleRate, int maxSeconds)
{
    return std::make_unique<PulseCapture>(sampleRate, maxSeconds);
}

#include "capture_pulse.moc"
