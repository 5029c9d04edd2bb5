#include "Classes/Filters/FilterLibrary.h"
#include "Classes/Frames/FramesLibrary.h"
#include "Platform/Foundation/FileSystem.h"

#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // The frame catalogs keep the user's frames in the working area and count frame IDs in the
    // defaults: both go to a folder of this run.
    QTemporaryDir workingArea;
    qputenv("PF_USER_DEFAULTS_FILE", workingArea.filePath(QStringLiteral("defaults.conf")).toUtf8());
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("glimora-tests"));
    pf::FileSystem::setApplicationSupportDirectoryForTesting(workingArea.filePath(QStringLiteral("support")));
    FilterLibrary::registerAll();
    FramesLibrary::registerAll();
    return RUN_ALL_TESTS();
}
