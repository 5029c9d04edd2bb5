#include "Platform/Foundation/Localization.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    pf::Localization::setLanguageForTesting(QStringLiteral("en"));
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("editor-tests"));
    return RUN_ALL_TESTS();
}
