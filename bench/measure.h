// SPDX-License-Identifier: GPL-3.0-or-later
// What the benchmark measures of each program, and how: starts, key → frame, key →
// sound, a new key cutting the old recording, memory and idle wake-ups.
#pragma once

#include <cmath>
#include <string>
#include <vector>

namespace bench {

class Driver;
class Recorder;

// A program to measure: command runs it on the media, toneCommand on the tone pack.
struct Program {
    std::string name, command, toneCommand;
};

struct Options {
    std::string monitor, media, toneMedia;
    int starts = 10, coldStarts = 3, rounds = 3, cuts = 12;
    // Starts of each program before the measured ones, not counted: they bring its files
    // into the page cache and, under Wine, its prefix's services up.
    int warmUps = 0;
    double idleSeconds = 10;
    // How far ahead the null sink may mix: about what a sound card's rewind leaves.
    int monitorLatencyMs = 4;
    // How long a program may take to show its first frame, and a key its frame or sound,
    // before it counts as not done: longer for programs under an emulation layer.
    double startLimitMs = 10000, keyLimitMs = 1000;
    bool verbose = false;
    bool targets = true; // the table's target and met columns
    bool windowManager = false; // a window manager runs: the programs' windows are framed
    std::vector<Program> programs; // reference, subject if any, then extras
    bool hasSubject = false;
};

// One program's figures, in ms unless named otherwise.
struct Result {
    std::string name;
    // frame: the key's first change on the screen (its character); shown: its last (the picture too).
    std::vector<double> start, coldStart, frame, shown, soundFirst, soundNext, cut;
    int presses = 0, unheard = 0, cutsTried = 0, cutsUnheard = 0;
    double rssMb = NAN, wakeups = NAN, idleCpuMs = NAN;
};

// Starts every program opt.starts times, alternating between them, so a slow spell of
// the machine hits all alike; results[p] gets program p's start → first frame times.
// The warm-up starts come first; then opt.coldStarts more each, the page cache emptied
// before every one (as root).
void measureStarts(Driver &driver, const Options &opt, std::vector<Result> &results);

// Everything else, for the programs `together` (indices into opt.programs): the keys on
// one run of each, all running at once, in rounds taken by each program in turn; then
// each program's cuts on the tone pack.
void measure(Driver &driver, Recorder &rec, const Options &opt, const std::vector<size_t> &together,
             std::vector<Result> &results);

// The grown-ups' recorder: opt.starts starts to its first frame, all 36 tiles in it,
// then each key typed once to choose it (frame: the first change; shown: the last).
void measureRecorder(Driver &driver, const Options &opt, const Program &recorder, Result &result);

} // namespace bench
