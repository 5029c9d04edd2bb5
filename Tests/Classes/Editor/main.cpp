#include "Classes/Filters/FilterLibrary.h"
#include "Classes/ToolObjects/OVBrushFramework/OVBrushPathImage.h"
#include "Platform/Foundation/FileSystem.h"
#include "Platform/Foundation/Localization.h"
#include "TestFilters.h"
#include "Tests/PointerParking.h"

#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    QTemporaryDir workingArea; // masks and user defaults are written here, never in the user's folders
    qputenv("PF_USER_DEFAULTS_FILE",
            QFile::encodeName(workingArea.filePath(QStringLiteral("defaults.conf"))));
    pf::Localization::setLanguageForTesting(QStringLiteral("en"));
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("editor-tests"));
    pf::FileSystem::setApplicationSupportDirectoryForTesting(workingArea.path());
    FilterLibrary::registerAll();
    testfilters::registerAll();
    ::testing::UnitTest::GetInstance()->listeners().Append(new PointerParking);
    const int result = RUN_ALL_TESTS();
    OVBrushPathImage::waitForPendingWrites();
    return result;
}
