#include "Platform/Image/Gradient.h"

#include <QImage>
#include <QPainter>
#include <cmath>
#include <gtest/gtest.h>

using pf::Color;
using pf::Gradient;

TEST(Gradient, ColourAtALocation)
{
    const Color red(1, 0, 0, 1), blue(0, 0, 1, 0.5), white(1, 1, 1, 1);
    // Unsorted stops, and a hard edge from red to blue where two stops share 0.5.
    const Gradient g({{1.0, white}, {0.0, red}, {0.5, red}, {0.5, blue}});
    struct Case
    {
        double location;
        Color expected;
    };
    const Case cases[] = {
        {-1, red},
        {0, red},
        {0.25, red},
        {0.4999, red},
        {0.5, blue}, // from the edge on, the later of the two stops
        {0.75, {0.5, 0.5, 1, 0.75}},
        {2, white},
    };
    for (const Case& c : cases)
        EXPECT_EQ(g.interpolatedColorAtLocation(c.location), c.expected) << c.location;
    EXPECT_EQ(Gradient().interpolatedColorAtLocation(0.5), Color(0, 0, 0, 0));
}

TEST(Gradient, BitmapsRunAtTheirAngle)
{
    const Gradient g(Color(0, 0, 0, 1), Color(1, 1, 1, 1));
    // Location of a pixel centre: its projection on the direction over the rectangle's projected length.
    const int w = 8, h = 4;
    for (double degrees : {0.0, 90.0, 45.0, 180.0, -30.0}) {
        const pf::Bitmap b = g.bitmap(w, h, degrees);
        ASSERT_EQ(b.width(), w);
        const double r = degrees * M_PI / 180;
        const double length = std::abs(w * std::cos(r)) + std::abs(h * std::sin(r));
        for (int row = 0; row < h; ++row)
            for (int x = 0; x < w; ++x) {
                const double y = h - 1 - row; // y up
                const double t =
                    ((x + 0.5 - w / 2.0) * std::cos(r) + (y + 0.5 - h / 2.0) * std::sin(r)) / length + 0.5;
                float p[4];
                b.pixel(x, row, p);
                EXPECT_NEAR(p[0], std::clamp(t, 0.0, 1.0), 1e-6) << degrees << " " << x << "," << y;
                EXPECT_EQ(p[3], 1.0f);
            }
    }
    // Premultiplied, like every bitmap.
    float p[4];
    Gradient(Color(1, 0, 0, 0.5), Color(1, 0, 0, 0.5)).bitmap(1, 1).pixel(0, 0, p);
    EXPECT_EQ(p[0], 0.5f);
    EXPECT_TRUE(g.bitmap(0, 3).isNull());
}

TEST(Gradient, DrawsInThePaintersOwnCoordinates)
{
    const Gradient g(Color(0, 0, 0, 1), Color(1, 1, 1, 1));
    // At 90 degrees location 0 is at the smallest y of the painter: the top of a plain image, the
    // bottom of one painted through a y-up transform.
    for (bool yUp : {false, true}) {
        QImage image(4, 100, QImage::Format_RGBA8888_Premultiplied);
        image.fill(Qt::red);
        QPainter painter(&image);
        if (yUp)
            painter.setTransform(QTransform(1, 0, 0, -1, 0, 100));
        g.drawInRect(painter, QRectF(0, 10, 4, 80), 90);
        painter.end();
        const int dark = yUp ? 88 : 11, light = yUp ? 11 : 88;
        EXPECT_LT(qRed(image.pixel(1, dark)), 10) << yUp;
        EXPECT_GT(qRed(image.pixel(1, light)), 245) << yUp;
        EXPECT_EQ(image.pixel(1, 5), QColor(Qt::red).rgba()) << "outside the rectangle";
    }
}
