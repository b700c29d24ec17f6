#pragma once
// What the timing programs share: the median and 99th percentile of their timings, a
// machine folder of their own, and how they stop on a failed set-up.

#include <QTemporaryDir>
#include <QtGlobal>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
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

// Says what failed, under the program's name, and ends it with exit code 2.
[[noreturn]] inline void Fail(const std::string& what) {
    std::fprintf(stderr, "%s: %s\n", program_invocation_short_name, what.c_str());
    std::exit(2);
}

// A machine folder of its own for the life of the object, so that a benchmark never
// touches the user's; without a display named, Qt draws offscreen.
struct PrivateMachine {
    PrivateMachine() {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        if (!dir.isValid()) Fail("no temporary folder");
        qputenv("LUMARO_MACHINE", dir.path().toUtf8());
    }
    QTemporaryDir dir;
};

}  // namespace lumaro::bench
