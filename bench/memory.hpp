#pragma once

// The memory a benchmark prints: the peak and the present resident size of its process (Linux).

#include <sys/resource.h>
#include <unistd.h>

#include <fstream>

namespace brandel::bench {

// The largest resident size the process has had, in kB.
inline long peak_rss_kb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Resident memory now, in kB; -1 where it cannot be told.
inline long current_rss_kb() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = -1;
    if (!(statm >> pages >> resident))
        return -1;
    return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

}  // namespace brandel::bench
