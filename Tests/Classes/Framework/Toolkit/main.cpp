#include "Platform/Foundation/Localization.h"
#include "Tests/PointerParking.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// The tests see the application's resources together with strings tables of a test language ("de"):
// the main bundle is made, on first use, over a folder that links every entry of the resources and
// adds the test tables.
void mirrorResourcesWithTestTables(const QTemporaryDir& mirror)
{
    const QDir resources(qEnvironmentVariable("PF_RESOURCES_DIR"));
    for (const QString& entry : resources.entryList(QDir::AllEntries | QDir::NoDotAndDotDot))
        QFile::link(resources.filePath(entry), mirror.filePath(entry));
    QDir(mirror.path()).remove(QStringLiteral("Localization"));
    QFile::link(QStringLiteral(GLIMORA_TESTS_DATA_DIR "/Toolkit/Localization"),
                mirror.filePath(QStringLiteral("Localization")));
    qputenv("PF_RESOURCES_DIR", QFile::encodeName(mirror.path()));
}

} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    QTemporaryDir mirror;
    mirrorResourcesWithTestTables(mirror);
    pf::Localization::setLanguageForTesting(QStringLiteral("en"));
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("toolkit-tests"));
    ::testing::UnitTest::GetInstance()->listeners().Append(new PointerParking);
    return RUN_ALL_TESTS();
}
