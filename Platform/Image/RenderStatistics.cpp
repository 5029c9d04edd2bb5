#include "Platform/Image/RenderStatistics.h"

#include <atomic>

namespace pf {

namespace {

std::atomic<uint64_t> passCount{0};
std::atomic<uint64_t> cpuPassCount{0};
std::atomic<bool> fusion{true};
std::atomic<bool> cpuFilters{true};

} // namespace

uint64_t RenderStatistics::passes()
{
    return passCount.load(std::memory_order_relaxed);
}

void RenderStatistics::resetPasses()
{
    passCount.store(0, std::memory_order_relaxed);
    cpuPassCount.store(0, std::memory_order_relaxed);
}

void RenderStatistics::countPass()
{
    passCount.fetch_add(1, std::memory_order_relaxed);
}

uint64_t RenderStatistics::cpuPasses()
{
    return cpuPassCount.load(std::memory_order_relaxed);
}

void RenderStatistics::countCpuPass()
{
    passCount.fetch_add(1, std::memory_order_relaxed);
    cpuPassCount.fetch_add(1, std::memory_order_relaxed);
}

bool RenderStatistics::fusionEnabled()
{
    return fusion.load(std::memory_order_relaxed);
}

void RenderStatistics::setFusionEnabled(bool enabled)
{
    fusion.store(enabled, std::memory_order_relaxed);
}

bool RenderStatistics::cpuFiltersEnabled()
{
    return cpuFilters.load(std::memory_order_relaxed);
}

void RenderStatistics::setCpuFiltersEnabled(bool enabled)
{
    cpuFilters.store(enabled, std::memory_order_relaxed);
}

} // namespace pf
