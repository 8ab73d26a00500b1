// SPDX-License-Identifier: GPL-3.0-or-later
// bench_raw_xlib MEDIA_DIR: calibrates bench_latency. An Xlib window that fills a
// rectangle in a new colour for each key, and a PulseAudio stream that never stops and
// plays the key's recording from MEDIA_DIR. Its frames are the fastest any program can
// show here, and its sounds wait only behind the few milliseconds of silence already queued.
#include "harness.h"
#include "media.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <pulse/simple.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

using namespace bench;

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_raw_xlib MEDIA_DIR\n");
        return 2;
    }
    const std::string mediaDir = argv[1];
    int rate = sampleRate;
    std::vector<std::vector<float>> sounds;
    for (char key : keys)
        sounds.push_back(readMono(mediaDir + "/" + key + ".wav", &rate));
    std::atomic<int> wanted{-1};

    std::thread audio([&] {
        const pa_sample_spec sampleFormat{PA_SAMPLE_FLOAT32LE, static_cast<uint32_t>(rate), 1};
        const uint32_t ms = static_cast<uint32_t>(rate / 1000 * sizeof(float));
        pa_buffer_attr attr{static_cast<uint32_t>(-1), 5 * ms, static_cast<uint32_t>(-1), ms,
                            static_cast<uint32_t>(-1)};
        pa_simple *out = pa_simple_new(nullptr, "bench raw", PA_STREAM_PLAYBACK, nullptr, "raw", &sampleFormat, nullptr,
                                       &attr, nullptr);
        if (!out)
            return;
        std::vector<float> chunk(static_cast<size_t>(rate / 1000));
        const std::vector<float> *playing = nullptr;
        size_t position = 0;
        while (true) {
            if (const int k = wanted.exchange(-1); k >= 0) {
                playing = &sounds[static_cast<size_t>(k)];
                position = 0;
            }
            for (float &s : chunk)
                s = playing && position < playing->size() ? (*playing)[position++] : 0.0f;
            if (pa_simple_write(out, chunk.data(), chunk.size() * sizeof(float), nullptr) < 0)
                return;
        }
    });
    audio.detach();

    Display *display = XOpenDisplay(nullptr);
    if (!display)
        return 1;
    const int screen = DefaultScreen(display);
    const Window window =
        XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, 517, 554, 0, 0, BlackPixel(display, screen));
    XStoreName(display, window, "bench raw");
    XSelectInput(display, window, ExposureMask | KeyPressMask);
    XMapWindow(display, window);
    const GC gc = XCreateGC(display, window, 0, nullptr);
    unsigned long colour = 0x00ffff;
    while (true) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == KeyPress) {
            char text[8] = {};
            KeySym sym = 0;
            if (XLookupString(&event.xkey, text, sizeof text, &sym, nullptr) == 1) {
                if (const size_t k = keys.find(text[0]); k != std::string_view::npos) {
                    wanted = static_cast<int>(k);
                    colour = 0x00ffff ^ (static_cast<unsigned long>(text[0]) * 0x010305);
                }
            }
        }
        XSetForeground(display, gc, colour);
        XFillRectangle(display, window, gc, 150, 100, 217, 180);
        XFlush(display);
    }
}
