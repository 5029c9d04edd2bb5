#pragma once

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <sys/resource.h>
#include <vector>

// Figures the benchmarks report: durations in milliseconds, medians, nearest-rank percentiles, the
// process's processor time and peak memory, and the load they were measured under.
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

// The middle sample (the upper of the two middle ones of an even count); 0 when there are none.
inline double median(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    return samples.empty() ? 0 : samples[samples.size() / 2];
}

// The machine's load average over the last minute, printed beside every wall-time figure; -1 when
// it cannot be read.
inline double loadAverage()
{
    double load[1] = {0};
    return getloadavg(load, 1) == 1 ? load[0] : -1;
}

// The process's processor time on all its threads (the renderer's included), in seconds: on a shared, busy
// machine it varies less than the wall time does.
inline double processCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The process's high-water mark in megabytes: honest only for a benchmark run in a process of its own.
inline double residentPeakMB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

} // namespace bench
