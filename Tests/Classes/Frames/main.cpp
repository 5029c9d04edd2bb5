#include "Classes/Filters/FilterLibrary.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("glimora-tests"));
    FilterLibrary::registerAll();
    return RUN_ALL_TESTS();
}
