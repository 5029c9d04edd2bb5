#include "BrushTestSupport.h"
#include "SyntheticEye.h"

#include "Classes/Filters/OVInpaintingFilter.h"
#include "Classes/ToolObjects/OVBrushFramework/GMBrushHandler.h"
#include "Classes/ToolObjects/OVBrushFramework/OVBrushPathImage.h"
#include "Classes/ToolObjects/OVBrushFramework/OVHealingBrush.h"
#include "Classes/ToolObjects/OVBrushFramework/OVIrisMaskBrush.h"
#include "Classes/ToolObjects/OVBrushFramework/OVIrisReplacementBrush.h"
#include "Classes/ToolObjects/OVBrushFramework/OVMaskBrush.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Image/BlendWithMaskFilter.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <gtest/gtest.h>
#include <map>

using namespace pf;
using namespace brushtest;

namespace {

const QString PortraitPath = QStringLiteral(GLIMORA_TESTDATA_DIR "/portrait-512.png");

Image transparent(double w, double h)
{
    return Image::constantColor(Color(0, 0, 0, 0)).imageByCroppingToRect(Rect(0, 0, w, h));
}

// The handler over `photo`, its mask and its additional picture empty at the given size.
void startOn(GMBrushHandler& handler, const Image& photo, double width, double height)
{
    handler.setBackgroundImage(photo);
    handler.setStartMaskImage(greyMask(width, height, 0));
    handler.setStartAdditionalImage(transparent(width, height));
}

// A drawn healing stroke's brush of the given size, at full pressure.
OVBrush healingBrush(double size)
{
    OVBrush healing;
    healing.type = OVBrush::Draw;
    healing.brushSubType = OVBrush::Healing;
    healing.size = size;
    healing.pressure = 1;
    return healing;
}

// The bounding box of the pixels with any opacity to speak of (the stock iris fades out at its rim).
Rect opaqueBounds(const Image& image, const Rect& rect)
{
    const Pixels pixels = render(image, rect);
    Rect bounds = Rect::null();
    for (int y = int(rect.minY()); y < int(rect.maxY()); ++y)
        for (int x = int(rect.minX()); x < int(rect.maxX()); ++x)
            if (pixels.at(x, y)[3] > 0.02f)
                bounds = bounds.united(Rect(x, y, 1, 1));
    return bounds;
}

void expectNear(const Rect& got, const Rect& want, double tolerance, const char* what)
{
    EXPECT_NEAR(got.minX(), want.minX(), tolerance) << what;
    EXPECT_NEAR(got.minY(), want.minY(), tolerance) << what;
    EXPECT_NEAR(got.maxX(), want.maxX(), tolerance) << what;
    EXPECT_NEAR(got.maxY(), want.maxY(), tolerance) << what;
}

// A normalised point of the portrait from a top-down pixel position.
Point at(double x, double yTopDown)
{
    return Point(x / 512.0, 1.0 - yTopDown / 512.0);
}

// Crops of the photos side by side, enlarged, for a person to look at.
void writeSheet(const std::vector<QImage>& pictures, const QRect& crop, int zoom, const QString& name)
{
    QImage sheet(crop.width() * zoom * int(pictures.size()), crop.height() * zoom, QImage::Format_RGB32);
    QPainter painter(&sheet);
    for (size_t i = 0; i < pictures.size(); ++i)
        painter.drawImage(QRect(int(i) * crop.width() * zoom, 0, crop.width() * zoom, crop.height() * zoom),
                          pictures[i].copy(crop));
    painter.end();
    QDir().mkpath(QStringLiteral("screenshots"));
    sheet.save(QStringLiteral("screenshots/") + name);
}

QImage toQImage(const Image& image)
{
    static RenderContext context(QStringLiteral("eye and healing screenshots"));
    return context.renderToQImage(image, Rect(0, 0, 512, 512));
}

} // namespace

// A click at (0.5, 0.5) of a 1000 x 800 picture with a brush of 100 puts the iris in the square
// (450, 350)-(550, 450); only the last of several points gets one; the final picture at twice the size
// doubles the square, on a transparent ground.
TEST(OVIrisReplacementBrush, PlacesTheIrisInTheBrushSquare)
{
    OVIrisReplacementBrush brush;
    ASSERT_FALSE(brush.irisImage().isNull()) << "the iris picture is made by the build";
    brush.setStartImage(transparent(1000, 800));
    OVBrush click;
    click.type = OVBrush::Click;
    click.brushSubType = OVBrush::IrisReplacement;
    click.size = 100;
    brush.brushDownAtPoint(click, {0.5, 0.5});
    brush.processPoint({0.5, 0.5});
    expectNear(opaqueBounds(brush.image(), Rect(0, 0, 1000, 800)), Rect(450, 350, 100, 100), 1.5,
               "one click");
    EXPECT_EQ(brush.dirtyRect(), Rect(450, 350, 100, 100));

    brush.processPoints({{0.2, 0.2}, {0.3, 0.3}, {0.8, 0.25}});
    expectNear(opaqueBounds(brush.image(), Rect(0, 0, 1000, 800)), Rect(750, 150, 100, 100), 1.5,
               "third point");
    EXPECT_EQ(brush.dirtyRect(), Rect(450, 150, 400, 300)); // the previous point's square and the third's

    const Image final = brush.imageForMask(transparent(2000, 1600));
    EXPECT_EQ(final.extent(), Rect(0, 0, 2000, 1600));
    expectNear(opaqueBounds(final, Rect(0, 0, 2000, 1600)), Rect(1500, 300, 200, 200), 1.5, "twice the size");
    EXPECT_TRUE(brush.dirtyRect().isNull());
}

// Without the iris picture, or without a start image to place it on, nothing is placed, nothing divides
// by zero, and the reason is logged.
TEST(OVIrisReplacementBrush, NothingToPlace)
{
    OVBrush click;
    click.size = 100;
    struct Case
    {
        const char* name;
        bool iris;
        Image start;
    };
    const Case cases[] = {{"no iris picture", false, transparent(1000, 800)},
                          {"no start image", true, Image()}};
    for (const Case& c : cases) {
        OVIrisReplacementBrush brush;
        if (!c.iris)
            brush.setIrisImage(Image());
        brush.setStartImage(c.start);
        brush.brushDownAtPoint(click, {0.5, 0.5});
        LogCapture log;
        brush.processPoint({0.5, 0.5});
        EXPECT_EQ(brush.image(), c.start) << c.name;
        EXPECT_TRUE(brush.dirtyRect().isNull()) << c.name;
        const Image final = brush.imageForMask(transparent(200, 100));
        EXPECT_EQ(final.extent(), Rect(0, 0, 200, 100)) << c.name;
        EXPECT_TRUE(opaqueBounds(final, Rect(0, 0, 200, 100)).isNull()) << c.name;
        EXPECT_EQ(log.lines().size(), 2) << c.name << ": " << log.lines().join("\n").toStdString();
    }
}

// The texture's scale: one tile spans 30 % of the face's width; half the picture's width stands in for
// an unknown face, 2048 pixels for an unknown picture (logged); without a texture there is no fill.
TEST(OVHealingBrush, SkinTextureScale)
{
    const Image texture1000 =
        Image::constantColor(Color(0.5, 0.5, 0.5)).imageByCroppingToRect(Rect(0, 0, 1000, 1000));
    struct Case
    {
        const char* name;
        double faceWidth;
        Image texture, background;
        double scale;
        bool logs;
    };
    const Case cases[] = {
        {"face 500", 500, texture1000, transparent(4000, 3000), 0.15, false},
        {"no face", 0, texture1000, transparent(4000, 3000), 0.6, false},
        {"no face, no picture", 0, texture1000, Image(), 0.3 * 1024 / 1000, true},
        {"no texture", 500, Image(), transparent(4000, 3000), 0, false},
    };
    for (const Case& c : cases) {
        OVHealingBrush brush;
        brush.setSkinPatch(c.texture);
        brush.setBackgroundImage(c.background);
        LogCapture log;
        brush.setFaceWidth(c.faceWidth);
        EXPECT_DOUBLE_EQ(brush.lastSkinScale(), c.scale) << c.name;
        EXPECT_EQ(log.contains(QStringLiteral("Only set Face Width, when at least one image is set")), c.logs)
            << c.name;
        const Image fill = brush.inpaintingFilter()->inputFillImage();
        EXPECT_EQ(fill.isNull(), c.texture.isNull()) << c.name;
    }
}

// The live picture fills the stroke from the photo (with earlier healing where the layer's mask shows
// it); the final picture is made at the final mask's resolution and leaves the live state as it was.
TEST(OVHealingBrush, InputsAndTheFinalPicture)
{
    const Image background =
        Image::constantColor(Color(0.6, 0.5, 0.4)).imageByCroppingToRect(Rect(0, 0, 200, 100));
    const Image earlier =
        Image::constantColor(Color(0.2, 0.2, 0.2)).imageByCroppingToRect(Rect(0, 0, 200, 100));
    OVHealingBrush brush;
    brush.setBackgroundImage(background);
    brush.setStartImage(earlier);
    EXPECT_EQ(brush.inpaintingFilter()->inputImage(), background) << "a start image without a start mask";
    brush.setStartMaskImage(greyMask(200, 100, 1));
    EXPECT_NE(brush.inpaintingFilter()->inputImage(), background);

    OVBrush healing;
    healing.brushSubType = OVBrush::Healing;
    healing.size = 12;
    brush.setFaceWidth(80);
    brush.brushDownAtPoint(healing, {0.5, 0.5});
    brush.setPreviewQuality(true);
    const Image liveMask = greyMask(200, 100, 0);
    brush.setMaskImage(liveMask);
    brush.processPoint({0.5, 0.5});
    auto& filter = *brush.inpaintingFilter();
    const auto state = [&] {
        return std::make_tuple(filter.inputImage(), filter.inputMaskImage(), filter.inputFillImage(),
                               filter.inputRadius(), filter.previewQuality());
    };
    const auto before = state();
    EXPECT_EQ(filter.inputRadius(), 12.0);

    const Image final = brush.imageForMask(greyMask(400, 200, 0));
    EXPECT_EQ(final.extent(), Rect(0, 0, 400, 200));
    EXPECT_TRUE(state() == before);
}

// A click on each eye of the portrait selects that iris: the clicked stroke's mask is centred within
// 3 pixels of the iris marked by hand, though the click is off centre. With the replacement tool the
// stock iris is placed there and shows through the iris mask; the sheet is written for a person to see.
TEST(EyeBrushes, ClickOnTheIrisesOfThePortrait)
{
    ASSERT_TRUE(QFileInfo::exists(PortraitPath)) << "the shared test photos are missing";
    OVIrisMaskBrush::registerClass();
    OVIrisReplacementBrush::registerClass();
    const Image photo = Image::fromFile(PortraitPath);
    struct Eye
    {
        const char* name;
        Point marked; // the iris's centre, top-down pixels, marked by hand
        Point click;
    };
    const Eye eyes[] = {{"left", {203.0, 100.5}, {204.0, 99.5}}, {"right", {246.5, 102.5}, {245.5, 103.5}}};
    Image mask = greyMask(512, 512, 0);
    Image additional = transparent(512, 512);
    for (const Eye& eye : eyes) {
        GMBrushHandler handler;
        handler.setBackgroundImage(photo);
        handler.setStartMaskImage(mask);
        handler.setStartAdditionalImage(additional);
        OVBrush click;
        click.type = OVBrush::Click;
        click.brushSubType = OVBrush::IrisReplacement;
        click.size = 10;
        click.pressure = 1;
        const Point p = at(eye.click.x, eye.click.y);
        handler.brushDownAtPoint(click, p, 110);
        handler.processPoint(p);
        const OVContentContainerPtr stroke = handler.brushUp();
        ASSERT_TRUE(stroke) << eye.name;
        const Image strokeMask = stroke->imageContainer()->image();
        const Pixels pixels = render(strokeMask, Rect(0, 0, 512, 512));
        double sx = 0, sy = 0, sum = 0;
        for (int y = 380; y < 440; ++y)
            for (int x = 170; x < 280; ++x) {
                const double c = pixels.at(x, y)[3];
                sx += c * (x + 0.5);
                sy += c * (512 - (y + 0.5));
                sum += c;
            }
        ASSERT_GT(sum, 10) << eye.name << ": the click found no iris";
        EXPECT_LT(std::hypot(sx / sum - eye.marked.x, sy / sum - eye.marked.y), 3.0)
            << eye.name << " iris found at " << sx / sum << ", " << sy / sum;
        mask = handler.startMaskImage();
        ASSERT_TRUE(stroke->additionalImageContainer()) << eye.name;
        additional = stroke->additionalImageContainer()->image().imageByCompositingOverImage(additional);
    }
    // The placed irises over the photo where the iris mask lets them through.
    BlendWithMaskFilter blend;
    blend.setValue(QVariant::fromValue(additional.imageByCompositingOverImage(photo)), "inputImage");
    blend.setValue(QVariant::fromValue(photo), "inputBackgroundImage");
    blend.setValue(QVariant::fromValue(mask), "inputMaskImage");
    writeSheet({toQImage(photo), toQImage(mask), toQImage(blend.outputImage())}, QRect(188, 88, 74, 26), 8,
               QStringLiteral("iris-click-and-replacement.png"));
}

// A click of either eye tool where no iris stands out (on the cheek of the portrait, on the plain white
// of a synthetic eye's corner) paints nothing and is no step: its brush-up gives no stroke to store, the
// handler says the click found nothing, and the start mask and the additional picture stay as they
// were. A click on the iris still gives a stroke and says nothing of the kind.
TEST(EyeBrushes, AClickThatFindsNoIrisIsNoStep)
{
    ASSERT_TRUE(QFileInfo::exists(PortraitPath)) << "the shared test photos are missing";
    OVIrisMaskBrush::registerClass();
    OVIrisReplacementBrush::registerClass();
    const Image portrait = Image::fromFile(PortraitPath);
    SyntheticEye::Look look;
    look.irisRadius = 10;
    const SyntheticEye eye(look);
    struct Case
    {
        const char* what;
        Image photo;
        Point click; // pixels, y up
        double faceWidth;
        bool iris;
    };
    const Case cases[] = {
        {"the portrait's cheek", portrait, {180, 512 - 180}, 110, false},
        {"the portrait's left iris", portrait, {204, 512 - 100.5}, 110, true},
        {"beside the synthetic eye", eye.image(), {eye.centre().x + 60, eye.centre().y - 35}, 0, false},
        {"the synthetic iris", eye.image(), {eye.centre().x + 4, eye.centre().y}, 0, true},
    };
    for (const Case& c : cases)
        for (const qint32 subType : {qint32(OVBrush::None), qint32(OVBrush::IrisReplacement)}) {
            const Rect extent = c.photo.extent();
            GMBrushHandler handler;
            startOn(handler, c.photo, extent.width(), extent.height());
            const Image startMask = handler.startMaskImage();
            const Image startAdditional = handler.startAdditionalImage();
            OVBrush click;
            click.type = OVBrush::Click;
            click.brushSubType = subType;
            click.size = 20;
            click.pressure = 1;
            const Point p(c.click.x / extent.width(), c.click.y / extent.height());
            handler.brushDownAtPoint(click, p, c.faceWidth);
            handler.processPoint(p);
            const OVContentContainerPtr stroke = handler.brushUp();
            EXPECT_EQ(bool(stroke), c.iris) << c.what << ", subtype " << subType;
            EXPECT_EQ(handler.lastStrokeFoundNothing(), !c.iris) << c.what << ", subtype " << subType;
            if (!c.iris) {
                EXPECT_TRUE(handler.startMaskImage() == startMask) << c.what;
                EXPECT_TRUE(handler.startAdditionalImage() == startAdditional) << c.what;
            }
        }
}

// A dark spot drawn on the cheek and painted over with the healing brush is gone: the healed skin is
// within a small error of the skin before the spot, and the texture keeps it from looking flat.
TEST(HealingBrush, RemovesABlemishFromTheCheek)
{
    ASSERT_TRUE(QFileInfo::exists(PortraitPath)) << "the shared test photos are missing";
    OVHealingBrush::registerClass();
    QImage original(PortraitPath);
    original = original.convertToFormat(QImage::Format_RGBA8888_Premultiplied);
    const QPointF spot(248, 120); // top-down: the evenest skin of the cheek, below the eye on the right
    QImage spotted = original.copy();
    {
        QPainter painter(&spotted);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(105, 58, 44));
        painter.drawEllipse(spot, 2.5, 2.5);
    }
    const Image photo = Image::fromQImage(spotted);
    GMBrushHandler handler;
    startOn(handler, photo, 512, 512);
    OVBrush healing = healingBrush(10);
    healing.smoothness = 0.3;
    handler.brushDownAtPoint(healing, at(spot.x(), spot.y()), 110);
    handler.processPoint(at(spot.x(), spot.y()));
    handler.processPoint(at(spot.x() + 1, spot.y()));
    EXPECT_TRUE(handler.usesPreview());
    const Image preview = handler.additionalImage();
    const OVContentContainerPtr stroke = handler.brushUp();
    ASSERT_TRUE(stroke && stroke->additionalImageContainer());
    // The layer: the healed picture over the photo through the stroke's mask.
    BlendWithMaskFilter blend;
    blend.setValue(QVariant::fromValue(stroke->additionalImageContainer()->image()), "inputImage");
    blend.setValue(QVariant::fromValue(photo), "inputBackgroundImage");
    blend.setValue(QVariant::fromValue(stroke->imageContainer()->image()), "inputMaskImage");
    const QImage healed = toQImage(blend.outputImage());
    BlendWithMaskFilter live;
    live.setValue(QVariant::fromValue(preview), "inputImage");
    live.setValue(QVariant::fromValue(photo), "inputBackgroundImage");
    live.setValue(QVariant::fromValue(stroke->imageContainer()->image()), "inputMaskImage");
    writeSheet({original, spotted, toQImage(live.outputImage()), healed}, QRect(224, 100, 48, 40), 8,
               QStringLiteral("healing-cheek.png"));

    double error = 0, worst = 0;
    int count = 0;
    for (int y = 0; y < 512; ++y)
        for (int x = 0; x < 512; ++x) {
            if (std::hypot(x + 0.5 - spot.x(), y + 0.5 - spot.y()) > 3.5)
                continue;
            const QColor a = original.pixelColor(x, y), b = healed.pixelColor(x, y);
            const double d = (std::abs(a.redF() - b.redF()) + std::abs(a.greenF() - b.greenF()) +
                              std::abs(a.blueF() - b.blueF())) /
                             3;
            error += d;
            worst = std::max(worst, d);
            ++count;
        }
    EXPECT_LT(error / count, 0.03) << "mean difference from the skin before the spot";
    EXPECT_LT(worst, 0.08);
}

// On a large photo a healing stroke is worked out, stored and kept only around its spot: each step's fill
// around the stroke, the final picture (at the photo's resolution, four times the layer's) in the
// stroke's square, the layer's stored picture in that square, while its frame stays the photo.
TEST(HealingBrush, AStrokeOnALargePhotoIsHealedAndKeptOnlyAroundItsSpot)
{
    OVHealingBrush::registerClass();
    constexpr double Layer = 512, Scale = 4;
    QImage portrait(PortraitPath);
    ASSERT_FALSE(portrait.isNull());
    GMBrushHandler handler;
    startOn(handler, Image::fromQImage(portrait), Layer, Layer);
    handler.setScaleFactor(Scale);
    const OVBrush healing = healingBrush(10);
    const Point spot = at(248, 120);
    handler.brushDownAtPoint(healing, spot, 110);
    handler.processPoint(spot);
    handler.processPoint(at(251, 120));
    // Live: the fill works on the stroke's square (3 pixels of points, 7 of brush around them).
    auto brush = std::dynamic_pointer_cast<OVHealingBrush>(handler.additionalBrush());
    ASSERT_TRUE(brush);
    const Rect live = brush->inpaintingFilter()->inputMaskImage().definition().extent();
    EXPECT_LE(live.width(), 18);
    EXPECT_LE(live.height(), 15);
    EXPECT_TRUE(live.contains(Rect(spot.x * Layer, spot.y * Layer, 1, 1)));

    const OVContentContainerPtr stroke = handler.brushUp();
    ASSERT_TRUE(stroke);
    const Image healed = stroke->additionalImageContainer()->image();
    EXPECT_EQ(healed.extent().integral(), Rect(0, 0, Layer * Scale, Layer * Scale));
    const Rect region = healed.definition().extent();
    EXPECT_LE(region.width(), 18 * Scale);
    EXPECT_LE(region.height(), 15 * Scale);
    EXPECT_TRUE(region.contains(Rect(spot.x * Layer * Scale, spot.y * Layer * Scale, 1, 1)));

    OVBrushPathImage mask(Size(Layer * Scale, Layer * Scale));
    mask.addContentContainerWithRect(stroke, Rect(0, 0, 1, 1));
    // What the snapshot write renders: the stroke's square (a pixel or two more for the placement).
    const Rect placed = mask.contentContainer()->additionalImageContainer()->image().definition().extent();
    EXPECT_TRUE(region.insetBy(-3, -3).contains(placed))
        << "the write renders the spot, not the photo: " << placed.minX() << "," << placed.minY() << " "
        << placed.width() << "x" << placed.height();
    OVBrushPathImage::waitForPendingWrites();
    const OVImageContainerPtr stored = mask.contentContainer()->additionalImageContainer();
    EXPECT_EQ(stored->size(), Size(Layer * Scale, Layer * Scale));
    const Rect kept = stored->image().definition().extent();
    EXPECT_TRUE(region.insetBy(-3, -3).contains(kept))
        << "the layer's stored picture holds the stroke's part only";
    // The healed skin is there, opaque, and nothing around it.
    const int x = int(spot.x * Layer * Scale), y = int(spot.y * Layer * Scale);
    const Pixels inside = render(stored->image(), Rect(x, y, 1, 1));
    EXPECT_GT(inside.at(x, y)[3], 0.9f);
    EXPECT_TRUE(stored->image().definition().extent().intersected(Rect(0, 0, 200, 200)).isNull());
}

// A long stroke's preview is built step by step: each step fills and renders only its segment's square
// and reads only the fill's margin around it, however long the stroke has grown; and what the earlier
// steps healed stays healed, so the preview of the whole stroke removes the whole line it covers.
TEST(HealingBrush, EachStepFillsOnlyItsSegmentAndTheStrokeStaysHealed)
{
    ASSERT_TRUE(QFileInfo::exists(PortraitPath)) << "the shared test photos are missing";
    OVHealingBrush::registerClass();
    QImage original(PortraitPath);
    original = original.convertToFormat(QImage::Format_RGBA8888_Premultiplied);
    // A dark scratch across the cheek (top-down pixels), 2 pixels high.
    const int y = 120, x0 = 214, x1 = 262;
    QImage scratched = original.copy();
    {
        QPainter painter(&scratched);
        painter.fillRect(QRect(x0, y - 1, x1 - x0, 2), QColor(90, 50, 40));
    }
    const Image photo = Image::fromQImage(scratched);
    struct Case
    {
        const char* name;
        double size;
        int spacing; // pixels between the points
    };
    for (const Case& c :
         {Case{"small brush, dense points", 8, 2}, Case{"larger brush, sparse points", 14, 6}}) {
        GMBrushHandler handler;
        startOn(handler, photo, 512, 512);
        const OVBrush healing = healingBrush(c.size);
        handler.brushDownAtPoint(healing, at(x0 - 2, y), 110);
        auto brush = std::dynamic_pointer_cast<OVHealingBrush>(handler.additionalBrush());
        ASSERT_TRUE(brush) << c.name;
        // The square a segment of `spacing` pixels paints, and the margin the preview's fill reads
        // around it (four of its coarsest pixels and eight more, a coarsest pixel for the grid).
        const double side = c.spacing + c.size + 6;
        const double coarsest = std::ceil(c.size / 2);
        const double margin = 4 * coarsest + 8 + coarsest;
        int steps = 0;
        for (int x = x0 - 2; x <= x1 + 2; x += c.spacing, ++steps) {
            handler.processPoint(at(x, y));
            const Rect area = brush->lastStepArea(), read = brush->lastStepReadArea();
            ASSERT_FALSE(area.isNull()) << c.name << " step " << steps;
            EXPECT_LE(area.width(), side) << c.name << " step " << steps;
            EXPECT_LE(area.height(), c.size + 6) << c.name << " step " << steps;
            EXPECT_TRUE(area.contains(Rect(x, 512 - y, 1, 1))) << c.name << " step " << steps;
            EXPECT_TRUE(area.insetBy(-margin, -margin).contains(read))
                << c.name << " step " << steps << ": the fill read " << read.width() << " x "
                << read.height();
        }
        ASSERT_GT(steps, 8) << c.name;
        EXPECT_TRUE(handler.usesPreview());

        // The preview of the whole stroke heals the scratch from its first pixel to its last, about as
        // well as one preview fill of the whole stroke at once does.
        const QImage preview = toQImage(handler.additionalImage());
        const QImage atOnce = toQImage(brush->inpaintingFilter()->outputImage());
        // The mean difference from the skin before the scratch over [from, to) of the scratch's rows.
        const auto difference = [&](const QImage& picture, int from, int to) {
            double sum = 0;
            int count = 0;
            for (int x = from; x < to; ++x)
                for (int row = y - 1; row <= y; ++row, ++count) {
                    const QColor a = original.pixelColor(x, row), b = picture.pixelColor(x, row);
                    sum += (std::abs(a.redF() - b.redF()) + std::abs(a.greenF() - b.greenF()) +
                            std::abs(a.blueF() - b.blueF())) /
                           3;
                }
            return sum / count;
        };
        const double scratch = difference(scratched, x0, x1);
        ASSERT_GT(scratch, 0.3) << c.name << ": the scratch is plain to see";
        const int third = (x1 - x0) / 3;
        for (const auto& [from, to] : {std::pair(x0, x1), std::pair(x0, x0 + third)}) {
            const double healed = difference(preview, from, to), reference = difference(atOnce, from, to);
            EXPECT_LT(healed, 0.25 * scratch) << c.name << " from " << from << " to " << to;
            EXPECT_LT(healed, reference + 0.02) << c.name << " from " << from << " to " << to;
        }
        writeSheet({original, scratched, atOnce, preview}, QRect(x0 - 10, y - 15, x1 - x0 + 20, 30), 6,
                   QStringLiteral("healing-steps-%1.png").arg(int(c.size)));
        handler.brushUp();
    }
}

// A click handles only the last of its points: the iris there is painted over the start mask as a
// stroke, which "extractStroke" isolates whatever the mask held before and "integrateStroke" merges.
TEST(OVIrisMaskBrush, PaintsTheClickedIrisAsAStroke)
{
    // A blue iris of radius 8 with a black pupil of radius 3 around (32, 24), on the white of the eye.
    Bitmap bitmap(64, 48, Bitmap::Format::RGBA8);
    for (int row = 0; row < 48; ++row)
        for (int x = 0; x < 64; ++x) {
            const double d = std::hypot(x + 0.5 - 32, 48 - row - 0.5 - 24);
            const Color c = d <= 3   ? Color(0.02, 0.02, 0.02)
                            : d <= 8 ? Color(0.35, 0.5, 0.65)
                                     : Color(0.92, 0.9, 0.88);
            uint8_t* p = bitmap.mutableRow(row) + x * 4;
            p[0] = uint8_t(c.red() * 255), p[1] = uint8_t(c.green() * 255), p[2] = uint8_t(c.blue() * 255),
            p[3] = 255;
        }
    OVIrisMaskBrush brush;
    brush.setStartImage(greyMask(64, 48, 0.3));
    brush.setBackgroundImage(Image::fromBitmap(bitmap));
    brush.setBrushSize(20);
    OVBrush click;
    click.type = OVBrush::Click;
    click.size = 20;
    brush.brushDownAtPoint(click, {0.25, 0.5});
    brush.processPoints({{0.1, 0.2}, {0.9, 0.9}, {0.5, 0.5}});
    // The squares at the brush-down point and the click, and every pixel the iris was painted in.
    const Rect dirty = brush.dirtyRect();
    EXPECT_TRUE(dirty.contains(Rect(6, 14, 36, 20)));
    EXPECT_EQ(brush.lastPoint(), Point(32, 24));

    const auto tools = [&](int number) {
        FilterPtr filter = Filter::create(QStringLiteral("GMBrushMaskTools"));
        filter->setValue(QVariant::fromValue(brush.image()), QStringLiteral("inputImage"));
        filter->setValue(number, QStringLiteral("inputNumber"));
        return render(filter->value(OutputImageKey).value<Image>(), Rect(0, 0, 64, 48));
    };
    const Pixels stroke = tools(3), merged = tools(1);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) {
            const double d = std::hypot(x + 0.5 - 32, y + 0.5 - 24);
            const float c = stroke.at(x, y)[1], m = merged.at(x, y)[1];
            EXPECT_TRUE(c <= 0 || dirty.contains(Rect(x, y, 1, 1))) << x << "," << y;
            if (d >= 4.5 && d <= 7.5) {
                EXPECT_GT(c, 0.95f) << x << "," << y;
                EXPECT_GT(m, 0.95f) << x << "," << y;
            } else if (d <= 2 || d >= 9) {
                EXPECT_LT(c, 0.02f) << x << "," << y; // the pupil, the white of the eye, the first points
                EXPECT_NEAR(m, 0.3f, 0.01f) << x << "," << y;
            }
        }
}
