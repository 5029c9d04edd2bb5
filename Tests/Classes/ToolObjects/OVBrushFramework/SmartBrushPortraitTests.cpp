#include "BrushTestSupport.h"
#include "EyeToolSupport.h"
#include "PortraitEyes.h"

#include "Classes/ToolObjects/OVBrushFramework/GMBrushHandler.h"
#include "Classes/ToolObjects/OVBrushFramework/OVBrush.h"
#include "Classes/ToolObjects/OVBrushFramework/OVMaskBrush.h"

#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <gtest/gtest.h>
#include <vector>

using namespace pf;
using namespace brushtest;

namespace {

const QString PortraitPath = QStringLiteral(GLIMORA_TESTDATA_DIR "/portrait-512.png");

// The face's skin in the test portrait, marked by hand in top-down pixel rows: an ellipse from the
// hairline to the chin and between the ears' edges of the hair.
bool insideFace(double x, double yTopDown, double grow = 0)
{
    const double dx = (x - 224.0) / (43.0 + grow), dy = (yTopDown - 131.0) / (54.0 + grow);
    return dx * dx + dy * dy <= 1.0;
}

// A normalised point of the portrait from a top-down pixel position.
Point at(double x, double yTopDown)
{
    return Point(x / 512.0, 1.0 - yTopDown / 512.0);
}

// The portrait with the mask laid over it in green, beside the mask itself, for a person to look at.
void writeScreenshot(const Image& photo, const Image& mask, const QString& name)
{
    static RenderContext context(QStringLiteral("screenshot"));
    const QImage picture = context.renderToQImage(photo, Rect(0, 0, 512, 512));
    const QImage grey = context.renderToQImage(mask, Rect(0, 0, 512, 512));
    QImage sheet(1024, 512, QImage::Format_RGB32);
    QPainter painter(&sheet);
    painter.drawImage(0, 0, picture);
    QImage overlay(512, 512, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < 512; ++y)
        for (int x = 0; x < 512; ++x) {
            const int v = qRed(grey.pixel(x, y));
            overlay.setPixel(x, y, qRgba(0, v * 3 / 5, v * 3 / 10, v * 3 / 5));
        }
    painter.drawImage(0, 0, overlay);
    painter.drawImage(512, 0, grey);
    painter.setPen(QColor(255, 80, 80));
    painter.drawEllipse(QPointF(224, 131), 43, 54); // the hand-marked skin
    painter.end();
    QDir().mkpath(QStringLiteral("screenshots"));
    sheet.save(QStringLiteral("screenshots/") + name);
}

} // namespace

TEST(SmartBrush, StrokeOverThePortraitStaysOnTheSkinItStartedOn)
{
    ASSERT_TRUE(QFileInfo::exists(PortraitPath)) << "the shared test photos are missing";
    const Image photo = Image::fromFile(PortraitPath);
    GMBrushHandler handler;
    handler.setBackgroundImage(photo);
    handler.setStartMaskImage(greyMask(512, 512, 0));

    const OVBrush brush = smartBrush(QStringLiteral("skinBrush"), 44);
    // Across the forehead, down the cheek and back under the nose to the other cheek.
    const std::vector<Point> path = {at(208, 84),  at(226, 82),  at(244, 84),  at(252, 100), at(254, 118),
                                     at(246, 136), at(226, 140), at(206, 136), at(198, 118)};
    handler.brushDownAtPoint(brush, path.front(), 100);
    for (const Point& p : path)
        handler.processPoint(p);
    const OVContentContainerPtr stroke = handler.brushUp();
    ASSERT_TRUE(stroke);
    const Image mask = handler.startMaskImage();
    writeScreenshot(photo, mask, QStringLiteral("smart-stroke-skin.png"));

    // Only pixels the brush reached count: within its radius of the path.
    auto reached = [&](double x, double y) {
        for (size_t i = 1; i < path.size(); ++i) {
            const Point a(path[i - 1].x * 512, path[i - 1].y * 512), b(path[i].x * 512, path[i].y * 512);
            const double dx = b.x - a.x, dy = b.y - a.y;
            const double t = std::clamp(((x - a.x) * dx + (y - a.y) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
            if (std::hypot(x - a.x - t * dx, y - a.y - t * dy) <= brush.size / 2)
                return true;
        }
        return false;
    };
    const Pixels pixels = render(mask, Rect(0, 0, 512, 512));
    ASSERT_FALSE(pixels.isNull());
    double inside = 0, outside = 0;
    int insideCount = 0, outsideCount = 0;
    for (int y = 0; y < 512; ++y)
        for (int x = 0; x < 512; ++x) {
            if (!reached(x + 0.5, y + 0.5))
                continue;
            const double value = pixels.at(x, y)[1];
            const double top = 512 - (y + 0.5);
            if (insideFace(x + 0.5, top)) {
                inside += value;
                ++insideCount;
            } else if (!insideFace(x + 0.5, top, 6)) {
                outside += value;
                ++outsideCount;
            }
        }
    // Nor the irises the stroke passes beside (within 3 pixels of their middles, marked by hand).
    for (const Point& iris : {Point(203.5, 100.5), Point(246.5, 103.0)}) {
        double sum = 0;
        int n = 0;
        for (int y = 95; y < 110; ++y)
            for (int x = int(iris.x) - 5; x < int(iris.x) + 5; ++x)
                if (std::hypot(x + 0.5 - iris.x, y + 0.5 - iris.y) <= 3) {
                    sum += pixels.at(x, 511 - y)[1];
                    ++n;
                }
        EXPECT_LT(sum / n, 0.1) << "the iris at " << iris.x << ", " << iris.y;
    }
    std::printf("skin stroke over the portrait: skin painted %.3f, beyond the face %.3f\n",
                inside / insideCount, outside / outsideCount);
    ASSERT_GT(outsideCount, 500); // the brush does reach beyond the face
    EXPECT_GT(inside / insideCount, 0.55) << "the skin the stroke passed over is painted";
    EXPECT_LT(outside / outsideCount, 0.08) << "hair, eyes' surroundings and background are not";
}

// The whites of the portrait's eyes are a few pixels across, between the lashes and the iris: a short
// stroke of the eye-white brush along each paints that white (pixels marked by hand) and little else.
TEST(SmartBrush, EyeWhiteStrokesPaintTheSmallWhitesOfThePortrait)
{
    ASSERT_TRUE(QFileInfo::exists(PortraitPath)) << "the shared test photos are missing";
    const Image photo = Image::fromFile(PortraitPath);
    const struct
    {
        const char* name;
        Point from, to; // top-down pixels
        std::vector<QPoint> white;
    } whites[] = {
        {"left eye, outer corner",
         {197.5, 100.5},
         {198.5, 101.5},
         {{198, 100}, {197, 101}, {198, 101}, {198, 102}}},
        {"left eye, inner corner", {208.5, 101.5}, {208.5, 102.5}, {{208, 101}, {208, 102}, {208, 103}}}};
    for (const auto& w : whites) {
        SCOPED_TRACE(w.name);
        OVMaskBrush brush;
        brush.setStartImage(greyMask(512, 512, 0));
        brush.setBackgroundImage(photo);
        const OVBrush smart = smartBrush(QStringLiteral("eyeWhiteBrush"), 6);
        brush.brushDownAtPoint(smart, at(w.from.x, w.from.y));
        brush.processPoints({at(w.from.x, w.from.y), at(w.to.x, w.to.y)});
        const Pixels pixels = render(brush.image(), Rect(0, 0, 512, 512));
        double white = 0, all = 0;
        for (const QPoint& p : w.white)
            white += pixels.at(p.x(), 511 - p.y())[1] / double(w.white.size());
        for (int y = 80; y < 120; ++y)
            for (int x = 180; x < 230; ++x)
                all += pixels.at(x, 511 - y)[1];
        EXPECT_GE(white, 0.8);
        EXPECT_LE(all, double(w.white.size()) + 4) << "pixels' worth painted around the eye";
    }
}

// A single dab of the skin brush beside a brow ends where the brow does: what the walks from the centre
// meet of the brow must not leave straight-edged wedges of skin unpainted behind its ends. Skin here is
// what is close in colour to the dab's centre.
TEST(SmartBrush, SkinDabsBesideTheBrowsLeaveNoWedgesOfSkinBehindThem)
{
    const struct
    {
        const char* name;
        double x, y, size; // top-down pixels and the brush's size at 1x
    } dabs[] = {
        {"between the brows", 224, 88, 26},           {"inner end of the left brow", 217, 92, 18},
        {"under the left brow", 203, 95, 14},         {"under the right brow", 250, 97, 10},
        {"inner end of the right brow", 233, 93, 20}, {"outer end of the left brow", 188, 90, 16},
    };
    for (const double scale : {1.0, 4.0}) {
        const Image photo = scaledPortrait(scale);
        const int side = int(512 * scale);
        for (const auto& dab : dabs) {
            SCOPED_TRACE(std::string(dab.name) + " at " + std::to_string(int(scale)) + "x");
            OVMaskBrush brush;
            brush.setStartImage(greyMask(side, side, 0));
            brush.setBackgroundImage(photo);
            const OVBrush smart = smartBrush(QStringLiteral("skinBrush"), dab.size * scale);
            brush.brushDownAtPoint(smart, at(dab.x, dab.y));
            brush.processPoints({at(dab.x, dab.y)});
            const double cx = dab.x * scale, cy = side - dab.y * scale, radius = dab.size * scale / 2;
            const Rect area(std::floor(cx - radius - 2), std::floor(cy - radius - 2),
                            std::ceil(2 * radius + 4), std::ceil(2 * radius + 4));
            const Pixels mask = render(brush.image(), area);
            ASSERT_FALSE(mask.isNull());
            const Pixels picture = render(photo, area);
            // Skin as the dab's centre shows it: its mean colour within a few pixels.
            auto lumaChroma = [](const Pixel& c) {
                const double y = 0.299 * c[0] + 0.587 * c[1] + 0.114 * c[2];
                return std::array<double, 3>{y, (c[2] - y) / (y + 0.08), (c[0] - y) / (y + 0.08)};
            };
            std::array<double, 3> centre{0, 0, 0};
            int centreCount = 0;
            for (int y = int(cy - 2 * scale); y <= int(cy + 2 * scale); ++y)
                for (int x = int(cx - 2 * scale); x <= int(cx + 2 * scale); ++x) {
                    const auto v = lumaChroma(picture.at(x, y));
                    for (int k = 0; k < 3; ++k)
                        centre[size_t(k)] += v[size_t(k)];
                    ++centreCount;
                }
            for (double& v : centre)
                v /= centreCount;
            int skin = 0, leftOut = 0;
            for (int y = int(area.minY()); y < int(area.maxY()); ++y)
                for (int x = int(area.minX()); x < int(area.maxX()); ++x) {
                    if (std::hypot(x + 0.5 - cx, y + 0.5 - cy) > 0.8 * radius)
                        continue;
                    const auto v = lumaChroma(picture.at(x, y));
                    if (std::abs(std::log((v[0] + 0.04) / (centre[0] + 0.04))) > 0.15 ||
                        std::hypot(v[1] - centre[1], v[2] - centre[2]) > 0.04)
                        continue;
                    ++skin;
                    if (mask.at(x, y)[1] < 0.5)
                        ++leftOut;
                }
            // A few pixels of noise aside, the skin within the dab is painted.
            EXPECT_LE(leftOut, 2 + skin / 500) << "of " << skin << " skin pixels";
            // The dab over the photo, enlarged, for a person to look at.
            const int n = int(area.width()), zoom = std::max(1, 240 / n);
            QImage sheet(n * zoom, n * zoom, QImage::Format_RGB32);
            for (int y = 0; y < n * zoom; ++y)
                for (int x = 0; x < n * zoom; ++x) {
                    const int wx = int(area.minX()) + x / zoom, wy = int(area.maxY()) - 1 - y / zoom;
                    const Pixel c = picture.at(wx, wy);
                    const double g = mask.at(wx, wy)[1];
                    sheet.setPixel(x, y,
                                   qRgb(int(255 * c[0] * (1 - 0.6 * g)),
                                        int(255 * (c[1] * (1 - 0.6 * g) + 0.6 * g)),
                                        int(255 * c[2] * (1 - 0.6 * g))));
                }
            QDir().mkpath(QStringLiteral("screenshots"));
            sheet.save(QStringLiteral("screenshots/brow-dab-%1-%2x.png").arg(&dab - dabs).arg(int(scale)));
        }
    }
}

// A brush reads the photo as far around each pixel as its judgements look (the skin brush up to 24 pixels
// round a pale one, for the dark of an eye), whether the photo is pixels or an effect's result rendered
// only where asked: a stroke paints the same either way.
TEST(SmartBrush, StrokesPaintTheSameOverPixelsAndOverARenderedPhoto)
{
    const Image pixels = scaledPortrait(2);
    const Image rendered = pixels.imageByCompositingOverImage(
        Image::constantColor(Color(0, 0, 0, 0)).imageByCroppingToRect(pixels.extent()));
    const struct
    {
        const char* kernel;
        double size;
    } brushes[] = {{"skinBrush", 12}, {"skinBrush", 40}, {"eyeWhiteBrush", 12}, {"autoBrush", 40}};
    for (const auto& b : brushes) {
        SCOPED_TRACE(std::string(b.kernel) + " of " + std::to_string(int(b.size)));
        // Along the left eye's lower lid and over the eye to the nose.
        const std::vector<Point> path = {
            {380, 1024 - 216}, {400, 1024 - 214}, {420, 1024 - 206}, {440, 1024 - 200}, {470, 1024 - 205}};
        const Image over[2] = {
            strokeMask(pixels, smartBrush(QString::fromLatin1(b.kernel), b.size), path, 0),
            strokeMask(rendered, smartBrush(QString::fromLatin1(b.kernel), b.size), path, 0)};
        const Rect area(340, 1024 - 260, 180, 100);
        const Pixels first = render(over[0], area), second = render(over[1], area);
        ASSERT_FALSE(first.isNull());
        ASSERT_FALSE(second.isNull());
        int differ = 0, painted = 0;
        for (int y = int(area.minY()); y < int(area.maxY()); ++y)
            for (int x = int(area.minX()); x < int(area.maxX()); ++x) {
                painted += first.at(x, y)[1] > 0.5;
                differ += std::abs(first.at(x, y)[1] - second.at(x, y)[1]) > 1.5 / 255;
            }
        EXPECT_GT(painted, 50);
        EXPECT_EQ(differ, 0) << "of " << painted << " painted pixels";
    }
}
