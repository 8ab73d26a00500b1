// SPDX-License-Identifier: GPL-3.0-or-later
// bench_latency: starts programs on an Xvfb display, presses keys through XTest, times
// what they show (by polling the screen) and what they play (by recording the PulseAudio
// null sink's monitor), reads memory and idle wake-ups from /proc, and prints a markdown
// table comparing a program with a reference. bench/run sets the stage and calls it.
//
//   bench_latency --make-tones DIR     write the tone pack: key i plays 400 + 100 i Hz
//   bench_latency --raw MEDIA_DIR      a raw Xlib window with an always-running
//                                      PulseAudio stream, to calibrate the harness
//   bench_latency --monitor SOURCE --media DIR --tone-media DIR
//                 --reference NAME CMD TONE_CMD --subject NAME CMD TONE_CMD
//                 [--extra NAME CMD TONE_CMD] [--starts N] [--rounds N] [--cuts N] [--idle S]
//                 [--monitor-latency MS] [--verbose]
// CMD runs the program on the media in DIR; TONE_CMD runs it on the tone pack, which is
// used to check that a new key cuts the old recording short.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/XTest.h>
#include <pulse/pulseaudio.h>
#include <pulse/simple.h>
#include <sndfile.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <sys/wait.h>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <mutex>
#include <numbers>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr std::string_view keys = "0123456789abcdefghijklmnopqrstuvwxyz";
constexpr int sampleRate = 48000;
// -40 dBFS: well under any recording's speech, well over the null sink's digital silence.
constexpr float audibleLevel = 0.01f;
// How far ahead the null sink may mix: about what a sound card's rewind leaves (see Recorder).
int monitorLatencyMs = 4;
constexpr unsigned long magenta = 0xff00ff; // root background: no program paints this colour

double nowMs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

void sleepMs(double ms) { std::this_thread::sleep_for(std::chrono::microseconds(static_cast<long>(ms * 1000))); }

double toneFrequency(char key) { return 400.0 + 100.0 * static_cast<double>(keys.find(key)); }

std::vector<float> readMono(const std::string &path, int *rate = nullptr)
{
    SF_INFO info{};
    SNDFILE *file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file)
        return {};
    std::vector<float> frames(static_cast<size_t>(info.frames * info.channels));
    sf_readf_float(file, frames.data(), info.frames);
    sf_close(file);
    std::vector<float> mono(static_cast<size_t>(info.frames));
    for (size_t i = 0; i < mono.size(); ++i)
        mono[i] = frames[i * info.channels];
    if (rate)
        *rate = info.samplerate;
    return mono;
}

// Recordings may open with a breath of silence; that is the recording's, not the
// program's delay, so it is taken off every key → sound figure.
double leadInMs(const std::string &path)
{
    int rate = 0;
    const std::vector<float> mono = readMono(path, &rate);
    const auto loud = std::find_if(mono.begin(), mono.end(), [](float s) { return std::fabs(s) > audibleLevel; });
    return loud == mono.end() || rate == 0 ? 0.0 : 1e3 * static_cast<double>(loud - mono.begin()) / rate;
}

// ---------------------------------------------------------------------------------------
// Records the null sink's monitor and knows when each recorded sample reached us.
//
// A sample is stamped with the clock when the read callback that brought it runs: it
// cannot have left the mixer later than that, and the monitor delivers each mixed block
// as soon as it is mixed. Finer guesses did not hold: stepping back by the audio that
// follows a sample in the block assumes it was mixed in real time, while the sink mixes a
// whole block ahead at once; and counting samples from a stamp drifted ahead of the clock
// with every rewind (a program that flushes its stream makes the sink mix again what it
// had mixed ahead), which put sounds before the key that caused them.
class Recorder
{
public:
    bool start(const std::string &source)
    {
        m_loop = pa_threaded_mainloop_new();
        m_context = pa_context_new(pa_threaded_mainloop_get_api(m_loop), "bench_latency");
        pa_context_set_state_callback(m_context, [](pa_context *, void *loop) {
            pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop *>(loop), 0);
        }, m_loop);
        if (pa_context_connect(m_context, nullptr, PA_CONTEXT_NOFLAGS, nullptr) < 0)
            return false;
        pa_threaded_mainloop_lock(m_loop);
        pa_threaded_mainloop_start(m_loop);
        while (PA_CONTEXT_IS_GOOD(pa_context_get_state(m_context))
               && pa_context_get_state(m_context) != PA_CONTEXT_READY)
            pa_threaded_mainloop_wait(m_loop);
        bool ok = pa_context_get_state(m_context) == PA_CONTEXT_READY;
        if (ok) {
            const pa_sample_spec sampleFormat{PA_SAMPLE_FLOAT32LE, sampleRate, 1};
            m_stream = pa_stream_new(m_context, "monitor", &sampleFormat, nullptr);
            pa_stream_set_read_callback(m_stream, [](pa_stream *s, size_t, void *self) {
                static_cast<Recorder *>(self)->onRead(s);
            }, this);
            // A new stream on a sound card is heard at once: the sink rewinds what it had
            // mixed ahead. The monitor cannot take back what it has already recorded, so on a
            // null sink mixing far ahead a new sound would come out a whole buffer late. Asking
            // for a short source latency keeps the null sink's mixing-ahead short, as a card's
            // rewind would.
            pa_buffer_attr attr{};
            attr.maxlength = static_cast<uint32_t>(-1);
            attr.fragsize = monitorLatencyMs * sampleRate / 1000 * sizeof(float);
            ok = pa_stream_connect_record(m_stream, source.c_str(), &attr, PA_STREAM_ADJUST_LATENCY) == 0;
        }
        pa_threaded_mainloop_unlock(m_loop);
        return ok;
    }

    ~Recorder()
    {
        if (!m_loop)
            return;
        pa_threaded_mainloop_stop(m_loop);
        if (m_stream)
            pa_stream_unref(m_stream);
        pa_context_disconnect(m_context);
        pa_context_unref(m_context);
        pa_threaded_mainloop_free(m_loop);
    }

    // Index one past the newest sample.
    int64_t end() const
    {
        std::lock_guard lock(m_mutex);
        return m_base + static_cast<int64_t>(m_samples.size());
    }
    double timeOf(int64_t n) const
    {
        std::lock_guard lock(m_mutex);
        return timeOfLocked(n);
    }
    double coveredUntil() const { return timeOf(end() - 1); }
    // The first sample that reached us at or after t.
    int64_t indexAt(double t) const
    {
        std::lock_guard lock(m_mutex);
        const auto it = std::lower_bound(m_marks.begin(), m_marks.end(), t,
                                         [](const Mark &m, double v) { return m.time < v; });
        if (it == m_marks.begin())
            return m_base;
        return std::prev(it)->end;
    }
    float at(int64_t n) const
    {
        std::lock_guard lock(m_mutex);
        return n >= m_base && n < m_base + static_cast<int64_t>(m_samples.size()) ? m_samples[n - m_base] : 0.0f;
    }
    std::vector<float> range(int64_t from, int64_t to) const
    {
        std::lock_guard lock(m_mutex);
        std::vector<float> out;
        for (int64_t n = std::max(from, m_base); n < std::min<int64_t>(to, m_base + m_samples.size()); ++n)
            out.push_back(m_samples[n - m_base]);
        return out;
    }
    // Waits until the recording reaches time t (or gives up after a second more).
    void waitFor(double t) const
    {
        const double giveUp = std::max(nowMs(), t) + 1000;
        while (coveredUntil() < t && nowMs() < giveUp)
            sleepMs(2);
    }
    // Drops what is no longer needed, so hours of recording do not pile up.
    void forget()
    {
        std::lock_guard lock(m_mutex);
        const size_t keep = std::min<size_t>(m_samples.size(), 2 * sampleRate);
        m_base += static_cast<int64_t>(m_samples.size() - keep);
        m_samples.erase(m_samples.begin(), m_samples.end() - static_cast<long>(keep));
        std::erase_if(m_marks, [this](const Mark &m) { return m.end <= m_base; });
    }

private:
    struct Mark
    {
        int64_t end; // index one past the newest sample a read callback received
        double time; // when that callback ran
    };

    void onRead(pa_stream *stream)
    {
        const double t = nowMs();
        std::lock_guard lock(m_mutex);
        const void *data = nullptr;
        size_t bytes = 0;
        while (pa_stream_readable_size(stream) > 0 && pa_stream_peek(stream, &data, &bytes) == 0 && bytes > 0) {
            const size_t count = bytes / sizeof(float);
            if (data) {
                const auto *samples = static_cast<const float *>(data);
                m_samples.insert(m_samples.end(), samples, samples + count);
            } else {
                m_samples.insert(m_samples.end(), count, 0.0f); // a hole: the source dropped data
            }
            pa_stream_drop(stream);
        }
        const int64_t end = m_base + static_cast<int64_t>(m_samples.size());
        m_marks.push_back({end, t});
    }

    double timeOfLocked(int64_t n) const
    {
        const auto it = std::upper_bound(m_marks.begin(), m_marks.end(), n,
                                         [](int64_t v, const Mark &m) { return v < m.end; });
        if (it != m_marks.end())
            return it->time;
        // Not recorded yet: it will come in real time after the newest one.
        return m_marks.empty() ? INFINITY : m_marks.back().time + (n - m_marks.back().end + 1) * 1e3 / sampleRate;
    }

    pa_threaded_mainloop *m_loop = nullptr;
    pa_context *m_context = nullptr;
    pa_stream *m_stream = nullptr;
    mutable std::mutex m_mutex;
    std::vector<float> m_samples;
    int64_t m_base = 0;
    std::vector<Mark> m_marks;
};

// Time of the first audible sample recorded in [from, until), or NaN.
double firstAudible(const Recorder &rec, double from, double until)
{
    int64_t n = rec.indexAt(from);
    while (true) {
        const bool last = rec.coveredUntil() >= until || nowMs() > until + 1000;
        const int64_t end = std::min(rec.end(), rec.indexAt(until));
        for (; n < end; ++n)
            if (std::fabs(rec.at(n)) > audibleLevel)
                return rec.timeOf(n);
        if (last)
            return NAN;
        sleepMs(2);
    }
}

// Waits until the monitor has been quiet for 100 ms (at most `limit` ms).
void waitQuiet(const Recorder &rec, double limit = 5000)
{
    const double giveUp = nowMs() + limit;
    while (nowMs() < giveUp) {
        const double t = nowMs();
        rec.waitFor(t);
        const std::vector<float> tail = rec.range(rec.indexAt(t - 100), rec.end());
        if (std::none_of(tail.begin(), tail.end(), [](float s) { return std::fabs(s) > audibleLevel; }))
            return;
        sleepMs(20);
    }
}

// Amplitude of frequency f in a Blackman-windowed stretch: its sidelobes are low enough
// that a tone 1800 Hz away does not read as the one being measured.
double toneAmplitude(const std::vector<float> &x, size_t from, size_t length, double f)
{
    const double w = 2 * std::numbers::pi * f / sampleRate;
    double re = 0, im = 0, gain = 0;
    for (size_t i = 0; i < length; ++i) {
        const double phase = 2 * std::numbers::pi * static_cast<double>(i) / static_cast<double>(length - 1);
        const double win = 0.42 - 0.5 * std::cos(phase) + 0.08 * std::cos(2 * phase);
        re += x[from + i] * win * std::cos(w * static_cast<double>(i));
        im -= x[from + i] * win * std::sin(w * static_cast<double>(i));
        gain += win;
    }
    return 2 * std::hypot(re, im) / gain;
}

// ---------------------------------------------------------------------------------------
// Grabs a rectangle of the root window through shared memory: a copy in the server, no
// encoding, fast enough to poll every fraction of a millisecond.
class Screen
{
public:
    explicit Screen(Display *display) : m_display(display) {}
    ~Screen() { release(); }
    Screen(const Screen &) = delete;
    Screen &operator=(const Screen &) = delete;

    void watch(int x, int y, int width, int height)
    {
        release();
        const int screen = DefaultScreen(m_display);
        m_x = std::max(0, x);
        m_y = std::max(0, y);
        width = std::min(width, DisplayWidth(m_display, screen) - m_x);
        height = std::min(height, DisplayHeight(m_display, screen) - m_y);
        m_image = XShmCreateImage(m_display, DefaultVisual(m_display, screen), DefaultDepth(m_display, screen),
                                  ZPixmap, nullptr, &m_shm, width, height);
        m_shm.shmid = shmget(IPC_PRIVATE, m_image->bytes_per_line * m_image->height, IPC_CREAT | 0600);
        m_shm.shmaddr = m_image->data = static_cast<char *>(shmat(m_shm.shmid, nullptr, 0));
        m_shm.readOnly = False;
        XShmAttach(m_display, &m_shm);
        XSync(m_display, False);
        shmctl(m_shm.shmid, IPC_RMID, nullptr); // freed once both sides detach
    }

    // Returns the time the server took the picture: between sending and the reply.
    double grab()
    {
        const double sent = nowMs();
        XShmGetImage(m_display, DefaultRootWindow(m_display), m_image, m_x, m_y, AllPlanes);
        m_lastSent = sent;
        return nowMs();
    }
    double lastSent() const { return m_lastSent; }
    const uint32_t *pixels() const { return reinterpret_cast<const uint32_t *>(m_image->data); }
    size_t count() const { return static_cast<size_t>(m_image->width) * m_image->height; }
    std::vector<uint32_t> copy() const { return {pixels(), pixels() + count()}; }
    bool same(const std::vector<uint32_t> &other) const
    {
        return std::memcmp(pixels(), other.data(), count() * sizeof(uint32_t)) == 0;
    }
    // A frame the program drew itself: hardly any root colour left, and more than one
    // colour (a window cleared to its background colour is not yet a frame).
    bool painted() const
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

private:
    void release()
    {
        if (!m_image)
            return;
        XShmDetach(m_display, &m_shm);
        XDestroyImage(m_image);
        shmdt(m_shm.shmaddr);
        m_image = nullptr;
    }

    Display *m_display;
    XImage *m_image = nullptr;
    XShmSegmentInfo m_shm{};
    int m_x = 0, m_y = 0;
    double m_lastSent = 0;
};

// ---------------------------------------------------------------------------------------
struct Result
{
    std::string name;
    std::vector<double> start, frame, soundFirst, soundNext, cut;
    int presses = 0, unheard = 0, cutsTried = 0, cutsUnheard = 0;
    double rssMb = NAN, wakeups = NAN, idleCpuMs = NAN;
};

struct Program
{
    std::string name, command, toneCommand;
};

struct Running
{
    pid_t pid = -1;
    Window window = 0;
    double started = 0, firstFrame = NAN;
};

class Bench
{
public:
    explicit Bench(Display *display) : m_display(display), m_screen(display)
    {
        // A colour no program paints, so "the window is drawn" can be read off the screen.
        const Window root = DefaultRootWindow(display);
        XSetWindowBackground(display, root, magenta);
        XClearWindow(display, root);
        XSelectInput(display, root, SubstructureNotifyMask);
        XSync(display, False);
    }

    Running launch(const std::string &command)
    {
        while (XPending(m_display)) { // forget the windows of earlier runs
            XEvent event;
            XNextEvent(m_display, &event);
        }
        Running run;
        run.started = nowMs();
        run.pid = fork();
        if (run.pid == 0) {
            setpgid(0, 0);
            const int null = open("/dev/null", O_RDWR);
            dup2(null, STDIN_FILENO);
            dup2(null, STDOUT_FILENO);
            execl("/bin/sh", "sh", "-c", ("exec " + command).c_str(), static_cast<char *>(nullptr));
            _exit(127);
        }
        // The program's window is the first ordinary top-level window mapped from now on.
        XWindowAttributes attributes{};
        while (!run.window && nowMs() - run.started < 10000) {
            if (!XPending(m_display)) {
                sleepMs(0.2);
                continue;
            }
            XEvent event;
            XNextEvent(m_display, &event);
            if (event.type == MapNotify && !event.xmap.override_redirect
                && XGetWindowAttributes(m_display, event.xmap.window, &attributes) && attributes.width >= 100)
                run.window = event.xmap.window;
        }
        if (!run.window)
            return run;
        m_screen.watch(attributes.x + attributes.border_width, attributes.y + attributes.border_width,
                       attributes.width, attributes.height);
        double previous = nowMs();
        while (nowMs() - run.started < 10000) {
            const double seen = m_screen.grab();
            if (m_screen.painted()) {
                run.firstFrame = (previous + seen) / 2 - run.started;
                break;
            }
            previous = m_screen.lastSent();
            sleepMs(0.2);
        }
        return run;
    }

    void stop(Running &run)
    {
        if (run.pid <= 0)
            return;
        kill(-run.pid, SIGTERM);
        for (int i = 0; i < 200 && waitpid(run.pid, nullptr, WNOHANG) == 0; ++i)
            sleepMs(10);
        if (waitpid(run.pid, nullptr, WNOHANG) == 0) {
            kill(-run.pid, SIGKILL);
            waitpid(run.pid, nullptr, 0);
        }
        run.pid = -1;
        XSync(m_display, False);
        sleepMs(200); // let the server repaint the root where the window was
    }

    void focus(const Running &run)
    {
        // No window manager: hand the window the keyboard ourselves, as a click would.
        XWindowAttributes a{};
        XGetWindowAttributes(m_display, run.window, &a);
        // Where it is now: a program may place its window again after showing it.
        m_screen.watch(a.x + a.border_width, a.y + a.border_width, a.width, a.height);
        XTestFakeMotionEvent(m_display, DefaultScreen(m_display), a.x + a.width / 2, a.y + a.height / 2, 0);
        XSetInputFocus(m_display, run.window, RevertToPointerRoot, CurrentTime);
        XSync(m_display, False);
        sleepMs(500);
    }

    double press(char key)
    {
        const KeyCode code = XKeysymToKeycode(m_display, XStringToKeysym(std::string(1, key).c_str()));
        const double t = nowMs();
        XTestFakeKeyEvent(m_display, code, True, 0);
        XTestFakeKeyEvent(m_display, code, False, 0);
        XFlush(m_display);
        return t;
    }

    // Key → the new frame complete (the character and the picture): the last change the
    // screen shows before it settles for 150 ms. A change lies between the poll that did
    // not show it and the poll that did; the middle of that stretch is the estimate.
    double pressAndWatch(char key)
    {
        m_screen.grab();
        std::vector<uint32_t> shown = m_screen.copy();
        const double pressed = press(key);
        double previous = pressed; // nothing the key causes can show before it
        double changed = NAN;
        m_firstChange = NAN;
        while (true) {
            const double seen = m_screen.grab();
            if (!m_screen.same(shown)) {
                changed = (previous + seen) / 2;
                if (std::isnan(m_firstChange))
                    m_firstChange = changed - pressed;
                shown = m_screen.copy();
            }
            previous = m_screen.lastSent();
            if ((!std::isnan(changed) && seen - changed > 150) || seen - pressed > 1000)
                break;
            sleepMs(0.25);
        }
        m_lastPress = pressed;
        return changed - pressed;
    }

    double lastPress() const { return m_lastPress; }
    double firstChange() const { return m_firstChange; } // of the last press, ms after the key

private:
    Display *m_display;
    Screen m_screen;
    double m_lastPress = 0;
    double m_firstChange = NAN;
};

long procField(pid_t pid, const std::string &file, const std::string &field)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/" + file);
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(field, 0) == 0)
            return std::stol(line.substr(field.size()));
    return 0;
}

// Context switches and CPU time of all the process's threads: a wake-up of any thread
// costs the battery, not only the main one's.
std::pair<long, double> switchesAndCpuMs(pid_t pid)
{
    long switches = 0;
    double cpuMs = 0;
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    if (DIR *dir = opendir(tasks.c_str())) {
        while (dirent *entry = readdir(dir)) {
            if (entry->d_name[0] == '.')
                continue;
            const std::string task = "task/" + std::string(entry->d_name);
            switches += procField(pid, task + "/status", "voluntary_ctxt_switches:")
                      + procField(pid, task + "/status", "nonvoluntary_ctxt_switches:");
            std::ifstream sched("/proc/" + std::to_string(pid) + "/" + task + "/schedstat");
            double ns = 0;
            sched >> ns;
            cpuMs += ns / 1e6;
        }
        closedir(dir);
    }
    return {switches, cpuMs};
}

struct Options
{
    std::string monitor, media, toneMedia;
    int starts = 10, rounds = 3, cuts = 12;
    double idleSeconds = 10;
    bool verbose = false;
    std::vector<Program> programs; // reference, subject if any, then extras
    bool hasSubject = false;
};

void measure(Bench &bench, Recorder &rec, const Options &opt, const Program &program, Result &result)
{
    std::vector<double> leadIn(keys.size()), toneLeadIn(keys.size());
    for (size_t i = 0; i < keys.size(); ++i) {
        leadIn[i] = leadInMs(opt.media + "/" + keys[i] + ".wav");
        toneLeadIn[i] = leadInMs(opt.toneMedia + "/" + keys[i] + ".wav");
    }

    // Every key, `rounds` times over: the first round is each key's first press.
    Running run = bench.launch(program.command);
    if (std::isnan(run.firstFrame)) {
        std::fprintf(stderr, "%s: no window within 10 s\n", program.name.c_str());
        bench.stop(run);
        return;
    }
    bench.focus(run);
    for (int round = 0; round < opt.rounds; ++round) {
        for (size_t i = 0; i < keys.size(); ++i) {
            waitQuiet(rec);
            rec.forget();
            const double frame = bench.pressAndWatch(keys[i]);
            const double pressed = bench.lastPress();
            const double heard = firstAudible(rec, pressed, pressed + 1000);
            result.frame.push_back(frame);
            ++result.presses;
            if (std::isnan(heard))
                ++result.unheard;
            else
                (round == 0 ? result.soundFirst : result.soundNext).push_back(heard - pressed - leadIn[i]);
            if (opt.verbose)
                std::fprintf(stderr, "%s %c: frame %.1f ms (first change %.1f), sound %.1f ms\n", program.name.c_str(),
                             keys[i], frame, bench.firstChange(), heard - pressed - leadIn[i]);
        }
        std::fprintf(stderr, "%s: round %d of %d done\n", program.name.c_str(), round + 1, opt.rounds);
    }
    waitQuiet(rec);
    result.rssMb = procField(run.pid, "status", "VmRSS:") / 1024.0;

    sleepMs(1000);
    const auto [switches0, cpu0] = switchesAndCpuMs(run.pid);
    const double t0 = nowMs();
    sleepMs(opt.idleSeconds * 1000);
    const auto [switches1, cpu1] = switchesAndCpuMs(run.pid);
    const double seconds = (nowMs() - t0) / 1e3;
    result.wakeups = (switches1 - switches0) / seconds;
    result.idleCpuMs = (cpu1 - cpu0) * opt.idleSeconds / seconds;
    bench.stop(run);

    // The cut: key A's tone plays, key B comes 150 ms into it; A's frequency must vanish.
    run = bench.launch(program.toneCommand);
    if (std::isnan(run.firstFrame)) {
        bench.stop(run);
        return;
    }
    bench.focus(run);
    constexpr size_t window = sampleRate / 100, hop = sampleRate / 1000;
    for (int c = 0; c < opt.cuts; ++c) {
        const char a = keys[(7 * c) % keys.size()], b = keys[(7 * c + 18) % keys.size()];
        waitQuiet(rec);
        rec.forget();
        ++result.cutsTried;
        const double pressedA = bench.press(a);
        const double heardA = firstAudible(rec, pressedA, pressedA + 1000);
        if (std::isnan(heardA)) {
            ++result.cutsUnheard;
            continue;
        }
        while (nowMs() < heardA + 150)
            sleepMs(1);
        const double pressedB = bench.press(b);
        rec.waitFor(pressedB + 1000);
        const int64_t from = rec.indexAt(heardA + 20);
        const std::vector<float> x = rec.range(from, rec.indexAt(pressedB + 1000));
        const double f = toneFrequency(a);
        std::vector<double> steady;
        double lastLoud = NAN, level = 0;
        for (size_t k = 0; k + window <= x.size(); k += hop) {
            const double centre = rec.timeOf(from + static_cast<int64_t>(k + window / 2));
            const double amplitude = toneAmplitude(x, k, window, f);
            if (centre + 5 < pressedB) {
                steady.push_back(amplitude);
                continue;
            }
            if (level == 0 && !steady.empty()) {
                std::nth_element(steady.begin(), steady.begin() + steady.size() / 2, steady.end());
                level = steady[steady.size() / 2];
            }
            if (level < audibleLevel) // A's tone never sounded steadily before B
                break;
            // Half the steady amplitude: where the window's centre crosses a hard cut.
            if (amplitude > level / 2)
                lastLoud = centre;
        }
        if (level < audibleLevel) {
            ++result.cutsUnheard;
            continue;
        }
        result.cut.push_back(std::isnan(lastLoud) ? 0.0 : lastLoud - pressedB);
        if (opt.verbose)
            std::fprintf(stderr, "%s %c→%c: %c heard after %.1f ms, silent %.1f ms after %c\n", program.name.c_str(), a,
                         b, a, heardA - pressedA, result.cut.back(), b);
    }
    bench.stop(run);
}

double quantile(std::vector<double> v, double q)
{
    if (v.empty())
        return NAN;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<size_t>(std::ceil(q * v.size())) - (q > 0 ? 1 : 0))];
}
double median(const std::vector<double> &v)
{
    if (v.empty())
        return NAN;
    std::vector<double> s = v;
    std::sort(s.begin(), s.end());
    return s.size() % 2 ? s[s.size() / 2] : (s[s.size() / 2 - 1] + s[s.size() / 2]) / 2;
}

std::string format(const char *pattern, double a, double b = NAN)
{
    if (std::isnan(a))
        return "–";
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, pattern, a, b);
    return buffer;
}
std::string medianP90(const std::vector<double> &v) { return format("%.1f (%.1f)", median(v), quantile(v, 0.9)); }

void printTable(const Options &opt, const std::vector<Result> &results)
{
    const Result &ref = results[0];
    const bool haveSubject = opt.hasSubject;
    const Result &sub = haveSubject ? results[1] : results[0];
    struct Row
    {
        std::string measure;
        std::string (*cell)(const Result &);
        double (*value)(const Result &); // for the ratio
        std::string target;
        std::optional<bool> met;
    };
    // No mark where the subject gave nothing to judge (e.g. one round: no later presses).
    auto judge = [](bool measured, bool ok) -> std::optional<bool> {
        return measured ? std::optional<bool>(ok) : std::nullopt;
    };
    const double ratioStart = median(sub.start) / median(ref.start);
    std::vector<Row> rows = {
        {"start → first frame, ms", [](const Result &r) { return medianP90(r.start); },
         [](const Result &r) { return median(r.start); }, "≤ 1.2 × reference",
         judge(!sub.start.empty(), ratioStart <= 1.2)},
        {"key → frame, ms", [](const Result &r) { return medianP90(r.frame); },
         [](const Result &r) { return median(r.frame); }, "≤ reference + 2 ms, p90 < 8 ms",
         judge(!sub.frame.empty(), median(sub.frame) <= median(ref.frame) + 2 && quantile(sub.frame, 0.9) < 8)},
        {"key → first audible sample, first press of a key, ms", [](const Result &r) { return medianP90(r.soundFirst); },
         [](const Result &r) { return median(r.soundFirst); }, "≤ 15 ms, p90 ≤ 25 ms",
         judge(!sub.soundFirst.empty(), median(sub.soundFirst) <= 15 && quantile(sub.soundFirst, 0.9) <= 25)},
        {"key → first audible sample, later presses, ms", [](const Result &r) { return medianP90(r.soundNext); },
         [](const Result &r) { return median(r.soundNext); }, "≤ 15 ms, p90 ≤ 25 ms",
         judge(!sub.soundNext.empty(), median(sub.soundNext) <= 15 && quantile(sub.soundNext, 0.9) <= 25)},
        {"presses not heard", [](const Result &r) { return std::to_string(r.unheard) + " of " + std::to_string(r.presses); },
         [](const Result &r) { return static_cast<double>(r.unheard); }, "none",
         judge(sub.presses > 0, sub.unheard == 0)},
        {"new key → old recording silent, ms", [](const Result &r) {
             return medianP90(r.cut) + (r.cutsUnheard ? " (" + std::to_string(r.cutsUnheard) + " unheard)" : "");
         },
         [](const Result &r) { return median(r.cut); }, "≤ 15 ms, p90 ≤ 25 ms",
         judge(sub.cutsTried > 0, sub.cutsUnheard == 0 && median(sub.cut) <= 15 && quantile(sub.cut, 0.9) <= 25)},
        {"RSS after all keys, MB", [](const Result &r) { return format("%.1f", r.rssMb); },
         [](const Result &r) { return r.rssMb; }, "≤ reference + 15 MB", judge(!std::isnan(sub.rssMb), sub.rssMb <= ref.rssMb + 15)},
        {"idle wake-ups per second", [](const Result &r) { return format("%.1f", r.wakeups); },
         [](const Result &r) { return r.wakeups; }, "≤ 5", judge(!std::isnan(sub.wakeups), sub.wakeups <= 5)},
        {"idle CPU time in 10 s, ms", [](const Result &r) { return format("%.1f", r.idleCpuMs); },
         [](const Result &r) { return r.idleCpuMs; }, "", std::nullopt},
    };

    std::string header = "| measure (median (p90)) ";
    std::string rule = "|---";
    std::vector<const Result *> columns;
    for (size_t i = haveSubject ? 2 : 1; i < results.size(); ++i)
        columns.push_back(&results[i]);
    columns.push_back(&ref);
    if (haveSubject)
        columns.push_back(&sub);
    for (const Result *r : columns) {
        header += "| " + r->name + " ";
        rule += "|---:";
    }
    if (haveSubject) {
        header += "| " + sub.name + " / " + ref.name + " | target | met ";
        rule += "|---:|---|:---:";
    }
    std::printf("%s|\n%s|\n", header.c_str(), rule.c_str());
    for (const Row &row : rows) {
        std::string line = "| " + row.measure + " ";
        for (const Result *r : columns)
            line += "| " + row.cell(*r) + " ";
        if (haveSubject) {
            const double ratio = row.value(sub) / row.value(ref);
            line += "| " + (std::isfinite(ratio) ? format("%.2f", ratio) : std::string("–")) + " | " + row.target
                  + " | " + (row.met ? (*row.met ? "✅" : "❌") : "") + " ";
        }
        std::printf("%s|\n", line.c_str());
    }
    std::printf("\n%d starts per program; %d presses of each of the 36 keys (key → frame over all %zu presses, "
                "key → sound split into the first press of each key and the later ones); %d cuts; idle over %.0f s. "
                "Sound times run from the key to the first sample above -40 dBFS arriving from the null sink's "
                "monitor (the null sink mixes at most %d ms ahead), less the silence the recording itself begins "
                "with.\n",
                opt.starts, opt.rounds, keys.size() * opt.rounds, opt.cuts, opt.idleSeconds, monitorLatencyMs);
}

// ---------------------------------------------------------------------------------------
// The raw program: an Xlib window and a PulseAudio stream that never stops. It calibrates
// the harness: its frames are the fastest any program can show here, and its sounds wait
// only behind the few milliseconds of silence already queued.
int runRaw(const std::string &mediaDir)
{
    int rate = sampleRate;
    std::vector<std::vector<float>> sounds;
    for (char key : keys)
        sounds.push_back(readMono(mediaDir + "/" + key + ".wav", &rate));
    std::atomic<int> wanted{-1};

    std::thread audio([&] {
        const pa_sample_spec sampleFormat{PA_SAMPLE_FLOAT32LE, static_cast<uint32_t>(rate), 1};
        const uint32_t ms = static_cast<uint32_t>(rate / 1000 * sizeof(float));
        pa_buffer_attr attr{static_cast<uint32_t>(-1), 5 * ms, static_cast<uint32_t>(-1), ms, static_cast<uint32_t>(-1)};
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
    const Window window = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, 517, 554, 0, 0,
                                              BlackPixel(display, screen));
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

int makeTones(const std::string &dir)
{
    for (char key : keys) {
        // 0.8 s at half scale with 5 ms ramps: long enough to be cut, no clicks.
        std::vector<short> samples(static_cast<size_t>(sampleRate * 0.8));
        const size_t ramp = sampleRate / 200;
        for (size_t i = 0; i < samples.size(); ++i) {
            const double gain = std::min({1.0, static_cast<double>(i) / ramp, static_cast<double>(samples.size() - i) / ramp});
            samples[i] = static_cast<short>(16384 * gain
                                            * std::sin(2 * std::numbers::pi * toneFrequency(key) * static_cast<double>(i) / sampleRate));
        }
        SF_INFO info{};
        info.samplerate = sampleRate;
        info.channels = 1;
        info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
        const std::string path = dir + "/" + key + ".wav";
        SNDFILE *file = sf_open(path.c_str(), SFM_WRITE, &info);
        if (!file) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
        sf_write_short(file, samples.data(), static_cast<sf_count_t>(samples.size()));
        sf_close(file);
    }
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 2 && args[0] == "--make-tones")
        return makeTones(args[1]);
    if (args.size() == 2 && args[0] == "--raw")
        return runRaw(args[1]);

    Options opt;
    std::optional<Program> reference, subject;
    std::vector<Program> extras;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--monitor" && hasValue)
            opt.monitor = args[++i];
        else if (a == "--media" && hasValue)
            opt.media = args[++i];
        else if (a == "--tone-media" && hasValue)
            opt.toneMedia = args[++i];
        else if (a == "--starts" && hasValue)
            opt.starts = std::stoi(args[++i]);
        else if (a == "--rounds" && hasValue)
            opt.rounds = std::stoi(args[++i]);
        else if (a == "--cuts" && hasValue)
            opt.cuts = std::stoi(args[++i]);
        else if (a == "--monitor-latency" && hasValue)
            monitorLatencyMs = std::stoi(args[++i]);
        else if (a == "--verbose")
            opt.verbose = true;
        else if (a == "--idle" && hasValue)
            opt.idleSeconds = std::stod(args[++i]);
        else if ((a == "--reference" || a == "--subject" || a == "--extra") && i + 3 < args.size()) {
            const Program p{args[i + 1], args[i + 2], args[i + 3]};
            i += 3;
            if (a == "--reference")
                reference = p;
            else if (a == "--subject")
                subject = p;
            else
                extras.push_back(p);
        } else {
            std::fprintf(stderr, "usage: see the head of bench/bench_latency.cpp (unknown: %s)\n", a.c_str());
            return 2;
        }
    }
    if (!reference || opt.monitor.empty() || opt.media.empty() || opt.toneMedia.empty()) {
        std::fprintf(stderr, "need --monitor, --media, --tone-media and --reference\n");
        return 2;
    }
    opt.programs.push_back(*reference);
    if (subject)
        opt.programs.push_back(*subject);
    opt.hasSubject = subject.has_value();
    opt.programs.insert(opt.programs.end(), extras.begin(), extras.end());

    Display *display = XOpenDisplay(nullptr);
    int event = 0, error = 0, major = 0, minor = 0;
    if (!display || !XTestQueryExtension(display, &event, &error, &major, &minor) || !XShmQueryExtension(display)) {
        std::fprintf(stderr, "need an X display with XTest and MIT-SHM\n");
        return 1;
    }
    Recorder recorder;
    if (!recorder.start(opt.monitor)) {
        std::fprintf(stderr, "cannot record %s\n", opt.monitor.c_str());
        return 1;
    }
    Bench bench(display);

    std::vector<Result> results(opt.programs.size());
    for (size_t p = 0; p < opt.programs.size(); ++p)
        results[p].name = opt.programs[p].name;
    // Starts alternate between the programs, so a slow spell of the machine hits all alike.
    for (int s = 0; s < opt.starts; ++s) {
        for (size_t p = 0; p < opt.programs.size(); ++p) {
            Running run = bench.launch(opt.programs[p].command);
            if (!std::isnan(run.firstFrame))
                results[p].start.push_back(run.firstFrame);
            if (opt.verbose)
                std::fprintf(stderr, "%s: first frame after %.1f ms\n", results[p].name.c_str(), run.firstFrame);
            bench.stop(run);
        }
        std::fprintf(stderr, "start %d of %d done\n", s + 1, opt.starts);
    }
    for (size_t p = 0; p < opt.programs.size(); ++p)
        measure(bench, recorder, opt, opt.programs[p], results[p]);
    printTable(opt, results);
    return 0; // the display goes with the process: the screen grabber still holds it
}
