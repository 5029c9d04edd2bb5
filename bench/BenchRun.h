#pragma once

#include <benchmark/benchmark.h>

#include <QtGlobal>

// Runs the registered benchmarks as the command line asks: each once, unless it names repetitions.
inline int runBenchmarksAsAsked(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// How the benchmarks that keep their own samples are registered: one iteration a repetition, five
// repetitions, in milliseconds of wall time. `BENCHMARK(...)->Apply(fiveSingleRuns)`.
inline void fiveSingleRuns(benchmark::internal::Benchmark* registered)
{
    registered->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(5);
}

// The same inside an offscreen application of the kind the benchmarks draw with (QGuiApplication for
// layers alone, QApplication for widgets).
template <class Application> int runBenchmarksOffscreenAsAsked(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    Application app(argc, argv);
    return runBenchmarksAsAsked(argc, argv);
}
