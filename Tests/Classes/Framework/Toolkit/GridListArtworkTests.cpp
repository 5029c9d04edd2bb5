#include "Platform/Foundation/Bundle.h"
#include "Platform/UI/NamedImage.h"

#include <QStringList>
#include <gtest/gtest.h>

namespace {

// Every image the grid items, the stack, the shadowed scroll view, the grid's interface, the entries and
// the tool bar's shades ask for by name, at both scales.
TEST(GridListArtwork, EveryImageNameLoadsAtBothScales)
{
    const QStringList names = {
        "GridItemRemove",     "GridItemRemoveHover", "GridItemRemoveDown", "GridItemPin",
        "GridItemPinHover",   "GridItemPinDown",     "GridItemPinSet",     "GridItemPinSetHover",
        "GridItemPinSetDown", "StackShadow",         "BentTopShadow",      "BentBottomShadow",
        "ListTopShadow",      "ListBottomShadow",    "NoiseMainBkg",       "NoiseFull",
    };
    for (const QString& name : names) {
        SCOPED_TRACE(name.toStdString());
        const QImage one = pf::NamedImage::image(name, 1, pf::Bundle::main());
        const QImage two = pf::NamedImage::image(name, 2, pf::Bundle::main());
        ASSERT_FALSE(one.isNull());
        ASSERT_FALSE(two.isNull());
        EXPECT_EQ(two.width(), 2 * one.width());
        EXPECT_EQ(two.height(), 2 * one.height());
    }
}

} // namespace
