#include "Classes/Filters/FilterLibrary.h"
#include "Classes/ToolObjects/OVBrushFramework/OVBrushPathImage.h"
#include "Platform/Foundation/FileSystem.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("glimora-tests"));
    FilterLibrary::registerAll();
    QTemporaryDir workingArea;
    pf::FileSystem::setApplicationSupportDirectoryForTesting(workingArea.path());
    const int result = RUN_ALL_TESTS();
    OVBrushPathImage::waitForPendingWrites(); // before the working area goes away
    return result;
}
