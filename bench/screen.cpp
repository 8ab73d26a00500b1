// SPDX-License-Identifier: GPL-3.0-or-later
#include "screen.h"

#include "harness.h"

#include <X11/Xutil.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <cstring>

namespace bench {

void Screen::watch(int x, int y, int width, int height)
{
    release();
    const int screen = DefaultScreen(m_display);
    m_x = std::max(0, x);
    m_y = std::max(0, y);
    width = std::min(width, DisplayWidth(m_display, screen) - m_x);
    height = std::min(height, DisplayHeight(m_display, screen) - m_y);
    m_image = XShmCreateImage(m_display, DefaultVisual(m_display, screen), DefaultDepth(m_display, screen), ZPixmap,
                              nullptr, &m_shm, width, height);
    m_shm.shmid = shmget(IPC_PRIVATE, m_image->bytes_per_line * m_image->height, IPC_CREAT | 0600);
    m_shm.shmaddr = m_image->data = static_cast<char *>(shmat(m_shm.shmid, nullptr, 0));
    m_shm.readOnly = False;
    XShmAttach(m_display, &m_shm);
    XSync(m_display, False);
    shmctl(m_shm.shmid, IPC_RMID, nullptr); // freed once both sides detach
}

double Screen::grab()
{
    const double sent = nowMs();
    XShmGetImage(m_display, DefaultRootWindow(m_display), m_image, m_x, m_y, AllPlanes);
    m_lastSent = sent;
    return nowMs();
}

bool Screen::same(const std::vector<uint32_t> &other) const
{
    return std::memcmp(pixels(), other.data(), count() * sizeof(uint32_t)) == 0;
}

bool Screen::painted() const
{
    size_t root = 0, other = 0;
    uint32_t background = pixels()[count() / 2] & 0xffffff;
    for (size_t i = 0; i < count(); ++i) {
        const uint32_t p = pixels()[i] & 0xffffff;
        root += p == magenta;
        other += p != magenta && p != background;
    }
    if (background == magenta)
        return false;
    return root < count() / 100 && other > count() / 1000;
}

void Screen::release()
{
    if (!m_image)
        return;
    XShmDetach(m_display, &m_shm);
    XDestroyImage(m_image);
    shmdt(m_shm.shmaddr);
    m_image = nullptr;
}

} // namespace bench
