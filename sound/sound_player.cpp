// SPDX-License-Identifier: GPL-3.0-or-later
#include "sound_player.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <pulse/pulseaudio.h>
#include <sndfile.h>

#include <algorithm>
#include <fcntl.h>
#include <chrono>

std::shared_ptr<const Clip> decodeClip(const QString &path)
{
    // Opened here and handed over as a descriptor: libsndfile keeps file
    // names in a fixed-size buffer and fails on a long program folder.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    SF_INFO info{};
    // On failure too, libsndfile has closed the descriptor it was given.
    SNDFILE *file = sf_open_fd(fd, SFM_READ, &info, SF_TRUE);
    if (!file)
        return nullptr;

    auto clip = std::make_shared<Clip>();
    const bool sane = info.channels > 0 && info.channels <= 64 && info.samplerate >= 1000
        && info.samplerate <= 384000;
    if (sane) {
        clip->sampleRate = info.samplerate;
        const sf_count_t maxFrames = sf_count_t(info.samplerate) * MaxClipSeconds;
        // Trust the header's length only as an upper bound: a damaged file
        // may claim far more than it holds, so read in blocks until the data ends.
        clip->samples.reserve(size_t(std::clamp<sf_count_t>(info.frames, 0, maxFrames)));
        constexpr sf_count_t BlockFrames = 4096;
        std::vector<short> block(size_t(BlockFrames * info.channels));
        while (sf_count_t(clip->samples.size()) < maxFrames) {
            const sf_count_t wanted = std::min(BlockFrames, maxFrames - sf_count_t(clip->samples.size()));
            const sf_count_t got = sf_readf_short(file, block.data(), wanted);
            if (got <= 0)
                break;
            for (sf_count_t frame = 0; frame < got; ++frame) {
                int sum = 0;
                for (int channel = 0; channel < info.channels; ++channel)
                    sum += block[size_t(frame * info.channels + channel)];
                clip->samples.push_back(std::int16_t(sum / info.channels));
            }
        }
    }
    sf_close(file);

    if (clip->samples.empty())
        return nullptr;
    return clip;
}

namespace {

constexpr int DefaultStreamRate = 22050;
// How far ahead the server may render our sound. It bounds how long a new
// recording waits behind the one it replaces on sinks that cannot rewind.
constexpr pa_usec_t TargetLatencyUsec = 20 * 1000;
// A request made while the server connection is being set up is still played
// when it is ready, unless the child has long moved on.
constexpr auto PendingLifetime = std::chrono::milliseconds(1000);
// Recordings kept decoded; the lesson only ever asks for 36.
constexpr int MaxCachedClips = 64;

struct CacheEntry {
    qint64 size = -1;
    QDateTime modified;
    std::shared_ptr<const Clip> clip; // nullptr: the file cannot be played
};

} // namespace

struct SoundPlayer::Private {
    // Decoded recordings, only touched by the caller's thread.
    QHash<QString, CacheEntry> cache;

    // Everything below belongs to the PulseAudio thread and is only touched
    // with the main loop's lock held.
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

    std::shared_ptr<const Clip> clipFor(const QString &path);

    void connect();
    void disconnect();
    void createStream();
    void dropStream();
    void start(std::shared_ptr<const Clip> clip);
    void feed(size_t wanted);
    void forgetDrain();

    static void contextStateChanged(pa_context *context, void *self);
    static void streamStateChanged(pa_stream *stream, void *self);
    static void streamWantsData(pa_stream *stream, size_t bytes, void *self);
    static void drained(pa_stream *stream, int success, void *self);
};

std::shared_ptr<const Clip> SoundPlayer::Private::clipFor(const QString &path)
{
    // A recording replaced while the program runs is read again: the cache
    // entry is only good for the file's size and time it was read at.
    const QFileInfo fileInfo(path);
    const qint64 size = fileInfo.exists() ? fileInfo.size() : -1;
    const QDateTime modified = fileInfo.exists() ? fileInfo.lastModified() : QDateTime();
    auto it = cache.find(path);
    if (it != cache.end() && it->size == size && it->modified == modified)
        return it->clip;

    if (cache.size() >= MaxCachedClips)
        cache.clear();
    auto clip = size >= 0 ? decodeClip(path) : nullptr;
    cache.insert(path, CacheEntry{size, modified, clip});
    return clip;
}

void SoundPlayer::Private::connect()
{
    pa_proplist *properties = pa_proplist_new();
    pa_proplist_sets(properties, PA_PROP_APPLICATION_NAME, "Quilloro");
    pa_proplist_sets(properties, PA_PROP_APPLICATION_ICON_NAME, "io.github.quilloro.Quilloro");
    context = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(loop), "Quilloro", properties);
    pa_proplist_free(properties);
    if (!context)
        return;
    pa_context_set_state_callback(context, &Private::contextStateChanged, this);
    // Never start a sound server of our own: without one, the lesson is silent.
    if (pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
        disconnect();
}

void SoundPlayer::Private::disconnect()
{
    forgetDrain();
    current.reset();
    if (stream) {
        pa_stream_disconnect(stream);
        dropStream();
    }
    streamReady = false;
    if (context) {
        pa_context_set_state_callback(context, nullptr, nullptr);
        pa_context_disconnect(context);
        pa_context_unref(context);
        context = nullptr;
    }
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
    const auto flags = pa_stream_flags_t(PA_STREAM_START_CORKED | PA_STREAM_ADJUST_LATENCY
                                         | PA_STREAM_VARIABLE_RATE);
    corked = true;
    if (pa_stream_connect_playback(stream, nullptr, &attributes, flags, nullptr, nullptr) < 0)
        dropStream();
}

void SoundPlayer::Private::dropStream()
{
    pa_stream_set_state_callback(stream, nullptr, nullptr);
    pa_stream_set_write_callback(stream, nullptr, nullptr);
    pa_stream_unref(stream);
    stream = nullptr;
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
    feed(std::max<size_t>(pa_stream_writable_size(stream), pa_usec_to_bytes(4 * TargetLatencyUsec, pa_stream_get_sample_spec(stream))));
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
    if (drain) {
        pa_operation_cancel(drain);
        pa_operation_unref(drain);
        drain = nullptr;
    }
}

void SoundPlayer::Private::contextStateChanged(pa_context *context, void *self)
{
    auto *d = static_cast<Private *>(self);
    switch (pa_context_get_state(context)) {
    case PA_CONTEXT_READY:
        d->createStream();
        break;
    case PA_CONTEXT_FAILED:
    case PA_CONTEXT_TERMINATED:
        // The server is gone (or was never there); the next play() tries again.
        d->disconnect();
        break;
    default:
        break;
    }
}

void SoundPlayer::Private::streamStateChanged(pa_stream *stream, void *self)
{
    auto *d = static_cast<Private *>(self);
    switch (pa_stream_get_state(stream)) {
    case PA_STREAM_READY:
        d->streamReady = true;
        d->streamRate = int(pa_stream_get_sample_spec(stream)->rate);
        if (d->pending) {
            if (std::chrono::steady_clock::now() - d->pendingSince < PendingLifetime)
                d->start(std::move(d->pending));
            d->pending.reset();
        }
        break;
    case PA_STREAM_FAILED:
    case PA_STREAM_TERMINATED:
        d->disconnect();
        break;
    default:
        break;
    }
}

void SoundPlayer::Private::streamWantsData(pa_stream *, size_t bytes, void *self)
{
    static_cast<Private *>(self)->feed(bytes);
}

void SoundPlayer::Private::drained(pa_stream *stream, int, void *self)
{
    auto *d = static_cast<Private *>(self);
    pa_operation_unref(d->drain);
    d->drain = nullptr;
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
    d->loop = pa_threaded_mainloop_new();
    if (!d->loop)
        return;
    pa_threaded_mainloop_set_name(d->loop, "quilloro-sound");
    if (pa_threaded_mainloop_start(d->loop) < 0) {
        pa_threaded_mainloop_free(d->loop);
        d->loop = nullptr;
        return;
    }
    pa_threaded_mainloop_lock(d->loop);
    d->connect();
    pa_threaded_mainloop_unlock(d->loop);
}

SoundPlayer::~SoundPlayer()
{
    if (!d->loop)
        return;
    // Stop the thread first: afterwards no callback can run while we tear down.
    pa_threaded_mainloop_stop(d->loop);
    d->disconnect();
    pa_threaded_mainloop_free(d->loop);
}

void SoundPlayer::play(const QString &path)
{
    if (!d->loop)
        return;
    auto clip = d->clipFor(path);
    if (!clip)
        return;

    pa_threaded_mainloop_lock(d->loop);
    if (d->streamReady) {
        d->start(std::move(clip));
    } else {
        // Not connected yet, or the server went away: keep the newest request
        // and play it as soon as the stream is ready.
        d->pending = std::move(clip);
        d->pendingSince = std::chrono::steady_clock::now();
        if (!d->context)
            d->connect();
        else if (!d->stream && pa_context_get_state(d->context) == PA_CONTEXT_READY)
            d->createStream();
    }
    pa_threaded_mainloop_unlock(d->loop);
}
