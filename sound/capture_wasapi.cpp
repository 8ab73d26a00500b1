// SPDX-License-Identifier: GPL-3.0-or-later
// The capture on Windows: WASAPI in shared mode, on a thread of its own that
// the device wakes whenever it has recorded more.
#include "capture_wasapi.h"
#include "capture_convert.h"
#include "wasapi_format.h"

#include <windows.h>

#include <audioclient.h>
#include <mmdeviceapi.h>
#include <mmreg.h>
#include <wrl/client.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <optional>
#include <string>
#include <thread>

using Microsoft::WRL::ComPtr;

namespace {

// How much the device keeps for us between wake-ups, in units of 100 ns.
constexpr REFERENCE_TIME BufferDuration = 100 * 10000;
// How often the level is reported while recording.
constexpr ULONGLONG ReportMs = 50;
// A device that hands over nothing for this long has stopped working (it
// went away without saying so, or its server did): the take is lost.
constexpr ULONGLONG StalledMs = 2000;
// Kept at most, a second beyond the longest take: a take that is never
// stopped cannot take the memory with it.

// The device's mix format in the terms the converter knows; nothing for a
// layout it does not read. 24 bits in a 32-bit container read as 32 bits.
std::optional<CaptureFormat> captureFormatOf(const WAVEFORMATEX &wave)
{
    const std::optional<WaveLayout> layout = waveLayoutOf(wave);
    if (!layout)
        return std::nullopt;
    CaptureFormat format;
    format.rate = layout->rate;
    format.channels = layout->channels;
    if (layout->isFloat && layout->bits == 32)
        format.sample = CaptureFormat::Sample::Float32;
    else if (!layout->isFloat && layout->bits == 16)
        format.sample = CaptureFormat::Sample::Int16;
    else if (!layout->isFloat && layout->bits == 24)
        format.sample = CaptureFormat::Sample::Int24;
    else if (!layout->isFloat && layout->bits == 32)
        format.sample = CaptureFormat::Sample::Int32;
    else
        return std::nullopt;
    if (format.rate <= 0 || format.channels <= 0 || layout->blockAlign != format.bytesPerFrame())
        return std::nullopt;
    return format;
}

// Told by Windows when the microphones change: sets its event when the
// default one is another now, or the one recorded from is gone or disabled.
// Its callbacks come on a thread of Windows', and may come after it is
// unregistered while a reference is still held: it owns its event.
class DeviceWatcher final : public IMMNotificationClient
{
public:
    explicit DeviceWatcher(std::wstring device)
        : m_device(std::move(device))
        , m_changed(CreateEventW(nullptr, TRUE, FALSE, nullptr))
    { }
    HANDLE changed() const { return m_changed; }

    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_references; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG left = --m_references;
        if (left == 0)
            delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **object) override
    {
        if (iid == __uuidof(IUnknown) || iid == __uuidof(IMMNotificationClient)) {
            *object = static_cast<IMMNotificationClient *>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }

    HRESULT STDMETHODCALLTYPE OnDefaultDeviceChanged(EDataFlow flow, ERole role, LPCWSTR) override
    {
        if (flow == eCapture && role == eConsole)
            SetEvent(m_changed);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnDeviceStateChanged(LPCWSTR device, DWORD state) override
    {
        if (state != DEVICE_STATE_ACTIVE && ours(device))
            SetEvent(m_changed);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnDeviceRemoved(LPCWSTR device) override
    {
        if (ours(device))
            SetEvent(m_changed);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnDeviceAdded(LPCWSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnPropertyValueChanged(LPCWSTR, const PROPERTYKEY) override { return S_OK; }

private:
    ~DeviceWatcher()
    {
        if (m_changed)
            CloseHandle(m_changed);
    }
    bool ours(LPCWSTR device) const { return device && m_device == device; }

    const std::wstring m_device;
    const HANDLE m_changed;
    std::atomic<ULONG> m_references = 1;
};

// Initialises COM on the thread that makes it, for as long as it lives.
class ComApartment
{
public:
    ComApartment()
        : m_ready(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)))
    { }
    ~ComApartment()
    {
        if (m_ready)
            CoUninitialize();
    }
    ComApartment(const ComApartment &) = delete;
    ComApartment &operator=(const ComApartment &) = delete;
    bool ready() const { return m_ready; }

private:
    const bool m_ready;
};

} // namespace

struct WasapiCapture::Private {
    WasapiCapture *q = nullptr;
    int sampleRate = 0;
    std::size_t maxSamples = 0;
    std::thread thread;
    HANDLE quit = nullptr; // made for a take, set by stop()
    // Written by the capture thread while it runs, read by the window's
    // thread once it has ended.
    std::vector<std::int16_t> samples;
    // Counts the takes: a report still queued when its take was stopped is
    // dropped, so it cannot reach the next take. Written on the window's
    // thread only while no capture thread runs.
    unsigned take = 0;

    // Calls report on the window's thread, unless the take is over by then.
    template<typename Report> void post(Report report);
    void report(Failure failure);
    void reportProgress(std::size_t from);

    void run();
    // Records until told to quit or the device fails; the failure, if any.
    std::optional<Failure> record();
};

template<typename Report> void WasapiCapture::Private::post(Report report)
{
    QMetaObject::invokeMethod(
        q,
        [this, report, take = take] {
            if (take == this->take)
                report();
        },
        Qt::QueuedConnection);
}

void WasapiCapture::Private::report(Failure failure)
{
    // Queued: the window answers on its own thread, and may then stop us,
    // which joins this thread.
    post([capture = q, failure] { emit capture->failed(failure); });
}

void WasapiCapture::Private::reportProgress(std::size_t from)
{
    int peak = 0;
    for (std::size_t i = from; i < samples.size(); ++i)
        peak = std::max(peak, std::abs(int(samples[i])));
    const double peakDb = peak > 0 ? 20.0 * std::log10(peak / 32768.0) : -HUGE_VAL;
    const auto frames = qint64(samples.size());
    post([capture = q, peakDb, frames] { emit capture->progress(peakDb, frames); });
}

void WasapiCapture::Private::run()
{
    if (const std::optional<Failure> failure = record())
        report(*failure);
}

std::optional<Capture::Failure> WasapiCapture::Private::record()
{
    const ComApartment com;
    ComPtr<IMMDeviceEnumerator> enumerator;
    if (!com.ready()
        || FAILED(CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL, IID_PPV_ARGS(&enumerator))))
        return Failure::NoServer;
    // The default microphone, the one Windows' sound settings choose, looked
    // up afresh for each take.
    ComPtr<IMMDevice> device;
    if (const HRESULT result = enumerator->GetDefaultAudioEndpoint(eCapture, eConsole, &device); FAILED(result))
        return result == AUDCLNT_E_SERVICE_NOT_RUNNING ? Failure::NoServer : Failure::NoMicrophone;
    LPWSTR id = nullptr;
    std::wstring deviceId;
    if (SUCCEEDED(device->GetId(&id)) && id)
        deviceId = id;
    CoTaskMemFree(id);
    ComPtr<IAudioClient> client;
    if (const HRESULT result = device->Activate(__uuidof(IAudioClient), CLSCTX_ALL, nullptr, &client); FAILED(result))
        return result == AUDCLNT_E_SERVICE_NOT_RUNNING ? Failure::NoServer : Failure::NoMicrophone;

    // The device's own mix format, converted here: no conversion asked of
    // the audio engine, which older systems and other implementations lack.
    WAVEFORMATEX *mix = nullptr;
    if (FAILED(client->GetMixFormat(&mix)) || !mix)
        return Failure::NoMicrophone;
    const std::optional<CaptureFormat> format = captureFormatOf(*mix);
    HANDLE recorded = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    ComPtr<IAudioCaptureClient> capture;
    const bool ready = format && recorded
        && SUCCEEDED(client->Initialize(AUDCLNT_SHAREMODE_SHARED, AUDCLNT_STREAMFLAGS_EVENTCALLBACK, BufferDuration, 0,
                                        mix, nullptr))
        && SUCCEEDED(client->SetEventHandle(recorded)) && SUCCEEDED(client->GetService(IID_PPV_ARGS(&capture)));
    CoTaskMemFree(mix);
    if (!ready) {
        if (recorded)
            CloseHandle(recorded);
        return Failure::NoMicrophone;
    }

    // Told when the default microphone changes or ours goes away. Without
    // it, a device that fails still ends the take through its errors or its
    // silence.
    ComPtr<DeviceWatcher> watcher;
    watcher.Attach(new DeviceWatcher(deviceId));
    const bool watching =
        watcher->changed() && SUCCEEDED(enumerator->RegisterEndpointNotificationCallback(watcher.Get()));

    std::optional<Failure> failure;
    if (FAILED(client->Start()))
        failure = Failure::NoMicrophone;
    CaptureConverter converter(*format, sampleRate);
    ULONGLONG lastData = GetTickCount64();
    ULONGLONG lastReport = lastData;
    std::size_t reported = 0;
    while (!failure) {
        const HANDLE handles[] = {quit, recorded, watcher->changed()};
        const DWORD woken = WaitForMultipleObjects(watching ? 3 : 2, handles, FALSE, DWORD(ReportMs));
        if (woken == WAIT_OBJECT_0)
            break;
        if (woken == WAIT_OBJECT_0 + 2 || woken == WAIT_FAILED) {
            failure = Failure::Lost;
            break;
        }
        // Everything the device holds, packet by packet.
        for (;;) {
            UINT32 waiting = 0;
            BYTE *data = nullptr;
            UINT32 frames = 0;
            DWORD flags = 0;
            HRESULT result = capture->GetNextPacketSize(&waiting);
            if (SUCCEEDED(result) && waiting > 0)
                result = capture->GetBuffer(&data, &frames, &flags, nullptr, nullptr);
            if (FAILED(result)) {
                // AUDCLNT_E_DEVICE_INVALIDATED above all: the microphone was
                // unplugged or disabled, or the audio service stopped.
                failure = Failure::Lost;
                break;
            }
            if (waiting == 0 || result == AUDCLNT_S_BUFFER_EMPTY)
                break;
            converter.push((flags & AUDCLNT_BUFFERFLAGS_SILENT) ? nullptr : data, frames, samples);
            if (samples.size() > maxSamples)
                samples.resize(maxSamples);
            capture->ReleaseBuffer(frames);
            lastData = GetTickCount64();
        }
        const ULONGLONG now = GetTickCount64();
        if (!failure && now - lastData > StalledMs)
            failure = Failure::Lost;
        if (now - lastReport >= ReportMs && samples.size() > reported) {
            reportProgress(reported);
            reported = samples.size();
            lastReport = now;
        }
    }
    client->Stop();
    if (watching)
        enumerator->UnregisterEndpointNotificationCallback(watcher.Get());
    capture.Reset();
    client.Reset();
    CloseHandle(recorded);
    return failure;
}

WasapiCapture::WasapiCapture(int sampleRate, int maxSeconds, QObject *parent)
    : Capture(parent)
    , d(std::make_unique<Private>())
{
    d->q = this;
    d->sampleRate = sampleRate;
    d->maxSamples = std::size_t(sampleRate) * std::size_t(maxSeconds + 1);
}

WasapiCapture::~WasapiCapture()
{
    stop();
}

void WasapiCapture::start()
{
    stop();
    d->samples.reserve(d->maxSamples);
    d->quit = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!d->quit) {
        d->report(Failure::NoServer);
        return;
    }
    try {
        d->thread = std::thread([this] { d->run(); });
    } catch (const std::system_error &) {
        d->report(Failure::NoServer);
    }
}

std::vector<std::int16_t> WasapiCapture::stop()
{
    if (d->thread.joinable()) {
        SetEvent(d->quit);
        d->thread.join();
    }
    if (d->quit)
        CloseHandle(std::exchange(d->quit, nullptr));
    ++d->take;
    return std::exchange(d->samples, {});
}

std::unique_ptr<Capture> makeMicrophoneCapture(int sampleRate, int maxSeconds)
{
    return std::make_unique<WasapiCapture>(sampleRate, maxSeconds);
}
