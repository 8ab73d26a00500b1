// SPDX-License-Identifier: GPL-3.0-or-later
// screen_probe: whether the screen shows what a window holds. Under a
// compositing window manager the window's own pixels (what it drew) and the
// screen (what the compositor made of them) are two things; a person sees
// only the second.
//
//   screen_probe --composited      status 0 when a compositing manager runs
//   screen_probe --frames SECONDS  how many different screens were shown in
//                                  that time, looking every 50 ms
//   screen_probe WINDOW            waits until the screen shows the window's
//                                  pixels (at most 5 s); status 0 when it does
//   screen_probe WINDOW KEYS...    presses each key (an X key name) through
//                                  XTest, and after each waits as above; prints
//                                  how many keys were never seen on the screen
//   screen_probe --grab-keyboard   status 0 when this client can grab the
//                                  keyboard (it lets go at once), 1 when
//                                  another client holds it
//   screen_probe --check-boxes WINDOW
//                                  prints where the window's check boxes are
//                                  on the screen, "X Y" a line, top to bottom
//                                  and left to right
//   screen_probe --game WINDOW TOP
//                                  what the screen shows of the listening
//                                  game in the window, whose client area
//                                  begins TOP pixels down: "CHARACTER CYAN
//                                  GREY STARS LEVEL PICTURE" (see game())
//
// Each key is pressed a random 0 to 100 ms after the previous one reached the
// screen, so that keys fall at every point of the compositor's frame.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

// Pixels of the window's own content that the screen shows otherwise.
long differing(Display *display, Window window)
{
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes))
        return -1;
    int x = 0, y = 0;
    Window child;
    XTranslateCoordinates(display, window, attributes.root, 0, 0, &x, &y, &child);
    XImage *own = XGetImage(display, window, 0, 0, attributes.width, attributes.height, AllPlanes, ZPixmap);
    XImage *shown = XGetImage(display, attributes.root, x, y, attributes.width, attributes.height, AllPlanes, ZPixmap);
    long count = -1;
    if (own && shown) {
        count = 0;
        for (int row = 0; row < attributes.height; ++row) {
            for (int column = 0; column < attributes.width; ++column)
                count += (XGetPixel(own, column, row) & 0xFFFFFF) != (XGetPixel(shown, column, row) & 0xFFFFFF);
        }
    }
    if (own)
        XDestroyImage(own);
    if (shown)
        XDestroyImage(shown);
    return count;
}

// Waits until the screen shows the window as it is, twice in a row 20 ms
// apart (the window may itself be between two frames); the pixels still
// differing when 5 s have passed, or 0.
long settled(Display *display, Window window)
{
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    long last = -1;
    int same = 0;
    while (std::chrono::steady_clock::now() < deadline) {
        last = differing(display, window);
        same = last == 0 ? same + 1 : 0;
        if (same == 2)
            return 0;
        std::this_thread::sleep_for(20ms);
    }
    return last;
}

bool white(XImage *image, int x, int y)
{
    const unsigned long pixel = XGetPixel(image, x, y);
    return ((pixel >> 16) & 0xFF) >= 0xF8 && ((pixel >> 8) & 0xFF) >= 0xF8 && (pixel & 0xFF) >= 0xF8;
}

// A check box's square: white, between 9 and 20 pixels a side, with no
// white left of it or above it (a white field is wider or taller).
int checkBoxes(Display *display, Window window)
{
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes))
        return 1;
    int originX = 0, originY = 0;
    Window child;
    XTranslateCoordinates(display, window, attributes.root, 0, 0, &originX, &originY, &child);
    XImage *image = XGetImage(display, window, 0, 0, attributes.width, attributes.height, AllPlanes, ZPixmap);
    if (!image)
        return 1;
    const auto squareAt = [&](int x, int y) {
        if (!white(image, x, y) || (x > 0 && white(image, x - 1, y)) || (y > 0 && white(image, x, y - 1)))
            return false;
        int width = 0, height = 0;
        while (x + width < attributes.width && white(image, x + width, y))
            ++width;
        while (y + height < attributes.height && white(image, x, y + height))
            ++height;
        if (width < 9 || width > 20 || std::abs(width - height) > 2)
            return false;
        for (int row = y; row < y + height; ++row) {
            for (int column = x; column < x + width; ++column) {
                if (!white(image, column, row))
                    return false;
            }
        }
        std::printf("%d %d\n", originX + x + width / 2, originY + y + height / 2);
        return true;
    };
    for (int y = 0; y < attributes.height; ++y) {
        for (int x = 0; x < attributes.width; ++x) {
            squareAt(x, y);
        }
    }
    XDestroyImage(image);
    return 0;
}

// A 64-bit FNV-1a hash of a rectangle's pixels, as 16 hex digits: the same
// drawing gives the same hash.
std::string hashOf(XImage *image, int x0, int y0, int width, int height)
{
    unsigned long long hash = 14695981039346656037ull;
    for (int y = y0; y < y0 + height; ++y) {
        for (int x = x0; x < x0 + width; ++x) {
            const unsigned long pixel = XGetPixel(image, x, y) & 0xFFFFFF;
            for (int shift = 0; shift < 24; shift += 8) {
                hash ^= (pixel >> shift) & 0xFF;
                hash *= 1099511628211ull;
            }
        }
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", hash);
    return text;
}

// The listening game as the screen shows it, in the window's client area
// (the design's 517 x 554 pixels, TOP pixels down), on one line:
//   CHARACTER  a hash of the big label's part right of the picture, where the
//              question mark or the key's character stands
//   CYAN GREY  how many pixels there are of the character's cyan and of the
//              answer's grey (128, 128, 128)
//   STARS      the five stars of the row, 1 for a gold one, 0 otherwise
//   LEVEL      a hash of the level's text above the stars
//   PICTURE    1 when the picture's place is lit (the key's picture shown)
// One image of the screen, taken at once: what is printed was shown together.
int game(Display *display, Window window, int top)
{
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes))
        return 1;
    int x = 0, y = 0;
    Window child;
    XTranslateCoordinates(display, window, attributes.root, 0, top, &x, &y, &child);
    constexpr int Width = 517, Height = 554;
    XImage *image = XGetImage(display, attributes.root, x, y, Width, Height, AllPlanes, ZPixmap);
    if (!image)
        return 1;
    const auto rgb = [image](int px, int py) {
        const unsigned long pixel = XGetPixel(image, px, py);
        return std::array<int, 3>{int((pixel >> 16) & 0xFF), int((pixel >> 8) & 0xFF), int(pixel & 0xFF)};
    };
    // The label, right of the picture (which may be 130 pixels wide) and
    // above the level.
    constexpr int LabelX = 140, LabelWidth = 483 - LabelX, LabelHeight = 490;
    long cyan = 0, grey = 0;
    for (int py = 0; py < LabelHeight; ++py) {
        for (int px = LabelX; px < LabelX + LabelWidth; ++px) {
            const auto [r, g, b] = rgb(px, py);
            cyan += r < 40 && g > 215 && b > 215;
            grey += std::abs(r - 128) <= 6 && std::abs(g - 128) <= 6 && std::abs(b - 128) <= 6;
        }
    }
    // Five stars of 24 pixels, 30 apart; a gold one is about 170 pixels of
    // (255, 204, 0), its outline alone a few dozen of grey.
    std::string stars;
    for (int star = 0; star < 5; ++star) {
        int gold = 0;
        for (int py = 526; py < 550; ++py) {
            for (int px = 365 + 30 * star; px < 365 + 30 * star + 24; ++px) {
                const auto [r, g, b] = rgb(px, py);
                gold += r > 230 && g > 180 && g < 225 && b < 40;
            }
        }
        stars += gold > 60 ? '1' : '0';
    }
    long lit = 0;
    for (int py = 310; py < 360; ++py) {
        for (int px = 20; px < 70; ++px) {
            const auto [r, g, b] = rgb(px, py);
            lit += r + g + b > 150;
        }
    }
    std::printf("%s %ld %ld %s %s %d\n", hashOf(image, LabelX, 0, LabelWidth, LabelHeight).c_str(), cyan, grey,
                stars.c_str(), hashOf(image, 317, 498, 192, 24).c_str(), lit > 50 * 50 / 2 ? 1 : 0);
    XDestroyImage(image);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: screen_probe WINDOW [KEY...]\n");
        return 2;
    }
    Display *display = XOpenDisplay(nullptr);
    int event = 0, error = 0, major = 0, minor = 0;
    if (!display || !XTestQueryExtension(display, &event, &error, &major, &minor)) {
        std::fprintf(stderr, "screen_probe: needs an X display with XTest\n");
        return 2;
    }
    if (std::string(argv[1]) == "--composited") {
        const Atom manager = XInternAtom(display, "_NET_WM_CM_S0", False);
        return XGetSelectionOwner(display, manager) != None ? 0 : 1;
    }
    if (std::string(argv[1]) == "--grab-keyboard") {
        const int status = XGrabKeyboard(display, DefaultRootWindow(display), False, GrabModeAsync, GrabModeAsync,
                                          CurrentTime);
        XUngrabKeyboard(display, CurrentTime);
        XCloseDisplay(display);
        return status == GrabSuccess ? 0 : 1;
    }
    if (std::string(argv[1]) == "--check-boxes" && argc == 3)
        return checkBoxes(display, std::strtoul(argv[2], nullptr, 0));
    if (std::string(argv[1]) == "--game" && argc == 4)
        return game(display, std::strtoul(argv[2], nullptr, 0), std::atoi(argv[3]));
    if (std::string(argv[1]) == "--frames" && argc == 3) {
        const Window root = DefaultRootWindow(display);
        XWindowAttributes attributes;
        XGetWindowAttributes(display, root, &attributes);
        std::vector<std::string> seen;
        const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(std::atof(argv[2]));
        while (std::chrono::steady_clock::now() < end) {
            XImage *image = XGetImage(display, root, 0, 0, attributes.width, attributes.height, AllPlanes, ZPixmap);
            if (image) {
                std::string pixels(image->data, size_t(image->bytes_per_line) * image->height);
                if (std::find(seen.begin(), seen.end(), pixels) == seen.end())
                    seen.push_back(std::move(pixels));
                XDestroyImage(image);
            }
            std::this_thread::sleep_for(50ms);
        }
        std::printf("%zu\n", seen.size());
        return 0;
    }
    const Window window = std::strtoul(argv[1], nullptr, 0);
    if (argc == 2) {
        const long left = settled(display, window);
        if (left != 0)
            std::printf("%ld pixels of the window are not on the screen\n", left);
        return left == 0 ? 0 : 1;
    }

    std::minstd_rand random(std::random_device{}());
    int unseen = 0;
    for (int i = 2; i < argc; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(random() % 101));
        const KeyCode code = XKeysymToKeycode(display, XStringToKeysym(argv[i]));
        XTestFakeKeyEvent(display, code, True, 0);
        XTestFakeKeyEvent(display, code, False, 0);
        XSync(display, False);
        std::this_thread::sleep_for(10ms); // the key handled, its frames drawn
        if (const long left = settled(display, window); left != 0) {
            ++unseen;
            std::printf("key %d (%s): %ld pixels of the window not on the screen\n", i - 1, argv[i], left);
        }
    }
    std::printf("%d of %d keys not seen on the screen\n", unseen, argc - 2);
    XCloseDisplay(display);
    return unseen == 0 ? 0 : 1;
}
