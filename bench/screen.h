// SPDX-License-Identifier: GPL-3.0-or-later
// Grabs a rectangle of the root window through shared memory: a copy in the server, no
// encoding, fast enough to poll every fraction of a millisecond.
#pragma once

#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace bench {

// The root window's background while the harness runs: no program paints this colour,
// so "the window is drawn" can be read off the screen.
inline constexpr unsigned long magenta = 0xff00ff;

class Screen
{
public:
    explicit Screen(Display *display)
        : m_display(display)
    { }
    ~Screen() { release(); }
    Screen(const Screen &) = delete;
    Screen &operator=(const Screen &) = delete;

    // Grabs this rectangle from now on (clipped to the screen).
    void watch(int x, int y, int width, int height);

    // Returns the time the server took the picture: between sending and the reply.
    double grab();
    double lastSent() const { return m_lastSent; }
    const uint32_t *pixels() const { return reinterpret_cast<const uint32_t *>(m_image->data); }
    size_t count() const { return static_cast<size_t>(m_image->width) * m_image->height; }
    std::vector<uint32_t> copy() const { return {pixels(), pixels() + count()}; }
    bool same(const std::vector<uint32_t> &other) const;
    // A frame the program drew itself: hardly any root colour left, and more than one
    // colour (a window cleared to its background colour is not yet a frame).
    bool painted() const;

private:
    void release();

    Display *m_display;
    XImage *m_image = nullptr;
    XShmSegmentInfo m_shm{};
    int m_x = 0, m_y = 0;
    double m_lastSent = 0;
};

} // namespace bench
