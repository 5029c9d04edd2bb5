#pragma once

#include "bench/BenchRun.h"

#include <QApplication>
#include <string>
#include <vector>

// Runs the registered benchmarks in an offscreen application, as medians of five runs unless the
// command line asks for another number of repetitions.
inline int runBenchmarksOffscreen(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::vector<char*> args(argv, argv + argc);
    std::string repetitions = "--benchmark_repetitions=5",
                aggregates = "--benchmark_report_aggregates_only=true";
    bool given = false;
    for (int i = 1; i < argc; ++i)
        given = given || std::string(argv[i]).rfind("--benchmark_repetitions", 0) == 0;
    if (!given) {
        args.push_back(repetitions.data());
        args.push_back(aggregates.data());
    }
    return runBenchmarksAsAsked(int(args.size()), args.data());
}
