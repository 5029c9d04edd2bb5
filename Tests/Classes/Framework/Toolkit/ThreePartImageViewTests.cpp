#include "Classes/Framework/Toolkit/OV3PartImageView.h"

#include <QImage>
#include <gtest/gtest.h>

namespace {

QImage filled(int width, int height, QColor color)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(color);
    return image;
}

// The colour of the snapshot at a y-up point (the centre of the pixel).
QColor at(const QImage& snapshot, int x, int yUp)
{
    return snapshot.pixelColor(x, snapshot.height() - 1 - yUp);
}

// Caps at natural size on the bottom edge, the middle stretched between them at its own height; caps
// that do not fit overlap and leave no middle; a missing part takes no room.
TEST(OV3PartImageView, DrawsCapsAtNaturalSizeAndStretchesTheMiddleBetween)
{
    const QColor red(255, 0, 0), green(0, 255, 0), blue(0, 0, 255), none(0, 0, 0, 0);
    struct Case
    {
        const char* name;
        double width;
        bool withLeft;
        // x -> expected colour at heights 5 and 15
        std::vector<std::tuple<int, QColor, QColor>> expected;
    };
    const std::vector<Case> cases = {
        {"wide", 100, true, {{5, red, red}, {50, green, none}, {13, green, none}, {95, blue, blue}}},
        // 10 + 12 > 15: the right cap covers the left from x 3 on; nothing green.
        {"narrow", 15, true, {{1, red, red}, {5, blue, blue}, {14, blue, blue}}},
        {"no left cap", 100, false, {{0, green, none}, {87, green, none}, {89, blue, blue}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        OV3PartImageView view(pf::Rect(0, 0, c.width, 30));
        if (c.withLeft)
            view.setLeftImg(filled(10, 20, red));
        view.setMidImg(filled(4, 10, green));
        view.setRightImg(filled(12, 20, blue));
        const QImage snapshot = view.snapshot(1.0);
        for (const auto& [x, low, high] : c.expected) {
            EXPECT_EQ(at(snapshot, x, 5), low) << "x " << x;
            EXPECT_EQ(at(snapshot, x, 15), high) << "x " << x;
        }
        EXPECT_EQ(at(snapshot, 5, 25), none);
    }
}

} // namespace
