#pragma once
// The median and 99th percentile of a benchmark's timings, in the unit they were taken in.

#include <algorithm>
#include <vector>

namespace lumaro::bench {

struct Stats {
    double median = 0, p99 = 0;
};

inline Stats Summarize(std::vector<double> times) {
    if (times.empty()) return {};
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], times[std::min(times.size() - 1, times.size() * 99 / 100)]};
}

}  // namespace lumaro::bench
