// SPDX-License-Identifier: GPL-3.0-or-later
// Reads a running program's memory, context switches and CPU time from /proc.
#pragma once

#include <sys/types.h>

#include <string>
#include <utility>

namespace bench {

// The number after `field` on its line of /proc/<pid>/<file>, or 0.
long procField(pid_t pid, const std::string &file, const std::string &field);

// Context switches and CPU time of all the process's threads: a wake-up of any thread
// costs the battery, not only the main one's.
std::pair<long, double> switchesAndCpuMs(pid_t pid);

// Empties the kernel's page cache, so that the next start reads its libraries and
// media from the disk. False where that is not allowed (not root, a read-only /proc).
bool dropPageCache();

} // namespace bench
