#pragma once
// What a benchmarked step adds to the program's memory: the resident set
// when the window opens, and the peak since (Linux's VmHWM, reset to VmRSS).

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace quillon::bench {

// A "/proc/self/status" line's value in KiB; -1 when there is none.
inline long StatusKiB(const char* key) {
    std::ifstream in("/proc/self/status");
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(key, 0) == 0) return std::strtol(line.c_str() + std::strlen(key), nullptr, 10);
    }
    return -1;
}

struct Peak {
    long before;
    Peak() {
        std::ofstream("/proc/self/clear_refs") << "5";  // resets VmHWM to VmRSS
        before = StatusKiB("VmRSS:");
    }
    double GrowthMiB() const { return static_cast<double>(StatusKiB("VmHWM:") - before) / 1024.0; }
};

}  // namespace quillon::bench
