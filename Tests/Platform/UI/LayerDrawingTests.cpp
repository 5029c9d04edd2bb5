#include "LayerTestSupport.h"

#include "Platform/UI/LayerDelegate.h"
#include "Platform/UI/Transaction.h"

#include <QPainter>
#include <cmath>
#include <numbers>

using pf::Layer, pf::Point, pf::Rect, pf::Transform3D;
using pf::test::makeLayer;
using pf::test::pixel;
using pf::test::render;

namespace {

// Fills whatever it is asked to draw with the next colour of a list, and remembers the clip.
struct Painter : pf::LayerDelegate
{
    QList<QColor> colors{Qt::red, Qt::green, Qt::blue, Qt::yellow};
    int draws = 0;
    QRectF lastClip; // in layer coordinates (y-up)

    void drawLayer(Layer& layer, QPainter& painter) override
    {
        lastClip = painter.clipBoundingRect();
        painter.fillRect(layer.bounds().toQRectF(), colors[draws++ % colors.size()]);
    }
};

// A square of one-pixel black and white squares, black at the corner.
QImage checkerboard(int side)
{
    QImage image(side, side, QImage::Format_RGB32);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            image.setPixel(x, y, (x + y) % 2 ? 0xffffffff : 0xff000000);
    return image;
}

} // namespace

TEST(LayerDrawing, APartialRedrawKeepsEveryPixelOutsideTheDirtyRectangle)
{
    Painter painter;
    auto layer = makeLayer(Rect(0, 0, 200, 150));
    layer->setDelegate(&painter);
    layer->setNeedsDisplay();
    layer->displayIfNeeded();
    QImage before = layer->contents().copy();
    // Something to lose: a pattern the next full fill would not restore.
    for (int y = 0; y < before.height(); ++y)
        for (int x = 0; x < before.width(); ++x)
            before.setPixel(x, y, qRgba(x % 256, y % 256, (x * y) % 256, 255));
    {
        // Paint the pattern into the backing store through a delegate draw of the whole bounds.
        struct Pattern : pf::LayerDelegate
        {
            QImage image;
            void drawLayer(Layer&, QPainter& p) override
            {
                p.save();
                p.resetTransform();
                p.drawImage(0, 0, image);
                p.restore();
            }
        } pattern;
        pattern.image = before;
        layer->setDelegate(&pattern);
        layer->setNeedsDisplay();
        layer->displayIfNeeded();
        layer->setDelegate(&painter);
    }
    ASSERT_EQ(layer->contents(), before);

    layer->setNeedsDisplayInRect(Rect(20, 10, 30, 40)); // y-up: rows 100..139 of the image
    layer->setNeedsDisplayInRect(Rect(150.5, 120.25, 10, 10));
    layer->displayIfNeeded();
    EXPECT_EQ(painter.lastClip, QRectF(20, 10, 141, 121)); // the bounding box of both, in y-up points
    const QImage after = layer->contents();
    const QRegion dirty = QRegion(20, 100, 30, 40) + QRegion(150, 19, 11, 11);
    int changed = 0;
    for (int y = 0; y < after.height(); ++y)
        for (int x = 0; x < after.width(); ++x) {
            if (dirty.contains(QPoint(x, y))) {
                ASSERT_EQ(after.pixelColor(x, y), QColor(Qt::green)) << x << "," << y;
                ++changed;
            } else {
                ASSERT_EQ(after.pixel(x, y), before.pixel(x, y)) << x << "," << y;
            }
        }
    EXPECT_EQ(changed, 30 * 40 + 11 * 11);
}

TEST(LayerDrawing, TheFirstDrawAfterContentsFromOutsideCoversTheBounds)
{
    Painter painter;
    auto layer = makeLayer(Rect(0, 0, 64, 48));
    layer->setDelegate(&painter);
    layer->setNeedsDisplay();
    layer->displayIfNeeded(); // red

    QImage photo(64, 48, QImage::Format_ARGB32_Premultiplied);
    photo.fill(Qt::gray);
    layer->setContents(photo);
    EXPECT_FALSE(layer->needsDisplay()); // the new contents are not painted over by a pending draw
    EXPECT_EQ(layer->contents(), photo);

    layer->setNeedsDisplayInRect(Rect(0, 0, 8, 8));
    layer->displayIfNeeded();
    EXPECT_EQ(painter.lastClip, QRectF(0, 0, 64, 48));
    const QImage drawn = layer->contents();
    EXPECT_EQ(drawn.pixelColor(63, 0), QColor(Qt::green));
    EXPECT_EQ(drawn.pixelColor(0, 47), QColor(Qt::green));

    // A layer that draws nothing keeps its contents when asked to redraw.
    auto plain = makeLayer(Rect(0, 0, 64, 48));
    plain->setContents(photo);
    plain->setNeedsDisplay();
    plain->displayIfNeeded();
    EXPECT_EQ(plain->contents(), photo);
}

TEST(LayerDrawing, ReducedCopiesKeepFineDetailFromAliasing)
{
    // A one-pixel checkerboard shown at 1/16 of its size must look grey, not black or white.
    const QImage checker = checkerboard(1024);
    auto layer = makeLayer(Rect(0, 0, 64, 64));
    layer->setContents(checker);
    const QImage image = render(*layer, QSize(64, 64));
    for (const Point p : {Point(10, 10), Point(33, 20), Point(50, 61)})
        EXPECT_NEAR(pixel(image, p).red(), 128, 8);
}

TEST(LayerDrawing, GroupsMasksAndShadowsComposeOffscreen)
{
    auto root = makeLayer(Rect(0, 0, 100, 100));
    auto group = makeLayer(Rect(10, 10, 80, 80));
    group->setOpacity(0.5);
    group->addSublayer(makeLayer(Rect(0, 0, 50, 50), Qt::black));
    group->addSublayer(makeLayer(Rect(25, 25, 50, 50), Qt::black));
    root->addSublayer(group);
    // One layer at half opacity: the overlap is no darker than the rest.
    const QImage grouped = render(*root, QSize(100, 100));
    EXPECT_NEAR(pixel(grouped, Point(45, 45)).alpha(), 128, 1);
    EXPECT_NEAR(pixel(grouped, Point(20, 20)).alpha(), 128, 1);

    // A mask cuts the layer to its shape; a shadow falls below (y-up offset -6).
    auto masked = makeLayer(Rect(0, 0, 100, 100));
    auto card = makeLayer(Rect(20, 30, 60, 40), Qt::red);
    auto mask = makeLayer(Rect(0, 0, 30, 40), Qt::white); // the card's left half
    card->setMask(mask);
    card->setShadowOpacity(1);
    card->setShadowRadius(2);
    card->setShadowOffset(pf::Size(0, -6));
    masked->addSublayer(card);
    const QImage image = render(*masked, QSize(100, 100));
    EXPECT_EQ(pixel(image, Point(30, 50)), QColor(Qt::red));
    EXPECT_EQ(pixel(image, Point(70, 50)).alpha(), 0);
    EXPECT_GT(pixel(image, Point(35, 27)).alpha(), 200); // the shadow below the masked half
    EXPECT_EQ(pixel(image, Point(70, 27)).alpha(), 0);
}

TEST(LayerDrawing, CachedSubtreesLookTheSameAndFollowChanges)
{
    auto makeTree = [] {
        auto root = makeLayer(Rect(0, 0, 160, 120), Qt::white);
        auto card = makeLayer(Rect(20, 20, 100, 70), Qt::darkBlue);
        card->setCornerRadius(6);
        card->setBorderWidth(2);
        card->setBorderColor(Qt::yellow);
        auto badge = makeLayer(Rect(70, 40, 20, 20), Qt::red);
        card->addSublayer(badge);
        card->addSublayer(makeLayer(Rect(5, 5, 30, 10), Qt::green));
        root->addSublayer(card);
        return std::make_pair(root, card);
    };
    auto [root, card] = makeTree();
    for (int frame = 0; frame < 4; ++frame)
        render(*root, QSize(160, 120)); // the card's subtree is now drawn from its cache
    {
        const pf::Transaction::Scope atOnce(true);
        card->setTransform(Transform3D::translation(7, -3, 0));
    }
    auto [freshRoot, freshCard] = makeTree();
    {
        const pf::Transaction::Scope atOnce(true);
        freshCard->setTransform(Transform3D::translation(7, -3, 0));
    }
    // Antialiased edges may round differently once composed through the cache.
    EXPECT_LE(pf::test::maxDifference(render(*root, QSize(160, 120)), render(*freshRoot, QSize(160, 120))),
              2);

    {
        const pf::Transaction::Scope atOnce(true);
        card->sublayers().front()->setBackgroundColor(Qt::cyan);
    }
    EXPECT_EQ(pixel(render(*root, QSize(160, 120)), Point(27 + 80, 17 + 50)), QColor(Qt::cyan));
}

TEST(LayerDrawing, OpaqueCardsHideWhatLiesBelowWithoutSeams)
{
    // A fan of opaque cards in perspective over white: only what later cards leave visible of earlier ones
    // is drawn, and along every covering edge no white may show through.
    auto root = makeLayer(Rect(0, 0, 400, 200), Qt::white);
    Transform3D perspective;
    perspective.m34 = -1.0 / 600;
    root->setSublayerTransform(perspective);
    const QColor colors[] = {Qt::red, Qt::blue, Qt::magenta, Qt::red, Qt::blue};
    for (int i = 0; i < 5; ++i) {
        QImage image(64, 48, QImage::Format_RGB32);
        image.fill(colors[i]);
        auto card = makeLayer(Rect(0, 0, 160, 120));
        card->setPosition(Point(260 - 30 * i, 100));
        card->setTransform(Transform3D::rotation(-70 * std::numbers::pi / 180, 0, 1, 0));
        card->setContents(image);
        root->addSublayer(card);
    }
    const QImage image = render(*root, QSize(400, 200));
    const Rect fan =
        root->sublayers()
            .back()
            ->convertRectToLayer(Rect(0, 0, 160, 120), root.get())
            .united(root->sublayers().front()->convertRectToLayer(Rect(0, 0, 160, 120), root.get()));
    int checked = 0;
    for (int x = static_cast<int>(fan.minX()) + 2; x < static_cast<int>(fan.maxX()) - 2; ++x, ++checked)
        ASSERT_LE(pixel(image, Point(x, 100)).green(), 2) << x;
    EXPECT_GT(checked, 100);
    EXPECT_EQ(pixel(image, Point(fan.maxX() - 3, 100)), QColor(Qt::red)); // the first card, uncovered
}

TEST(LayerDrawing, ScreensOfTwoPixelsPerPointGetTheirPixels)
{
    // A card of 30 points showing a checkerboard of 60 pixels, with a shadow (so it is composed
    // offscreen): on a screen of two pixels per point every pixel of the image lands on one of the screen.
    const QImage checker = checkerboard(60);
    auto root = makeLayer(Rect(0, 0, 100, 100));
    auto card = makeLayer(Rect(10, 10, 30, 30));
    card->setContents(checker);
    card->setShadowOpacity(1);
    card->setShadowRadius(0);
    card->setShadowOffset(pf::Size(0.5, 0));
    card->setShadowColor(Qt::red);
    root->addSublayer(card);
    QImage image(200, 200, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(2);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
        painter.setTransform(QTransform(1, 0, 0, -1, 0, 100)); // logical points, y-up
        pf::LayerRenderer::render(*root, painter, 0);
    }
    // Device columns 20...79 and rows 120...179 hold the checkerboard pixel for pixel; the shadow shows
    // one pixel right.
    for (int y = 120; y < 180; y += 7)
        for (int x = 20; x < 80; x += 3)
            ASSERT_EQ(image.pixelColor(x, y), checker.pixelColor(x - 20, y - 120)) << x << "," << y;
    EXPECT_EQ(image.pixelColor(19, 150).alpha(), 0);
    EXPECT_EQ(image.pixelColor(80, 150), QColor(Qt::red));
    EXPECT_EQ(image.pixelColor(81, 150).alpha(), 0);
}

TEST(LayerDrawing, CoveredCardsLookTheSameAsCardsDrawnWhole)
{
    // Opaque cards are drawn only where later cards leave them visible, in pieces without clips where the
    // covers allow. The same cards with an alpha channel (opaque all the same) are drawn whole, one over
    // the other: both must look alike everywhere, edges included, also where the screen's edge cuts the
    // cards.
    struct Scene
    {
        const char* name;
        double turnDegrees, spacing, shrinkPerCard, y;
        double opacity;
    };
    const Scene scenes[] = {
        {"an almost flat stack", -4, 2, 0.5, 100, 1},
        {"a fan in perspective", -70, 30, 0, 100, 1},
        {"a fan turned the other way", 60, -25, 0, 100, 1},
        {"cards reaching off the top", -20, 12, 1.5, 170, 1},
        {"a translucent stack", -4, 2, 0.5, 100, 0.6},
        {"a translucent card under cards reaching off the top", -20, 12, 1.5, 170, 0.6},
    };
    auto imageOf = [](int index, QImage::Format format) {
        QImage image(128, 96, format);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                image.setPixel(x, y, qRgb(x + index * 25, y * 2, ((x ^ y) & 8) ? 230 : 40));
        return image;
    };
    for (const Scene& scene : scenes) {
        QImage rendered[2];
        for (const int whole : {0, 1}) {
            auto root = makeLayer(Rect(0, 0, 800, 400), Qt::white);
            Transform3D perspective;
            perspective.m34 = -1.0 / 1200;
            root->setSublayerTransform(perspective);
            for (int i = 0; i < 6; ++i) {
                auto card =
                    makeLayer(Rect(0, 0, 160 - i * scene.shrinkPerCard, 120 - i * scene.shrinkPerCard));
                card->setPosition(Point(400 - 2 * scene.spacing * (i - 2.5), 2 * scene.y));
                card->setTransform(
                    Transform3D::rotation(scene.turnDegrees * std::numbers::pi / 180, 0, 1, 0));
                card->setContents(
                    imageOf(i, whole ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32));
                card->setMasksToBounds(i % 2 == 0);
                card->setOpacity(i == 3 ? scene.opacity : 1);
                root->addSublayer(card);
            }
            if (getenv("DUMP_CLIP"))
                fprintf(stderr, "scene %s whole %d\n", scene.name, whole);
            rendered[whole] = render(*root, QSize(800, 400));
            if (getenv("SAVE_T"))
                rendered[whole].save(QString("/tmp/t-%1-%2.png").arg(scene.name).arg(whole));
        }
        int differing = 0;
        for (int y = 0; y < 400; ++y)
            for (int x = 0; x < 800; ++x) {
                const QRgb p = rendered[0].pixel(x, y), q = rendered[1].pixel(x, y);
                differing += std::max({std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                                       std::abs(qBlue(p) - qBlue(q))}) > 24;
            }
        // Where two pieces of a card meet at its edge, a pixel or two of the edge is covered twice.
        EXPECT_LE(differing, 16) << scene.name;
    }
}
