#pragma once
// The clocks and the figure the benchmarks share: wall seconds since a moment, processor seconds
// of a usage record or of this process, and the median of the rounds.

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <vector>

namespace sivaro::bench {

inline double seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// User and system time together.
inline double cpuSeconds(const rusage& u) {
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

inline double selfCpu() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return cpuSeconds(u);
}

inline double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n == 0 ? 0 : (n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2);
}

}  // namespace sivaro::bench
