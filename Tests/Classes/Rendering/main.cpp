#include "Classes/Filters/FilterLibrary.h"
#include "Classes/ToolObjects/OVBrushFramework/OVBrushPathImage.h"
#include "Platform/Foundation/FileSystem.h"
#include "TestFilters.h"

#include <QGuiApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("glimora-tests"));
    QTemporaryDir workingArea; // mask snapshots are written here, never in the user's folder
    pf::FileSystem::setApplicationSupportDirectoryForTesting(workingArea.path());
    FilterLibrary::registerAll();
    testfilters::registerAll();
    const int result = RUN_ALL_TESTS();
    OVBrushPathImage::waitForPendingWrites(); // before the working area goes away
    return result;
}
