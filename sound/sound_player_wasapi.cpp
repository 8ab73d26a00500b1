// SPDX-License-Identifier: GPL-3.0-or-later
// The sound player on Windows: WASAPI in shared mode, on a thread of its own
// that the device wakes whenever it wants more sound.
#include "clip_cache.h"
#include "mix_format.h"
#include "sound_player.h"
#include "wasapi_format.h"

#include <windows.h>

#include <audioclient.h>
#include <mmdeviceapi.h>
#include <mmreg.h>
#include <wrl/client.h>

#include <algorithm>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

using Microsoft::WRL::ComPtr;

namespace {

// How much sound the device is given ahead of the speaker, in units of
// 100 ns. It bounds how long a new recording waits behind the one it cuts.
constexpr REFERENCE_TIME BufferDuration = 40 * 10000;
// A device that asks for nothing for this long while playing has stopped
// working (it went away without saying so): it is let go.
constexpr DWORD StalledMs = 2000;

// The device's mix format in the terms the converter knows; nothing for a
// layout it does not write.
std::optional<MixFormat> mixFormatOf(const WAVEFORMATEX &wave)
{
    const std::optional<WaveLayout> layout = waveLayoutOf(wave);
    if (!layout)
        return std::nullopt;
    MixFormat format;
    format.rate = layout->rate;
    format.channels = layout->channels;
    if (layout->isFloat && layout->bits == 32)
        format.sample = MixFormat::Sample::Float32;
    else if (!layout->isFloat && layout->bits == 16)
        format.sample = MixFormat::Sample::Int16;
    else if (!layout->isFloat && layout->bits == 32)
        format.sample = MixFormat::Sample::Int32;
    else
        return std::nullopt;
    if (format.rate <= 0 || format.channels <= 0 || layout->blockAlign != format.bytesPerFrame())
        return std::nullopt;
    return format;
}

} // namespace

struct SoundPlayer::Private {
    // Decoded recordings, only touched by the caller's thread.
    ClipCache cache;

    // Handed from the caller to the sound thread under the mutex.
    std::mutex mutex;
    std::shared_ptr<const Clip> request;
    bool quit = false;
    HANDLE wake = nullptr;      // set when there is a request, or on quit
    HANDLE wantsData = nullptr; // set by the device when it wants more sound
    std::thread thread;

    // The sound thread's own. The device is only held while a recording plays.
    ComPtr<IAudioClient> client;
    ComPtr<IAudioRenderClient> renderer;
    MixFormat format;
    UINT32 bufferFrames = 0;
    std::shared_ptr<const Clip> current;
    std::int64_t position = 0;
    std::int64_t length = 0;

    void run();
    bool open();
    void release();
    bool start(const std::shared_ptr<const Clip> &clip);
    bool feed();
};

bool SoundPlayer::Private::open()
{
    // The default output is looked up afresh each time: the one used last
    // may have gone away, and there may be one now where there was none.
    ComPtr<IMMDeviceEnumerator> enumerator;
    ComPtr<IMMDevice> device;
    if (FAILED(CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL, IID_PPV_ARGS(&enumerator)))
        || FAILED(enumerator->GetDefaultAudioEndpoint(eRender, eConsole, &device))
        || FAILED(device->Activate(__uuidof(IAudioClient), CLSCTX_ALL, nullptr, &client))) {
        release();
        return false;
    }
    // The device's own mix format, converted to here: no conversion asked of
    // the audio engine, which older systems and other implementations lack.
    WAVEFORMATEX *mix = nullptr;
    if (FAILED(client->GetMixFormat(&mix)) || !mix) {
        release();
        return false;
    }
    const std::optional<MixFormat> known = mixFormatOf(*mix);
    const bool ready = known
        && SUCCEEDED(client->Initialize(AUDCLNT_SHAREMODE_SHARED, AUDCLNT_STREAMFLAGS_EVENTCALLBACK, BufferDuration, 0,
                                        mix, nullptr))
        && SUCCEEDED(client->SetEventHandle(wantsData)) && SUCCEEDED(client->GetBufferSize(&bufferFrames))
        && SUCCEEDED(client->GetService(IID_PPV_ARGS(&renderer)));
    CoTaskMemFree(mix);
    if (!ready) {
        release();
        return false;
    }
    format = *known;
    return true;
}

void SoundPlayer::Private::release()
{
    if (client)
        client->Stop();
    renderer.Reset();
    client.Reset();
    current.reset();
    position = length = 0;
}

bool SoundPlayer::Private::start(const std::shared_ptr<const Clip> &clip)
{
    if (!client && !open())
        return false;
    // Cut what is still playing, and throw away what is queued of it, so the
    // new recording is heard at once instead of after it.
    if (FAILED(client->Stop()) || FAILED(client->Reset()))
        return false;
    current = clip;
    position = 0;
    length = convertedLength(*clip, format.rate);
    return feed() && SUCCEEDED(client->Start());
}

bool SoundPlayer::Private::feed()
{
    UINT32 queued = 0;
    if (FAILED(client->GetCurrentPadding(&queued)))
        return false;
    if (position >= length) {
        // All handed over: once the device has played it, let the device go,
        // so nothing is held or woken up while the child is not pressing keys.
        if (queued == 0)
            release();
        return true;
    }
    const auto frames =
        UINT32(std::min<std::int64_t>(bufferFrames - std::min(queued, bufferFrames), length - position));
    if (frames == 0)
        return true;
    BYTE *data = nullptr;
    if (FAILED(renderer->GetBuffer(frames, &data)))
        return false;
    convertFrames(*current, format, position, int(frames), data);
    position += frames;
    return SUCCEEDED(renderer->ReleaseBuffer(frames, 0));
}

void SoundPlayer::Private::run()
{
    const bool com = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    for (;;) {
        const HANDLE handles[] = {wake, wantsData};
        const DWORD woken = WaitForMultipleObjects(client ? 2 : 1, handles, FALSE, client ? StalledMs : INFINITE);
        std::shared_ptr<const Clip> clip;
        {
            std::lock_guard lock(mutex);
            if (quit)
                break;
            clip = std::move(request);
        }
        if (clip) {
            if (!com)
                continue;
            // A failure with a device already open may only mean that it went
            // away: try once more with the default output as it is now.
            const bool hadDevice = client != nullptr;
            if (!start(clip)) {
                release();
                if (hadDevice && !start(clip))
                    release();
            }
        } else if (client && (woken != WAIT_OBJECT_0 + 1 || !feed())) {
            // The device failed, went away, or fell silent: let it go. The
            // next recording looks for an output again.
            release();
        }
    }
    release();
    if (com)
        CoUninitialize();
}

SoundPlayer::SoundPlayer()
    : d(std::make_unique<Private>())
{
    d->wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    d->wantsData = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!d->wake || !d->wantsData)
        return;
    try {
        d->thread = std::thread([this] { d->run(); });
    } catch (const std::system_error &) {
        // No thread, no sound: play() does nothing.
    }
}

SoundPlayer::~SoundPlayer()
{
    if (d->thread.joinable()) {
        {
            std::lock_guard lock(d->mutex);
            d->quit = true;
        }
        SetEvent(d->wake);
        d->thread.join();
    }
    for (HANDLE event : {d->wake, d->wantsData}) {
        if (event)
            CloseHandle(event);
    }
}

void SoundPlayer::prepare(const QString &path)
{
    d->cache.clipFor(path);
}

void SoundPlayer::play(const QString &path)
{
    if (!d->thread.joinable())
        return;
    auto clip = d->cache.clipFor(path);
    if (!clip)
        return;
    {
        std::lock_guard lock(d->mutex);
        d->request = std::move(clip);
    }
    SetEvent(d->wake);
}
