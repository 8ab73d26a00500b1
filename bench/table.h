// SPDX-License-Identifier: GPL-3.0-or-later
// The markdown table of the results: median (p90) per program, the subject against the
// reference, and whether each target is met.
#pragma once

#include "measure.h"

#include <vector>

namespace bench {

// The value at quantile q (0..1) of v, nearest rank; NaN for no values.
double quantile(std::vector<double> v, double q);
double median(const std::vector<double> &v);

// results follow opt.programs: reference, subject if opt.hasSubject, then extras.
void printTable(const Options &opt, const std::vector<Result> &results);
// The recorder's own table: its start and a key choosing its tile, against their targets.
void printRecorderTable(const Result &recorder);

} // namespace bench
