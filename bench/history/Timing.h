#pragma once

#include <algorithm>
#include <chrono>
#include <vector>

// The clock and the summary the history benchmarks share.
namespace Timing {

using Clock = std::chrono::steady_clock;

inline double MsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

inline double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace Timing
