// SPDX-License-Identifier: GPL-3.0-or-later
#include "proc.h"

#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

namespace bench {

long procField(pid_t pid, const std::string &file, const std::string &field)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/" + file);
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(field, 0) == 0)
            return std::stol(line.substr(field.size()));
    return 0;
}

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

bool dropPageCache()
{
    sync();
    std::FILE *control = std::fopen("/proc/sys/vm/drop_caches", "w");
    if (!control)
        return false;
    const bool written = std::fputs("3\n", control) >= 0;
    return std::fclose(control) == 0 && written;
}

} // namespace bench
