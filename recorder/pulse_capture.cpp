// SPDX-License-Identifier: GPL-3.0-or-later
#include "pulse_capture.h"
#include "take_processing.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

// How often the level is reported while recording.
constexpr pa_usec_t FragmentUsec = 50 * 1000;
// Kept at most, a second beyond the longest take: a take that is never
// stopped cannot take the memory with it.
constexpr std::size_t MaxSamples = std::size_t(Take::SampleRate) * (Take::MaxSeconds + 1);

} // namespace

struct PulseCapture::Private {
    PulseCapture *q = nullptr;
    // Everything below is touched on the libpulse thread with the loop's lock
    // held, or on the window's thread once that thread has stopped.
    pa_threaded_mainloop *loop = nullptr;
    pa_context *context = nullptr;
    pa_stream *stream = nullptr;
    bool streamReady = false;
    bool reported = false;
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

    static void contextStateChanged(pa_context *context, void *self);
    static void streamStateChanged(pa_stream *stream, void *self);
    static void readable(pa_stream *stream, size_t bytes, void *self);
    static void moved(pa_stream *stream, void *self);
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
    const pa_sample_spec format{PA_SAMPLE_S16NE, uint32_t(Take::SampleRate), 1};
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
    if (pa_stream *old = std::exchange(stream, nullptr)) {
        pa_stream_set_state_callback(old, nullptr, nullptr);
        pa_stream_set_read_callback(old, nullptr, nullptr);
        pa_stream_set_moved_callback(old, nullptr, nullptr);
        if (PA_STREAM_IS_GOOD(pa_stream_get_state(old)))
            pa_stream_disconnect(old);
        pa_stream_unref(old);
    }
    if (pa_context *old = std::exchange(context, nullptr)) {
        pa_context_set_state_callback(old, nullptr, nullptr);
        pa_context_disconnect(old);
        pa_context_unref(old);
    }
    streamReady = false;
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
        const std::size_t count = std::min(bytes / sizeof(std::int16_t), MaxSamples - d->samples.size());
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
    const double peakDb = Take::decibels(peak / 32768.0);
    const auto frames = qint64(d->samples.size());
    d->post([capture = d->q, peakDb, frames] { emit capture->progress(peakDb, frames); });
}

PulseCapture::PulseCapture(QObject *parent)
    : Capture(parent)
    , d(std::make_unique<Private>())
{
    d->q = this;
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
    d->samples.reserve(MaxSamples);
    d->loop = pa_threaded_mainloop_new();
    if (d->loop)
        pa_threaded_mainloop_set_name(d->loop, "quilloro-capture");
    if (!d->loop || pa_threaded_mainloop_start(d->loop) < 0) {
        if (d->loop)
            pa_threaded_mainloop_free(std::exchange(d->loop, nullptr));
        d->report(Failure::NoServer);
        return;
    }
    pa_threaded_mainloop_lock(d->loop);
    pa_proplist *properties = pa_proplist_new();
    pa_proplist_sets(properties, PA_PROP_APPLICATION_NAME, "Quilloro: voci e figure");
    pa_proplist_sets(properties, PA_PROP_APPLICATION_ICON_NAME, "io.github.quilloro.Quilloro");
    d->context = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(d->loop), "Quilloro", properties);
    pa_proplist_free(properties);
    if (d->context) {
        pa_context_set_state_callback(d->context, &Private::contextStateChanged, d.get());
        // A sound server is never started by us; without one there is nothing to record.
        if (pa_context_connect(d->context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
            d->report(Failure::NoServer);
    } else {
        d->report(Failure::NoServer);
    }
    pa_threaded_mainloop_unlock(d->loop);
}

std::vector<std::int16_t> PulseCapture::stop()
{
    if (d->loop) {
        // The thread first: afterwards no callback runs while we tear down.
        pa_threaded_mainloop_stop(d->loop);
        d->teardown();
        pa_threaded_mainloop_free(std::exchange(d->loop, nullptr));
    }
    ++d->take;
    return std::exchange(d->samples, {});
}
