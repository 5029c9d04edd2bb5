#pragma once

#include "Classes/Filters/FilterLibrary.h"
#include "Classes/ToolObjects/OVBrushFramework/OVBrushPathImage.h"
#include "Platform/Foundation/FileSystem.h"
#include "TestFilters.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

// The main of a test program whose tests build tool chains: an application of the kind its tests need,
// the filters registered, and a working area of the run's own for the mask snapshots (never the user's
// folder), which outlives every snapshot write.
template <class Application> int runChainTests(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    Application app(argc, argv);
    Application::setApplicationName(QStringLiteral("glimora-tests"));
    QTemporaryDir workingArea;
    pf::FileSystem::setApplicationSupportDirectoryForTesting(workingArea.path());
    FilterLibrary::registerAll();
    testfilters::registerAll();
    const int result = RUN_ALL_TESTS();
    OVBrushPathImage::waitForPendingWrites();
    return result;
}
