// SPDX-License-Identifier: GPL-3.0-or-later
#include "sound_player.h"

#include <QCache>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <pulse/pulseaudio.h>
#include <sndfile.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

std::shared_ptr<const Clip> decodeClip(const QString &path)
{
    // Opened here and handed over as a descriptor: libsndfile keeps file
    // names in a fixed-size buffer and fails on a long program folder.
    // Not blocking, so that a pipe put in the media folder cannot hang the window.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return nullptr;
    // Decoding runs on the window's thread: only ordinary files of a
    // reasonable size are read at all.
    struct stat status = {};
    if (::fstat(fd, &status) < 0 || !S_ISREG(status.st_mode) || status.st_size > MaxRecordingFileBytes) {
        ::close(fd);
        return nullptr;
    }
    SF_INFO info{};
    // On failure too, libsndfile has closed the descriptor it was given.
    SNDFILE *file = sf_open_fd(fd, SFM_READ, &info, SF_TRUE);
    if (!file)
        return nullptr;

    auto clip = std::make_shared<Clip>();
    const bool sane = info.channels > 0 && info.channels <= 64 && info.samplerate >= 1000 && info.samplerate <= 384000;
    if (sane) {
        clip->sampleRate = info.samplerate;
        const sf_count_t maxFrames =
            std::min(sf_count_t(info.samplerate) * MaxClipSeconds, sf_count_t(MaxDecodedSamples / info.channels));
        // Trust the header's length only as an upper bound: a damaged file
        // may claim far more than it holds, so read in blocks until the data ends.
        clip->samples.reserve(size_t(std::clamp<sf_count_t>(info.frames, 0, maxFrames)));
        // Read as floats, which libsndfile scales to -1..1 from every integer
        // width and passes through as they are from floating-point files.
        // (Read as integers, floating-point samples come out unscaled: a
        // recording from an audio editor would play as near silence.)
        constexpr sf_count_t BlockFrames = 4096;
        std::vector<float> block(size_t(BlockFrames * info.channels));
        while (sf_count_t(clip->samples.size()) < maxFrames) {
            const sf_count_t wanted = std::min(BlockFrames, maxFrames - sf_count_t(clip->samples.size()));
            const sf_count_t got = sf_readf_float(file, block.data(), wanted);
            if (got <= 0)
                break;
            for (sf_count_t frame = 0; frame < got; ++frame) {
                float sum = 0;
                for (int channel = 0; channel < info.channels; ++channel)
                    sum += block[size_t(frame * info.channels + channel)];
                float level = sum / float(info.channels);
                // Floating-point files may hold values past full scale, or
                // none at all (NaN) where they are damaged.
                level = std::isfinite(level) ? std::clamp(level, -1.0f, 1.0f) : 0.0f;
                clip->samples.push_back(std::int16_t(std::lrint(level * 32767.0f)));
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
// A request made while the connection or the stream is being set up is
// played when it is ready; a setup that takes longer than this (a server
// that is stuck) would only play it when the child has long moved on.
constexpr auto PendingLifetime = std::chrono::seconds(5);
// Decoded recordings kept, counted in bytes of samples: the pack's 36 take
// about 5 MB, and a family's own longer recordings must not grow it without end.
constexpr qsizetype CacheBytes = 32 * 1024 * 1024;

struct CacheEntry {
    qint64 size = -1;
    QDateTime modified;
    std::shared_ptr<const Clip> clip; // nullptr: the file cannot be played
};

} // namespace

struct SoundPlayer::Private {
    // Decoded recordings, only touched by the caller's thread.
    QCache<QString, CacheEntry> cache{CacheBytes};

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

    std::shared_ptr<const Clip> clipFor(const QString &path);

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

std::shared_ptr<const Clip> SoundPlayer::Private::clipFor(const QString &path)
{
    // A recording replaced while the program runs is read again: the cache
    // entry is only good for the file's size and time it was read at.
    const QFileInfo fileInfo(path);
    const qint64 size = fileInfo.exists() ? fileInfo.size() : -1;
    const QDateTime modified = fileInfo.exists() ? fileInfo.lastModified() : QDateTime();
    if (const CacheEntry *entry = cache.object(path); entry && entry->size == size && entry->modified == modified)
        return entry->clip;

    auto clip = size >= 0 ? decodeClip(path) : nullptr;
    // A decoded clip is never empty; a file that cannot be played costs one.
    // A single recording larger than the whole cache is played, not kept.
    const qsizetype cost = clip ? qsizetype(clip->samples.size() * sizeof(std::int16_t)) : 1;
    cache.insert(path, new CacheEntry{size, modified, clip}, cost);
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
        dropContext();
}

void SoundPlayer::Private::dropContext()
{
    dropStream();
    pending.reset();
    // Out of the member first: disconnecting calls our callbacks again.
    pa_context *old = std::exchange(context, nullptr);
    if (!old)
        return;
    pa_context_set_state_callback(old, nullptr, nullptr);
    pa_context_disconnect(old);
    pa_context_unref(old);
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
    // Out of the member first: a stream that has failed keeps its callbacks
    // however they are set, and disconnecting it calls them again.
    pa_stream *old = std::exchange(stream, nullptr);
    if (!old)
        return;
    pa_stream_set_state_callback(old, nullptr, nullptr);
    pa_stream_set_write_callback(old, nullptr, nullptr);
    if (PA_STREAM_IS_GOOD(pa_stream_get_state(old)))
        pa_stream_disconnect(old);
    pa_stream_unref(old);
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
    d->dropContext();
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
