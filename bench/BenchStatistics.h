#pragma once

#include <algorithm>
#include <chrono>
#include <cmath>
#include <vector>

// Figures the latency benchmarks report: durations in milliseconds and nearest-rank percentiles.
namespace bench {

inline double milliseconds(std::chrono::steady_clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

// The nearest-rank percentile (p in 0..1) of the samples; 0 when there are none.
inline double percentile(std::vector<double> samples, double p)
{
    if (samples.empty())
        return 0;
    std::sort(samples.begin(), samples.end());
    return samples[std::max<size_t>(1, size_t(std::ceil(p * double(samples.size())))) - 1];
}

} // namespace bench
