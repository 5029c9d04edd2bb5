#include "LayerTestSupport.h"
#include "Platform/UI/Transaction.h"
#include "Platform/UI/Transform3D.h"

#include <QMatrix4x4>
#include <QPainter>
#include <cmath>
#include <gtest/gtest.h>
#include <numbers>

using pf::Layer, pf::Point, pf::Rect, pf::Size, pf::Transform3D;
using pf::test::makeLayer;
using pf::test::pixel;
using pf::test::render;

namespace {

constexpr double kDegree = std::numbers::pi / 180;

// The depth factor of a 35 mm camera lens of `focalLength` millimetres (half-widths of the layer).
double depthFactorForFocalLength(double focalLength)
{
    const double fov = 2 * std::atan(43.266615305567875 / (2 * focalLength));
    return 1 / std::tan(fov / 2);
}

} // namespace

TEST(Transform3D, InterpolatesRotationsByDecompositionAndRoundTripsEveryKind)
{
    // Half way from flat to -75 degrees about y is -37.5 degrees, not the average of the matrices.
    const Transform3D flat, turned = Transform3D::rotation(-75 * kDegree, 0, 1, 0);
    const Transform3D half = Transform3D::interpolated(flat, turned, 0.5);
    const Transform3D expected = Transform3D::rotation(-37.5 * kDegree, 0, 1, 0);
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(half.values()[i], expected.values()[i], 1e-12) << i;

    Transform3D perspective;
    perspective.m34 = -1.0 / 500;
    const Transform3D samples[] = {
        Transform3D::translation(10, -20, 5).scaled(2, 3, 1).rotated(0.7, 1, 2, 3),
        Transform3D::scale(-1, 1, 1).rotated(0.3, 0, 0, 1), // a mirror
        Transform3D::rotation(2.5, 0, 1, 0).concatenated(perspective),
        Transform3D::fromAffine(pf::AffineTransform{1, 0.5, 0.25, 1, 3, 4}), // skew
    };
    for (const Transform3D& m : samples) {
        const Transform3D same = Transform3D::interpolated(m, m, 0.5);
        const Transform3D inverse = m.inverted().concatenated(m);
        for (int i = 0; i < 16; ++i) {
            EXPECT_NEAR(same.values()[i], m.values()[i], 1e-9) << i;
            EXPECT_NEAR(inverse.values()[i], Transform3D().values()[i], 1e-12) << i;
        }
    }
    // A matrix with a zero scale cannot be decomposed and interpolates element by element.
    const Transform3D collapsed = Transform3D::interpolated(Transform3D::scale(0, 0, 1), flat, 0.25);
    EXPECT_DOUBLE_EQ(collapsed.m11, 0.25);
    EXPECT_DOUBLE_EQ(collapsed.m22, 0.25);
}

TEST(LayerGeometry, FlattensAPerspectiveRotationWhereTheFormulaSaysAndHitTestsThere)
{
    // The layer browser's fan: a card turned -75 degrees about y, seen by a lens of 85 mm.
    const double width = 800;
    auto container = makeLayer(Rect(0, 0, width, 600));
    Transform3D perspective;
    const double distance = width / 2 * depthFactorForFocalLength(85);
    perspective.m34 = -1 / distance;
    container->setSublayerTransform(perspective);
    auto card = makeLayer(Rect(400, 225, 200, 150), Qt::red);
    card->setTransform(Transform3D::rotation(-75 * kDegree, 0, 1, 0));
    container->addSublayer(card);

    auto project = [&](double x, double y) {
        // Relative to the card's anchor, turned about y, placed, then divided by w about the container's
        // anchor (400, 300).
        const double dx = x - 100, dy = y - 75;
        const double X = dx * std::cos(75 * kDegree), Z = dx * std::sin(75 * kDegree);
        const double w = 1 - Z / distance;
        return Point(400 + (100 + X) / w, 300 + dy / w);
    };
    for (const Point corner : {Point(0, 0), Point(200, 0), Point(0, 150), Point(200, 150)}) {
        const Point expected = project(corner.x, corner.y);
        const Point actual = card->convertPointToLayer(corner, container.get());
        EXPECT_NEAR(actual.x, expected.x, 1e-9);
        EXPECT_NEAR(actual.y, expected.y, 1e-9);
        const Point back = card->convertPointFromLayer(actual, container.get());
        EXPECT_NEAR(back.x, corner.x, 1e-9);
        EXPECT_NEAR(back.y, corner.y, 1e-9);
    }

    const Point inside = project(150, 40);
    const Point rightEdge = project(200, 40);
    EXPECT_EQ(container->hitTest(inside), card);
    EXPECT_EQ(container->hitTest(Point(rightEdge.x + 4, rightEdge.y)), container);
    // Where the card lies unturned but not turned: the container, not the card.
    EXPECT_EQ(container->hitTest(Point(420, 240)), container);

    const QImage image = render(*container, QSize(800, 600));
    EXPECT_EQ(pixel(image, inside), QColor(Qt::red));
    EXPECT_EQ(pixel(image, Point(rightEdge.x + 4, rightEdge.y)).alpha(), 0);
    EXPECT_EQ(pixel(image, Point(420, 240)).alpha(), 0);
}

TEST(LayerGeometry, PartsBehindTheEyeAreClippedNotMirrored)
{
    auto root = makeLayer(Rect(0, 0, 2000, 400));
    Transform3D perspective;
    perspective.m34 = -1.0 / 200;
    root->setSublayerTransform(perspective); // about the anchor (1000, 200)
    auto wide = makeLayer(Rect(700, 150, 600, 100), Qt::blue);
    wide->setTransform(Transform3D::rotation(-60 * kDegree, 0, 1, 0));
    root->addSublayer(wide);

    // A point 280 right of the anchor has z = 242 > 200: behind the eye. Its mirror image would land at
    // x = 1000 + 140 / (1 - 242.5 / 200) < 400.
    const double X = 280 * std::cos(60 * kDegree), Z = 280 * std::sin(60 * kDegree);
    const double mirroredX = 1000 + X / (1 - Z / 200);
    ASSERT_GT(mirroredX, 0);
    ASSERT_LT(mirroredX, 500);
    const Point seen(1000 - 200 * std::cos(60 * kDegree) / (1 + 200 * std::sin(60 * kDegree) / 200), 200);

    const QImage image = render(*root, QSize(2000, 400));
    EXPECT_EQ(pixel(image, seen), QColor(Qt::blue));
    for (int x = 0; x < 900; x += 10)
        ASSERT_EQ(pixel(image, Point(x, 200)).alpha(), 0) << x;
    EXPECT_EQ(root->hitTest(Point(mirroredX, 200)), root);
    EXPECT_EQ(root->hitTest(seen), wide);
    const Rect frame = wide->convertRectToLayer(wide->bounds(), root.get());
    EXPECT_FALSE(frame.isNull());
    EXPECT_GE(frame.minX(), 900);
}

TEST(LayerGeometry, NestedSublayerTransformsFlattenLevelByLevel)
{
    // Two levels, each with its own perspective and turn; every level is flat and lands in its parent's
    // plane, so depth does not carry from one level to the next.
    auto root = makeLayer(Rect(0, 0, 600, 400));
    Transform3D p1;
    p1.m34 = -1.0 / 700;
    root->setSublayerTransform(p1);
    auto middle = makeLayer(Rect(100, 50, 400, 300));
    middle->setTransform(Transform3D::rotation(30 * kDegree, 1, 0, 0));
    Transform3D p2;
    p2.m34 = -1.0 / 300;
    middle->setSublayerTransform(p2);
    middle->setZPosition(40);
    root->addSublayer(middle);
    auto leaf = makeLayer(Rect(150, 100, 120, 80));
    leaf->setTransform(Transform3D::rotation(-50 * kDegree, 0, 1, 0));
    middle->addSublayer(leaf);

    // The same chain with Qt's column-vector matrices: own placement, then the parent's perspective about
    // its anchor, then the divide, and z dropped before the next level.
    auto level = [](QPointF p, QPointF anchor, QPointF position, double z, double angleDegrees,
                    QVector3D axis, QPointF parentAnchor, double parentDistance) {
        QMatrix4x4 m;
        m.translate(float(parentAnchor.x()), float(parentAnchor.y()));
        QMatrix4x4 perspective;
        perspective(3, 2) = float(-1 / parentDistance);
        m = m * perspective;
        m.translate(float(-parentAnchor.x()), float(-parentAnchor.y()));
        m.translate(float(position.x()), float(position.y()), float(z));
        m.rotate(float(angleDegrees), axis);
        m.translate(float(-anchor.x()), float(-anchor.y()));
        const QVector3D mapped = m.map(QVector3D(float(p.x()), float(p.y()), 0));
        return QPointF(mapped.x(), mapped.y());
    };
    for (const QPointF corner : {QPointF(0, 0), QPointF(120, 80), QPointF(60, 10)}) {
        const QPointF inMiddle = level(corner, {60, 40}, {210, 140}, 0, -50, {0, 1, 0}, {200, 150}, 300);
        const QPointF inRoot = level(inMiddle, {200, 150}, {300, 200}, 40, 30, {1, 0, 0}, {300, 200}, 700);
        const Point actual = leaf->convertPointToLayer(Point(corner.x(), corner.y()), root.get());
        EXPECT_NEAR(actual.x, inRoot.x(), 1e-3);
        EXPECT_NEAR(actual.y, inRoot.y(), 1e-3);
    }
}

TEST(LayerGeometry, PaintersOrderIsSublayerOrderThenZPosition)
{
    auto root = makeLayer(Rect(0, 0, 100, 100));
    auto red = makeLayer(Rect(10, 10, 50, 50), Qt::red);
    auto green = makeLayer(Rect(20, 20, 50, 50), Qt::green);
    auto blue = makeLayer(Rect(30, 30, 50, 50), Qt::blue);
    green->setZPosition(-1);
    for (const auto& layer : {red, green, blue})
        root->addSublayer(layer);
    const Point overlap(40, 40);
    EXPECT_EQ(pixel(render(*root, QSize(100, 100)), overlap), QColor(Qt::blue));
    EXPECT_EQ(root->hitTest(overlap), blue);

    const pf::Transaction::Scope atOnce(true);
    blue->setZPosition(-2); // now below green and red
    EXPECT_EQ(pixel(render(*root, QSize(100, 100)), overlap), QColor(Qt::red));
    EXPECT_EQ(root->hitTest(overlap), red);
    green->setZPosition(5);
    EXPECT_EQ(root->hitTest(overlap), green);
}

TEST(LayerGeometry, HitTestingSkipsHiddenTransparentMaskedAndClippedLayers)
{
    auto root = makeLayer(Rect(0, 0, 100, 100));
    auto clip = makeLayer(Rect(0, 0, 50, 50));
    clip->setMasksToBounds(true);
    auto child = makeLayer(Rect(40, 40, 40, 40), Qt::red); // sticks out of the clipping parent
    clip->addSublayer(child);
    root->addSublayer(clip);
    EXPECT_EQ(root->hitTest(Point(45, 45)), child);
    EXPECT_EQ(root->hitTest(Point(60, 60)), root);

    child->setOpacity(0);
    EXPECT_EQ(root->hitTest(Point(45, 45)), clip);
    child->setOpacity(1);
    child->setHidden(true);
    EXPECT_EQ(root->hitTest(Point(45, 45)), clip);
    child->setHidden(false);

    // A mask whose image is opaque only in its left half.
    QImage half(20, 20, QImage::Format_ARGB32_Premultiplied);
    half.fill(Qt::transparent);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 10; ++x)
            half.setPixelColor(x, y, Qt::white);
    auto mask = Layer::create();
    mask->setFrame(Rect(0, 0, 40, 40)); // in the child's coordinates
    mask->setContents(half);
    child->setMask(mask);
    EXPECT_EQ(root->hitTest(Point(45, 45)), child); // the mask's left half
    EXPECT_EQ(root->hitTest(Point(48, 45)), child);
    clip->setMasksToBounds(false);
    EXPECT_EQ(root->hitTest(Point(70, 45)), root); // the mask's transparent half
    EXPECT_EQ(root->hitTest(Point(55, 45)), child);
}

TEST(LayerGeometry, AutoresizingSharesTheChangeAmongFlexibleParts)
{
    struct Case
    {
        unsigned mask;
        Rect expected; // of a 20 x 10 sublayer at (10, 30) in a 100 x 100 superlayer grown to 200 x 150
    };
    using L = Layer;
    const Case cases[] = {
        {L::NotSizable, Rect(10, 30, 20, 10)},
        {L::WidthSizable | L::HeightSizable, Rect(10, 30, 120, 60)},
        {L::MinXMargin | L::MinYMargin, Rect(110, 80, 20, 10)},
        {L::MaxXMargin, Rect(10, 30, 20, 10)},
        // Flexible left margin (10) and width (20) share +100 as 1 : 2; the bottom margin (30) and the
        // top margin (60) share +50 as 1 : 2.
        {L::MinXMargin | L::WidthSizable | L::MinYMargin | L::MaxYMargin,
         Rect(10 + 100.0 / 3, 30 + 50.0 / 3, 20 + 200.0 / 3, 10)},
    };
    for (const Case& c : cases) {
        auto parent = makeLayer(Rect(0, 0, 100, 100));
        auto child = makeLayer(Rect(10, 30, 20, 10));
        child->setAutoresizingMask(c.mask);
        parent->addSublayer(child);
        parent->setBounds(Rect(0, 0, 200, 150));
        const Rect f = child->frame();
        EXPECT_NEAR(f.minX(), c.expected.minX(), 1e-9) << c.mask;
        EXPECT_NEAR(f.minY(), c.expected.minY(), 1e-9) << c.mask;
        EXPECT_NEAR(f.width(), c.expected.width(), 1e-9) << c.mask;
        EXPECT_NEAR(f.height(), c.expected.height(), 1e-9) << c.mask;
    }
}

TEST(LayerGeometry, ContentsGravityPlacesTheImage)
{
    struct Case
    {
        pf::ContentsGravity gravity;
        Rect expected; // of a 100 x 50 image in 200 x 200 bounds
    };
    using G = pf::ContentsGravity;
    const Case cases[] = {
        {G::Resize, Rect(0, 0, 200, 200)},
        {G::ResizeAspect, Rect(0, 50, 200, 100)},
        {G::ResizeAspectFill, Rect(-100, 0, 400, 200)},
        {G::Center, Rect(50, 75, 100, 50)},
        {G::Top, Rect(50, 150, 100, 50)},
        {G::BottomLeft, Rect(0, 0, 100, 50)},
        {G::Right, Rect(100, 75, 100, 50)},
    };
    for (const Case& c : cases) {
        pf::LayerState state;
        state.bounds = Rect(0, 0, 200, 200);
        state.contentsGravity = c.gravity;
        EXPECT_EQ(state.contentsDestination(QSize(100, 50)), c.expected) << static_cast<int>(c.gravity);
    }
}
