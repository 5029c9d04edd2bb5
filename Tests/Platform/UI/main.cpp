#include "Tests/PointerParking.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("pf-ui-tests"));
    ::testing::UnitTest::GetInstance()->listeners().Append(new PointerParking);
    return RUN_ALL_TESTS();
}
