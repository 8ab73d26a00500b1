// SPDX-License-Identifier: GPL-3.0-or-later
#include "table.h"

#include "harness.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>

namespace bench {

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

namespace {

std::string format(const char *pattern, double a, double b = NAN)
{
    if (std::isnan(a))
        return "–";
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, pattern, a, b);
    return buffer;
}

std::string medianP90(const std::vector<double> &v)
{
    return format("%.1f (%.1f)", median(v), quantile(v, 0.9));
}

} // namespace

void printTable(const Options &opt, const std::vector<Result> &results)
{
    const Result &ref = results[0];
    const bool haveSubject = opt.hasSubject;
    const Result &sub = haveSubject ? results[1] : results[0];
    struct Row {
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
         [](const Result &r) { return median(r.start); }, "≤ reference",
         judge(!sub.start.empty(), ratioStart <= 1.0)},
        {"start → first frame, cold cache, ms", [](const Result &r) { return medianP90(r.coldStart); },
         [](const Result &r) { return median(r.coldStart); }, "≤ reference",
         judge(!sub.coldStart.empty(), median(sub.coldStart) <= median(ref.coldStart))},
        {"key → frame (the character), ms", [](const Result &r) { return medianP90(r.frame); },
         [](const Result &r) { return median(r.frame); }, "≤ reference + 0.5 ms, p90 < 8 ms",
         judge(!sub.frame.empty(), median(sub.frame) <= median(ref.frame) + 0.5 && quantile(sub.frame, 0.9) < 8)},
        {"key → last change (the picture too), ms", [](const Result &r) { return medianP90(r.shown); },
         [](const Result &r) { return median(r.shown); }, "p90 < 8 ms",
         judge(!sub.shown.empty(), quantile(sub.shown, 0.9) < 8)},
        {"key → first audible sample, first press of a key, ms",
         [](const Result &r) { return medianP90(r.soundFirst); }, [](const Result &r) { return median(r.soundFirst); },
         "≤ 15 ms, p90 ≤ 25 ms",
         judge(!sub.soundFirst.empty(), median(sub.soundFirst) <= 15 && quantile(sub.soundFirst, 0.9) <= 25)},
        {"key → first audible sample, later presses, ms", [](const Result &r) { return medianP90(r.soundNext); },
         [](const Result &r) { return median(r.soundNext); }, "≤ 15 ms, p90 ≤ 25 ms",
         judge(!sub.soundNext.empty(), median(sub.soundNext) <= 15 && quantile(sub.soundNext, 0.9) <= 25)},
        {"presses not heard",
         [](const Result &r) { return std::to_string(r.unheard) + " of " + std::to_string(r.presses); },
         [](const Result &r) { return static_cast<double>(r.unheard); }, "none",
         judge(sub.presses > 0, sub.unheard == 0)},
        {"new key → old recording silent, ms",
         [](const Result &r) {
             return medianP90(r.cut) + (r.cutsUnheard ? " (" + std::to_string(r.cutsUnheard) + " unheard)" : "");
         },
         [](const Result &r) { return median(r.cut); }, "≤ 15 ms, p90 ≤ 25 ms",
         judge(sub.cutsTried > 0, sub.cutsUnheard == 0 && median(sub.cut) <= 15 && quantile(sub.cut, 0.9) <= 25)},
        {"RSS after all keys, MB", [](const Result &r) { return format("%.1f", r.rssMb); },
         [](const Result &r) { return r.rssMb; }, "≤ reference + 5 MB",
         judge(!std::isnan(sub.rssMb), sub.rssMb <= ref.rssMb + 5)},
        {"idle wake-ups per second", [](const Result &r) { return format("%.1f", r.wakeups); },
         [](const Result &r) { return r.wakeups; }, "none (< 0.1)",
         judge(!std::isnan(sub.wakeups), sub.wakeups < 0.1)},
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
        header += "| " + sub.name + " / " + ref.name + " ";
        rule += "|---:";
        if (opt.targets) {
            header += "| target | met ";
            rule += "|---|:---:";
        }
    }
    std::printf("%s|\n%s|\n", header.c_str(), rule.c_str());
    for (const Row &row : rows) {
        std::string line = "| " + row.measure + " ";
        for (const Result *r : columns)
            line += "| " + row.cell(*r) + " ";
        if (haveSubject) {
            // No ratio to a reference of nothing (or, for a cut, of less than nothing).
            const double ratio = row.value(ref) > 0 ? row.value(sub) / row.value(ref) : NAN;
            line += "| " + (std::isfinite(ratio) ? format("%.2f", ratio) : std::string("–")) + " ";
            if (opt.targets)
                line += "| " + row.target + " | " + (row.met ? (*row.met ? "✅" : "❌") : "") + " ";
        }
        std::printf("%s|\n", line.c_str());
    }
    std::printf("\n%d starts per program, and %zu from a cold page cache; %d presses of each of the 36 keys "
                "(the reference and the subject running side by side, each round of 36 taken by each in turn, "
                "the first turn passing from one to the other; "
                "key → frame and key → last change over all %zu presses, "
                "key → sound split into the first press of each key and the later ones); %d cuts; idle over %.0f s. "
                "Sound times run from the key to the first sample above -40 dBFS arriving from the null sink's "
                "monitor (the null sink mixes at most %d ms ahead), less the silence the recording itself begins "
                "with.\n",
                opt.starts, ref.coldStart.size(), opt.rounds, keys.size() * opt.rounds, opt.cuts, opt.idleSeconds,
                opt.monitorLatencyMs);
}

void printRecorderTable(const Result &r)
{
    // One frame of a 60 Hz screen.
    constexpr double FrameMs = 1000.0 / 60;
    const auto mark = [](bool measured, bool ok) { return measured ? (ok ? "✅" : "❌") : ""; };
    std::printf("| %s (median (p90)) | ms | target | met |\n|---|---:|---|:---:|\n", r.name.c_str());
    std::printf("| start → first frame, all 36 tiles | %s | ≤ 150 ms | %s |\n", medianP90(r.start).c_str(),
                mark(!r.start.empty(), median(r.start) <= 150));
    std::printf("| key → frame (its tile chosen) | %s | within one frame (%.1f ms) | %s |\n",
                medianP90(r.frame).c_str(), FrameMs, mark(!r.frame.empty(), quantile(r.frame, 0.9) <= FrameMs));
    std::printf("| key → last change (its picture too) | %s |  |  |\n", medianP90(r.shown).c_str());
    std::printf("\n%zu starts; each of the 36 keys typed once.\n", r.start.size());
}

} // namespace bench
