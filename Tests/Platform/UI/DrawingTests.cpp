#include "Platform/UI/AttributedString.h"
#include "Platform/UI/Drawing.h"

#include <QPainter>
#include <cmath>
#include <gtest/gtest.h>

namespace {

using pf::Rect;

// An image with a painter set up as a view's: y-up, (0, 0) at the lower left.
struct Canvas
{
    QImage image;
    QPainter painter;
    explicit Canvas(int width, int height) : image(width, height, QImage::Format_ARGB32_Premultiplied)
    {
        image.fill(Qt::transparent);
        painter.begin(&image);
        painter.translate(0, height);
        painter.scale(1, -1);
    }
    // The pixel at a y-up position (x, y) measured at pixel centres.
    QColor at(int x, int y)
    {
        if (painter.isActive())
            painter.end();
        return image.pixelColor(x, image.height() - 1 - y);
    }
};

TEST(Drawing, LinearGradientAtAnAngleSpansTheBox)
{
    // Black to white over a 100 x 50 box. At 0 degrees the colour follows x; at 90 it follows y
    // (from the bottom); at 45 the gradient line runs diagonally and spans the box's projection on it.
    const QGradientStops stops{{0, Qt::black}, {1, Qt::white}};
    struct Case
    {
        double angle;
        int x, y;
    };
    const Case cases[] = {{0, 10, 25}, {0, 90, 5}, {90, 50, 10}, {90, 5, 40}, {45, 20, 30}, {180, 30, 10}};
    for (const Case& c : cases) {
        Canvas canvas(100, 50);
        pf::fillLinearGradient(canvas.painter, stops, Rect(0, 0, 100, 50), c.angle);
        const double radians = c.angle * M_PI / 180;
        const double dx = std::cos(radians), dy = std::sin(radians);
        const double half = (std::abs(100 * dx) + std::abs(50 * dy)) / 2;
        const double projected = (c.x + 0.5 - 50) * dx + (c.y + 0.5 - 25) * dy;
        const double expected = (projected + half) / (2 * half);
        EXPECT_NEAR(canvas.at(c.x, c.y).redF(), expected, 0.02)
            << "angle " << c.angle << " at " << c.x << "," << c.y;
    }
}

TEST(Drawing, RadialGradientWithoutExtensionPaintsOnlyBetweenTheCircles)
{
    Canvas canvas(100, 100);
    pf::drawRadialGradient(canvas.painter, {{0, Qt::red}, {1, Qt::blue}}, pf::Point(50, 50), 10,
                           pf::Point(50, 50), 40, false, false, Rect(0, 0, 100, 100));
    EXPECT_EQ(canvas.at(50, 50).alpha(), 0); // inside the start circle
    EXPECT_EQ(canvas.at(95, 50).alpha(), 0); // outside the end circle
    const QColor middle = canvas.at(75, 50); // 25 from the centre: location (25 - 10) / 30 = 0.5
    EXPECT_NEAR(middle.redF(), 0.5, 0.05);
    EXPECT_NEAR(middle.blueF(), 0.5, 0.05);
}

TEST(Drawing, ShadowUnderAShapeIsOffsetYUpAndBlurredByHalfTheRadius)
{
    // An opaque white square 20 x 20 at (40, 40) with a black shadow offset (10, -10).
    auto draw = [](double blur) {
        auto canvas = std::make_unique<Canvas>(100, 100);
        pf::drawWithShadow(canvas->painter, {QColor(0, 0, 0, 255), pf::Size(10, -10), blur},
                           Rect(40, 40, 20, 20),
                           [](QPainter& p) { p.fillRect(QRectF(40, 40, 20, 20), Qt::white); });
        return canvas;
    };
    auto sharp = draw(0);
    EXPECT_EQ(sharp->at(45, 45), QColor(Qt::white));
    EXPECT_EQ(sharp->at(65, 35), QColor(Qt::black)); // the shadow, right and below
    EXPECT_EQ(sharp->at(45, 65).alpha(), 0);         // nothing above
    // Blurred: the shadow square (50..70 by 30..50) convolved with a normal distribution of
    // sigma = radius / 2 = 4, computed per axis at pixel centres.
    auto blurred = draw(8);
    auto phi = [](double z) { return 0.5 * std::erfc(-z / std::sqrt(2.0)); };
    auto coverage = [&](double centre, double low, double high) {
        return phi((high - centre) / 4) - phi((low - centre) / 4);
    };
    const std::pair<int, int> points[] = {{70, 35}, {74, 40}, {60, 28}, {45, 28}, {60, 40}};
    for (auto [x, y] : points)
        EXPECT_NEAR(blurred->at(x, y).alphaF(), coverage(x + 0.5, 50, 70) * coverage(y + 0.5, 30, 50), 0.03)
            << x << "," << y;
}

TEST(Drawing, TextShadowFollowsTheGlyphs)
{
    pf::AttributedString text(QStringLiteral("H"), {pf::boldSystemFont(40), Qt::white});
    text.setShadow(pf::Shadow{QColor(255, 0, 0), pf::Size(3, -3), 0});
    Canvas canvas(80, 80);
    text.drawAtPoint(canvas.painter, pf::Point(10, 10));
    canvas.painter.end();
    // Every white glyph pixel whose lower-right neighbour at (+3, -3) is not glyph has red there.
    int checked = 0;
    for (int y = 0; y < 77; ++y)
        for (int x = 0; x < 77; ++x) {
            const QColor c = canvas.image.pixelColor(x, y);
            const QColor shadow = canvas.image.pixelColor(x + 3, y + 3);
            if (c == QColor(Qt::white) && shadow.green() == 0 && shadow.alpha() == 255) {
                EXPECT_EQ(shadow, QColor(Qt::red));
                ++checked;
            }
        }
    EXPECT_GT(checked, 20);
}

// Text along a side: a y-up painter turned a quarter counter-clockwise shows the text turned, not
// mirrored.
TEST(Drawing, TextInATurnedPainterReadsUpwards)
{
    const pf::AttributedString text(QStringLiteral("Fg"), {pf::boldSystemFont(40), Qt::white});
    Canvas flat(100, 100), turned(100, 100);
    text.drawAtPoint(flat.painter, pf::Point(10, 10));
    flat.painter.end();
    turned.painter.translate(100, 0);
    turned.painter.rotate(90);
    text.drawAtPoint(turned.painter, pf::Point(10, 10));
    turned.painter.end();
    // Turned back a quarter clockwise on screen, the two agree.
    const QImage back = turned.image.transformed(QTransform().rotate(90));
    ASSERT_EQ(back.size(), flat.image.size());
    double difference = 0, ink = 0;
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x) {
            difference += std::abs(qAlpha(back.pixel(x, y)) - qAlpha(flat.image.pixel(x, y)));
            ink += qAlpha(flat.image.pixel(x, y));
        }
    EXPECT_GT(ink, 0);
    EXPECT_LT(difference, ink * 0.05);
}

TEST(AttributedString, TruncatesKeepingSpansAndMeasures)
{
    pf::AttributedString text(QStringLiteral("Beginning "), {pf::systemFont(12), Qt::black});
    text.append(QStringLiteral("middle"), {pf::boldSystemFont(12), Qt::red});
    text.append(QStringLiteral(" and the end"), {pf::systemFont(12), Qt::black});
    const double full = text.size().width;
    ASSERT_GT(full, 0);
    const QString ellipsis(QChar(0x2026));
    struct Case
    {
        pf::AttributedString::LineBreak mode;
        bool startsAsOriginal, endsAsOriginal;
    };
    const Case cases[] = {{pf::AttributedString::LineBreak::TruncateTail, true, false},
                          {pf::AttributedString::LineBreak::TruncateMiddle, true, true},
                          {pf::AttributedString::LineBreak::TruncateHead, false, true}};
    for (const Case& c : cases) {
        text.setLineBreakMode(c.mode);
        const pf::AttributedString shown = text.truncatedToWidth(full / 2);
        EXPECT_LE(shown.size().width, full / 2);
        EXPECT_TRUE(shown.string().contains(ellipsis));
        EXPECT_EQ(shown.string().startsWith(QStringLiteral("Be")), c.startsAsOriginal);
        EXPECT_EQ(shown.string().endsWith(QStringLiteral("end")), c.endsAsOriginal);
        EXPECT_EQ(text.truncatedToWidth(full + 1).string(), text.string());
    }
    // Spans survive: the bold red word keeps its attributes where it is still shown.
    text.setLineBreakMode(pf::AttributedString::LineBreak::TruncateTail);
    const pf::AttributedString tail = text.truncatedToWidth(text.size().width - 5);
    const int at = int(tail.string().indexOf(QStringLiteral("middle")));
    ASSERT_GE(at, 0);
    EXPECT_TRUE(tail.attributesAt(at).font.bold());
    EXPECT_EQ(tail.attributesAt(at).color, QColor(Qt::red));
    // Wrapping makes the text taller, never wider than asked.
    text.setLineBreakMode(pf::AttributedString::LineBreak::WordWrap);
    const pf::Size wrapped = text.sizeForWidth(full / 2);
    EXPECT_LE(wrapped.width, full / 2);
    EXPECT_GT(wrapped.height, text.size().height);
}

// A line far wider than its rectangle with a letter written right to left is drawn from the glyphs in
// sight only: the same glyphs in the same colours where the whole line drawn and clipped puts them (a glyph
// may land on a neighbouring pixel, as the two ways round sub-pixel positions differently).
TEST(AttributedString, AWideLineThatRunsRightToLeftShowsWhatTheWholeLineWould)
{
    pf::AttributedString text(QStringLiteral("Start ") + QString(2000, QChar(u'x')),
                              {pf::systemFont(12), Qt::black});
    text.append(QStringLiteral(" \u05D0\u05D1\u05D2 "), {pf::boldSystemFont(12), Qt::red});
    text.append(QString(2000, QChar(u'y')) + QStringLiteral(" end"), {pf::systemFont(12), Qt::blue});
    text.setLineBreakMode(pf::AttributedString::LineBreak::Clip);
    const double natural = text.size().width;
    const Rect narrow(10, 5, 180, 20);
    for (const auto alignment :
         {pf::AttributedString::Alignment::Left, pf::AttributedString::Alignment::Center,
          pf::AttributedString::Alignment::Right}) {
        SCOPED_TRACE(int(alignment));
        text.setAlignment(alignment);
        Canvas shown(200, 30);
        text.drawInRect(shown.painter, narrow);
        // The same part of the whole line: a rectangle as wide as the line, placed so that the alignment
        // puts the line where it stands in the narrow one, clipped to the narrow one.
        const double x = alignment == pf::AttributedString::Alignment::Left    ? narrow.minX()
                         : alignment == pf::AttributedString::Alignment::Right ? narrow.maxX() - natural
                                                                               : narrow.midX() - natural / 2;
        Canvas whole(200, 30);
        whole.painter.setClipRect(narrow.toQRectF());
        pf::AttributedString(text).drawInRect(whole.painter,
                                              Rect(x, narrow.minY(), natural, narrow.height()));
        shown.painter.end();
        whole.painter.end();
        // Every inked pixel of one has a pixel of the same colour at most one pixel sideways in the other.
        int inked = 0, unmatched = 0;
        for (int y = 0; y < 30; ++y)
            for (int column = 0; column < 200; ++column) {
                const QRgb pixel = shown.image.pixel(column, y);
                if (qAlpha(pixel) < 128)
                    continue;
                ++inked;
                bool found = false;
                for (int dx = -1; dx <= 1 && !found; ++dx) {
                    const int c = std::clamp(column + dx, 0, 199);
                    const QRgb other = whole.image.pixel(c, y);
                    found = qAlpha(other) >= 64 && std::abs(qRed(other) - qRed(pixel)) < 96 &&
                            std::abs(qBlue(other) - qBlue(pixel)) < 96;
                }
                unmatched += found ? 0 : 1;
            }
        EXPECT_GT(inked, 200);
        EXPECT_EQ(unmatched, 0);
    }
}

} // namespace
