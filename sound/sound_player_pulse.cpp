// SPDX-License-Identifier: GPL-3.0-or-later
#include "clip_cache.h"
#include "pulse_session.h"
#include "sound_player.h"

#include <algorithm>
#include <chrono>

namespace {

constexpr int DefaultStreamRate = 22050;
// How far ahead the server may render our sound. It bounds how long a new
// recording waits behind the one it replaces on sinks that cannot rewind.
constexpr pa_usec_t TargetLatencyUsec = 20 * 1000;
// A request made while the connection or the stream is being set up is
// played when it is ready; a setup that takes longer than this (a server
// that is stuck) would only play it when the child has long moved on.
constexpr auto PendingLifetime = std::chrono::seconds(5);

} // namespace

struct SoundPlayer::Private {
    // Decoded recordings, only touched by the caller's thread.
    ClipCache cache;

    // Everything below belongs to the PulseAudio thread and is only touched
    // with the main loop's lock held, or after the thread has stopped.
    pa_threaded_mainloop *loop = nullptr;
    pa_context *context = nullptr;
    pa_stream *stream = nullptr;
    bool streamReady = false;
    bool corked = true;
    int streamRate = DefaultStreamRate;
    std::shared_ptr<const Clip> current;
    size_t writtenBytes = 0;
    pa_operation *drain = nullptr;
    std::shared_ptr<const Clip> pending;
    std::chrono::steady_clock::time_point pendingSince;

    void connect();
    void dropContext();
    void createStream();
    void dropStream();
    void start(std::shared_ptr<const Clip> clip);
    void feed(size_t wanted);
    void forgetDrain();

    // libpulse calls these on its thread. Each first checks that the object
    // calling is still the one in use: tearing one down makes libpulse call
    // back for it, sometimes from inside the very call that tears it down.
    static void contextStateChanged(pa_context *context, void *self);
    static void streamStateChanged(pa_stream *stream, void *self);
    static void streamWantsData(pa_stream *stream, size_t bytes, void *self);
    static void drained(pa_stream *stream, int success, void *self);
};

void SoundPlayer::Private::connect()
{
    // No sound server is ever started for us: without one, the lesson is silent.
    if (!PulseSession::connect(context, loop, "Quilloro", &Private::contextStateChanged, this))
        dropContext();
}

void SoundPlayer::Private::dropContext()
{
    dropStream();
    pending.reset();
    PulseSession::disconnect(context);
}

void SoundPlayer::Private::createStream()
{
    if (pending)
        streamRate = pending->sampleRate;
    const pa_sample_spec sampleFormat{PA_SAMPLE_S16NE, uint32_t(streamRate), 1};
    stream = pa_stream_new(context, "Quilloro", &sampleFormat, nullptr);
    if (!stream)
        return;
    pa_stream_set_state_callback(stream, &Private::streamStateChanged, this);
    pa_stream_set_write_callback(stream, &Private::streamWantsData, this);

    pa_buffer_attr attributes{};
    attributes.maxlength = uint32_t(-1);
    attributes.tlength = uint32_t(pa_usec_to_bytes(TargetLatencyUsec, &sampleFormat));
    // The server's default prebuffer: start() always writes more than that at
    // once, so playback starts at once, and a drain is still reported. (With
    // no prebuffer the server never reports the stream drained, and it would
    // stay uncorked, waking the sound server for ever.)
    attributes.prebuf = uint32_t(-1);
    attributes.minreq = uint32_t(-1);
    attributes.fragsize = uint32_t(-1);
    // Corked from the start and whenever quiet: a corked stream costs the
    // server and this process nothing while the child is not pressing keys.
    // No device is named, so the stream follows the default output.
    const auto flags = pa_stream_flags_t(PA_STREAM_START_CORKED | PA_STREAM_ADJUST_LATENCY | PA_STREAM_VARIABLE_RATE);
    corked = true;
    if (pa_stream_connect_playback(stream, nullptr, &attributes, flags, nullptr, nullptr) < 0)
        dropStream();
}

void SoundPlayer::Private::dropStream()
{
    forgetDrain();
    current.reset();
    writtenBytes = 0;
    streamReady = false;
    corked = true;
    PulseSession::disconnect(stream);
}

void SoundPlayer::Private::start(std::shared_ptr<const Clip> clip)
{
    forgetDrain();
    if (clip->sampleRate != streamRate) {
        streamRate = clip->sampleRate;
        if (pa_operation *op = pa_stream_update_sample_rate(stream, uint32_t(streamRate), nullptr, nullptr))
            pa_operation_unref(op);
    }
    // Throw away what is still queued of the previous recording, so the new
    // one is heard at once instead of after it.
    if (pa_operation *op = pa_stream_flush(stream, nullptr, nullptr))
        pa_operation_unref(op);
    current = std::move(clip);
    writtenBytes = 0;
    size_t writable = pa_stream_writable_size(stream);
    if (writable == size_t(-1))
        writable = 0;
    feed(std::max(writable, pa_usec_to_bytes(4 * TargetLatencyUsec, pa_stream_get_sample_spec(stream))));
    if (corked) {
        if (pa_operation *op = pa_stream_cork(stream, 0, nullptr, nullptr))
            pa_operation_unref(op);
        corked = false;
    }
}

void SoundPlayer::Private::feed(size_t wanted)
{
    if (!current || !streamReady)
        return;
    const size_t total = current->samples.size() * sizeof(std::int16_t);
    const size_t bytes = std::min(wanted, total - writtenBytes);
    if (bytes > 0) {
        const auto *data = reinterpret_cast<const char *>(current->samples.data()) + writtenBytes;
        if (pa_stream_write(stream, data, bytes, nullptr, 0, PA_SEEK_RELATIVE) < 0)
            return;
        writtenBytes += bytes;
    }
    if (writtenBytes == total && !drain) {
        // Everything is handed over: cork the stream once the server has played it.
        drain = pa_stream_drain(stream, &Private::drained, this);
    }
}

void SoundPlayer::Private::forgetDrain()
{
    if (pa_operation *old = std::exchange(drain, nullptr)) {
        pa_operation_cancel(old);
        pa_operation_unref(old);
    }
}

void SoundPlayer::Private::contextStateChanged(pa_context *context, void *self)
{
    auto *d = static_cast<Private *>(self);
    if (context != d->context)
        return;
    switch (pa_context_get_state(context)) {
    case PA_CONTEXT_READY:
        // The stream is made at once, so the first key is not kept waiting for it.
        if (!d->stream)
            d->createStream();
        break;
    case PA_CONTEXT_FAILED:
    case PA_CONTEXT_TERMINATED:
        // The server is gone (or was never there); the next play() tries again.
        d->dropContext();
        break;
    default:
        break;
    }
}

void SoundPlayer::Private::streamStateChanged(pa_stream *stream, void *self)
{
    auto *d = static_cast<Private *>(self);
    if (stream != d->stream)
        return;
    switch (pa_stream_get_state(stream)) {
    case PA_STREAM_READY:
        d->streamReady = true;
        d->streamRate = int(pa_stream_get_sample_spec(stream)->rate);
        if (auto clip = std::exchange(d->pending, nullptr);
            clip && std::chrono::steady_clock::now() - d->pendingSince < PendingLifetime)
            d->start(std::move(clip));
        break;
    case PA_STREAM_FAILED:
    case PA_STREAM_TERMINATED:
        // Only the stream is lost (no output device, its device removed, or
        // killed from a volume mixer); the connection stays, and the next
        // play() makes a new stream. A lost connection is the context's.
        d->pending.reset();
        d->dropStream();
        break;
    default:
        break;
    }
}

void SoundPlayer::Private::streamWantsData(pa_stream *stream, size_t bytes, void *self)
{
    auto *d = static_cast<Private *>(self);
    if (stream == d->stream)
        d->feed(bytes);
}

void SoundPlayer::Private::drained(pa_stream *stream, int, void *self)
{
    auto *d = static_cast<Private *>(self);
    if (stream != d->stream || !d->drain)
        return;
    pa_operation_unref(std::exchange(d->drain, nullptr));
    d->current.reset();
    if (pa_operation *op = pa_stream_cork(stream, 1, nullptr, nullptr))
        pa_operation_unref(op);
    d->corked = true;
}

SoundPlayer::SoundPlayer()
    : d(std::make_unique<Private>())
{
    // Connecting happens on the PulseAudio thread, so neither a slow nor an
    // absent sound server holds up the window.
    d->loop = PulseSession::startLoop("quilloro-sound");
    if (!d->loop)
        return;
    pa_threaded_mainloop_lock(d->loop);
    d->connect();
    pa_threaded_mainloop_unlock(d->loop);
}

SoundPlayer::~SoundPlayer()
{
    PulseSession::endLoop(d->loop, [this] { d->dropContext(); });
}

void SoundPlayer::prepare(const QString &path)
{
    d->cache.clipFor(path);
}

void SoundPlayer::play(const QString &path)
{
    if (!d->loop)
        return;
    auto clip = d->cache.clipFor(path);
    if (!clip)
        return;

    pa_threaded_mainloop_lock(d->loop);
    if (d->streamReady) {
        d->start(std::move(clip));
    } else {
        // Not connected yet, no stream yet, or the server or the output went
        // away: keep the newest request and play it once the stream is ready.
        d->pending = std::move(clip);
        d->pendingSince = std::chrono::steady_clock::now();
        if (!d->context)
            d->connect();
        else if (!d->stream && pa_context_get_state(d->context) == PA_CONTEXT_READY)
            d->createStream();
    }
    pa_threaded_mainloop_unlock(d->loop);
}
