// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure.h"

#include "driver.h"
#include "harness.h"
#include "media.h"
#include "proc.h"
#include "recorder.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace bench {

namespace {

// Starts the program, waits for its first frame and stops it again; the time to that
// frame goes to `times` (none if no frame came) and is returned.
double startOnce(Driver &driver, const std::string &command, std::vector<double> &times)
{
    Running run = driver.launch(command);
    if (!std::isnan(run.firstFrame))
        times.push_back(run.firstFrame);
    driver.stop(run);
    return run.firstFrame;
}

} // namespace

void measureStarts(Driver &driver, const Options &opt, std::vector<Result> &results)
{
    std::vector<double> uncounted;
    for (int w = 0; w < opt.warmUps; ++w) {
        for (const Program &program : opt.programs)
            startOnce(driver, program.command, uncounted);
    }
    for (int s = 0; s < opt.starts; ++s) {
        for (size_t p = 0; p < opt.programs.size(); ++p) {
            const double frame = startOnce(driver, opt.programs[p].command, results[p].start);
            if (opt.verbose)
                std::fprintf(stderr, "%s: first frame after %.1f ms\n", results[p].name.c_str(), frame);
        }
        std::fprintf(stderr, "start %d of %d done\n", s + 1, opt.starts);
    }
    for (int s = 0; s < opt.coldStarts; ++s) {
        for (size_t p = 0; p < opt.programs.size(); ++p) {
            if (!dropPageCache()) {
                std::fprintf(stderr, "cold starts skipped: the page cache cannot be emptied (not root?)\n");
                return;
            }
            startOnce(driver, opt.programs[p].command, results[p].coldStart);
        }
        std::fprintf(stderr, "cold start %d of %d done\n", s + 1, opt.coldStarts);
    }
}

namespace {

// The cut: key A's tone plays, key B comes 150 ms into it; A's frequency must vanish.
void measureCuts(Driver &driver, Recorder &rec, const Options &opt, const Program &program, Result &result)
{
    Running run = driver.launch(program.toneCommand);
    if (std::isnan(run.firstFrame)) {
        driver.stop(run);
        return;
    }
    driver.focus(run);
    constexpr size_t window = sampleRate / 100, hop = sampleRate / 1000;
    for (int c = 0; c < opt.cuts; ++c) {
        const char a = keys[(7 * c) % keys.size()], b = keys[(7 * c + 18) % keys.size()];
        waitQuiet(rec);
        rec.forget();
        ++result.cutsTried;
        const double pressedA = driver.press(a);
        const double heardA = firstAudible(rec, pressedA, pressedA + opt.keyLimitMs);
        if (std::isnan(heardA)) {
            ++result.cutsUnheard;
            continue;
        }
        while (nowMs() < heardA + 150)
            sleepMs(1);
        const double pressedB = driver.press(b);
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
    driver.stop(run);
}

} // namespace

void measure(Driver &driver, Recorder &rec, const Options &opt, const std::vector<size_t> &together,
             std::vector<Result> &results)
{
    std::vector<double> leadIn(keys.size());
    for (size_t i = 0; i < keys.size(); ++i)
        leadIn[i] = leadInMs(opt.media + "/" + keys[i] + ".wav");

    // All the programs run at once, and the rounds of keys go to each in turn:
    // a slow spell of the machine (another process, the host) then falls on
    // all of them alike, not on whichever program's keys came at that time.
    std::vector<Running> runs(opt.programs.size());
    for (const size_t p : together) {
        runs[p] = driver.launch(opt.programs[p].command);
        if (std::isnan(runs[p].firstFrame))
            std::fprintf(stderr, "%s: no window within %.0f s\n", results[p].name.c_str(), opt.startLimitMs / 1e3);
    }
    // Every key, `rounds` times over: the first round is each key's first press.
    // Which program takes its round first turns with each round, so that none
    // always meets the machine just after the keys' pause.
    for (int round = 0; round < opt.rounds; ++round) {
        for (size_t turn = 0; turn < together.size(); ++turn) {
            const size_t p = together[(turn + size_t(round)) % together.size()];
            if (std::isnan(runs[p].firstFrame))
                continue;
            Result &result = results[p];
            driver.focus(runs[p]);
            for (size_t i = 0; i < keys.size(); ++i) {
                waitQuiet(rec);
                rec.forget();
                const double shown = driver.pressAndWatch(keys[i]);
                const double pressed = driver.lastPress();
                const double heard = firstAudible(rec, pressed, pressed + opt.keyLimitMs);
                result.frame.push_back(driver.firstChange());
                result.shown.push_back(shown);
                ++result.presses;
                if (std::isnan(heard))
                    ++result.unheard;
                else
                    (round == 0 ? result.soundFirst : result.soundNext).push_back(heard - pressed - leadIn[i]);
                if (opt.verbose)
                    std::fprintf(stderr, "%s %c: first change %.1f ms, last %.1f ms, sound %.1f ms\n",
                                 result.name.c_str(), keys[i], driver.firstChange(), shown,
                                 heard - pressed - leadIn[i]);
            }
            std::fprintf(stderr, "%s: round %d of %d done\n", result.name.c_str(), round + 1, opt.rounds);
        }
    }
    waitQuiet(rec);

    // Memory and idle wake-ups: each program's own process, the others idle beside it.
    for (const size_t p : together) {
        if (std::isnan(runs[p].firstFrame))
            continue;
        Result &result = results[p];
        result.rssMb = procField(runs[p].pid, "status", "VmRSS:") / 1024.0;
        sleepMs(1000);
        const auto [switches0, cpu0] = switchesAndCpuMs(runs[p].pid);
        const double t0 = nowMs();
        sleepMs(opt.idleSeconds * 1000);
        const auto [switches1, cpu1] = switchesAndCpuMs(runs[p].pid);
        const double seconds = (nowMs() - t0) / 1e3;
        result.wakeups = (switches1 - switches0) / seconds;
        result.idleCpuMs = (cpu1 - cpu0) * opt.idleSeconds / seconds;
    }
    for (Running &run : runs)
        driver.stop(run);

    for (const size_t p : together)
        measureCuts(driver, rec, opt, opt.programs[p], results[p]);
}

void measureRecorder(Driver &driver, const Options &opt, const Program &recorder, Result &result)
{
    for (int s = 0; s < opt.starts; ++s)
        startOnce(driver, recorder.command, result.start);
    Running run = driver.launch(recorder.command);
    if (std::isnan(run.firstFrame)) {
        std::fprintf(stderr, "%s: no window within %.0f s\n", recorder.name.c_str(), opt.startLimitMs / 1e3);
        driver.stop(run);
        return;
    }
    driver.focus(run);
    for (const char key : keys) {
        result.shown.push_back(driver.pressAndWatch(key));
        result.frame.push_back(driver.firstChange());
    }
    driver.stop(run);
    std::fprintf(stderr, "%s: done\n", recorder.name.c_str());
}

} // namespace bench
