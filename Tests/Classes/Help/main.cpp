#include "Platform/Media/Movie.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    pf::Movie::chooseBackend();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("help-tests"));
    return RUN_ALL_TESTS();
}
