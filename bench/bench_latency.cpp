// SPDX-License-Identifier: GPL-3.0-or-later
// bench_latency: starts programs on an Xvfb display, presses keys through XTest, times
// what they show (by polling the screen) and what they play (by recording the PulseAudio
// null sink's monitor), reads memory and idle wake-ups from /proc, and prints a markdown
// table comparing a program with a reference. bench/run sets the stage and calls it.
//
//   bench_latency --make-tones DIR     write the tone pack: key i plays 400 + 100 i Hz
//   bench_latency --monitor SOURCE --media DIR --tone-media DIR
//                 --reference NAME CMD TONE_CMD --subject NAME CMD TONE_CMD
//                 [--extra NAME CMD TONE_CMD] [--starts N] [--cold-starts N] [--rounds N] [--cuts N] [--idle S]
//                 [--monitor-latency MS] [--warm-up N] [--start-limit S] [--key-limit MS] [--no-targets]
//                 [--recorder NAME CMD] [--window-manager] [--verbose]
// CMD runs the program on the media in DIR; TONE_CMD runs it on the tone pack, which is
// used to check that a new key cuts the old recording short. --warm-up starts each program
// N times first without counting them. --start-limit (10 s) and --key-limit (1000 ms) are
// how long a start and a key may take before they count as failed; --no-targets leaves
// the targets, made for the native program, out of the table. --window-manager: a window
// manager runs on the display (its compositor draws the screen; starts are not measured).
#include "driver.h"
#include "measure.h"
#include "media.h"
#include "recorder.h"
#include "table.h"

#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/XTest.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

using namespace bench;

int main(int argc, char *argv[])
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 2 && args[0] == "--make-tones")
        return makeTones(args[1]);

    Options opt;
    std::optional<Program> reference, subject, grownUps;
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
        else if (a == "--cold-starts" && hasValue)
            opt.coldStarts = std::stoi(args[++i]);
        else if (a == "--rounds" && hasValue)
            opt.rounds = std::stoi(args[++i]);
        else if (a == "--cuts" && hasValue)
            opt.cuts = std::stoi(args[++i]);
        else if (a == "--monitor-latency" && hasValue)
            opt.monitorLatencyMs = std::stoi(args[++i]);
        else if (a == "--recorder" && i + 2 < args.size()) {
            grownUps = Program{args[i + 1], args[i + 2], {}};
            i += 2;
        } else if (a == "--warm-up" && hasValue)
            opt.warmUps = std::stoi(args[++i]);
        else if (a == "--start-limit" && hasValue)
            opt.startLimitMs = std::stod(args[++i]) * 1e3;
        else if (a == "--key-limit" && hasValue)
            opt.keyLimitMs = std::stod(args[++i]);
        else if (a == "--no-targets")
            opt.targets = false;
        else if (a == "--window-manager")
            opt.windowManager = true;
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
    if (!recorder.start(opt.monitor, opt.monitorLatencyMs)) {
        std::fprintf(stderr, "cannot record %s\n", opt.monitor.c_str());
        return 1;
    }
    Driver driver(display, opt.startLimitMs, opt.keyLimitMs, opt.windowManager);

    std::vector<Result> results(opt.programs.size());
    for (size_t p = 0; p < opt.programs.size(); ++p)
        results[p].name = opt.programs[p].name;
    measureStarts(driver, opt, results);
    // The reference and the subject side by side, so the two are compared under the same
    // conditions; an extra alone (the raw Xlib window's stream never rests, and would
    // keep waking the machine under the others' keys).
    const size_t compared = opt.hasSubject ? 2 : 1;
    std::vector<size_t> together;
    for (size_t p = 0; p < compared; ++p)
        together.push_back(p);
    measure(driver, recorder, opt, together, results);
    for (size_t p = compared; p < opt.programs.size(); ++p)
        measure(driver, recorder, opt, {p}, results);
    printTable(opt, results);
    if (grownUps) {
        Result recorderResult;
        recorderResult.name = grownUps->name;
        measureRecorder(driver, opt, *grownUps, recorderResult);
        std::printf("\n");
        printRecorderTable(recorderResult);
    }
    return 0; // the display goes with the process: the screen grabber still holds it
}
