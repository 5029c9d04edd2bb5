#pragma once

// What the benchmarks over the test effects set up around their runs: the application support folder in
// a working area of their own, and the filters and the test effects registered.

#include "Classes/Filters/FilterLibrary.h"
#include "Classes/ToolObjects/OVBrushFramework/OVBrushPathImage.h"
#include "Platform/Foundation/FileSystem.h"
#include "TestFilters.h"
#include "bench/BenchRun.h"

#include <QTemporaryDir>

namespace bench {

// Runs the registered benchmarks as the command line asks, inside the application already made.
inline int runWithTestEffects(int argc, char** argv)
{
    QTemporaryDir workingArea;
    pf::FileSystem::setApplicationSupportDirectoryForTesting(workingArea.path());
    FilterLibrary::registerAll();
    testfilters::registerAll();
    runBenchmarksAsAsked(argc, argv);
    // The masks' snapshots are written in the background: they finish before the working area goes.
    OVBrushPathImage::waitForPendingWrites();
    return 0;
}

} // namespace bench
