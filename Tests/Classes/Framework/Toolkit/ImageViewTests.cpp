#include "Classes/Framework/Toolkit/OVImageView.h"
#include "Classes/Framework/Toolkit/OVViewDelegate.h"
#include "Platform/Image/Color.h"
#include "Platform/UI/Window.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>
#include <limits>

namespace {

using pf::Rect;

QImage filled(int width, int height, QColor color = Qt::red)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(color);
    return image;
}

TEST(OVImageView, PlacesTheImageByGravityFitAndUpscaling)
{
    const struct
    {
        const char* name;
        QSize image;
        pf::Size bounds;
        int gravity;
        bool aspectFit, upscale;
        Rect expected;
    } cases[] = {
        {"fill", {30, 20}, {200, 100}, 256, false, false, Rect(0, 0, 200, 100)},
        {"fill covering a wider view", {50, 50}, {200, 100}, 256, true, false, Rect(0, -50, 200, 200)},
        {"fill covering a taller view", {50, 50}, {100, 200}, 256, true, false, Rect(-50, 0, 200, 200)},
        {"centred and fitted", {100, 50}, {300, 300}, 0, true, false, Rect(0, 75, 300, 150)},
        {"fitted and upscaled", {100, 50}, {300, 300}, 0, true, true, Rect(0, 0, 300, 300)},
        {"top left at natural size", {40, 30}, {200, 100}, 2 | 8, false, false, Rect(0, 70, 40, 30)},
        {"right wins over left", {40, 30}, {200, 100}, 2 | 8 | 16, false, false, Rect(160, 70, 40, 30)},
        {"centred when no bit says otherwise", {40, 30}, {200, 100}, 1, false, false, Rect(80, 35, 40, 30)},
        {"upscaled in one dimension", {40, 300}, {200, 100}, 2, false, true, Rect(0, -200, 200, 300)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        OVImageView view(Rect(0, 0, c.bounds.width, c.bounds.height));
        view.setImage(filled(c.image.width(), c.image.height()));
        view.setGravity(c.gravity);
        view.setAspectFit(c.aspectFit);
        view.setUpscaleIfNeeded(c.upscale);
        EXPECT_EQ(view.destinationRect(), c.expected);
    }
}

// An image of zero width or height draws nothing, not even the border.
TEST(OVImageView, AnImageWithoutAreaDrawsNothing)
{
    OVImageView view(Rect(0, 0, 20, 20));
    view.setImage(filled(0, 10));
    view.setBorderColor(QColor(Qt::white));
    view.setBorderWidth(2);
    EXPECT_TRUE(view.destinationRect().isNull());
    EXPECT_EQ(view.snapshot().pixelColor(0, 0).alpha(), 0);
    view.setImage(filled(10, 10, Qt::black));
    EXPECT_EQ(view.snapshot().pixelColor(0, 0), QColor(Qt::white));
}

// Each destination pixel shows the source pixel the nine slices map it to: fixed corners and edges,
// the stretchable middle row and column spread over what is left. Sources encode their coordinates.
TEST(OVImageView, NineSlicesKeepTheBordersAndStretchTheMiddle)
{
    QImage source(21, 21, QImage::Format_ARGB32_Premultiplied);
    for (int x = 0; x < 21; ++x)
        for (int yUp = 0; yUp < 21; ++yUp)
            source.setPixelColor(x, 20 - yUp, QColor(x * 12, yUp * 12, 128));
    const struct
    {
        const char* name;
        QString imageName; // parsed for its options only
        int width, height;
    } cases[] = {
        {"wide", QStringLiteral("Missing#10-10-1-1"), 100, 40},
        {"smaller than the borders", QStringLiteral("Missing#10-10-1-1"), 15, 15},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        OVImageView view(Rect(0, 0, c.width, c.height));
        view.setImageName(c.imageName);
        EXPECT_EQ(view.stretchRect(), Rect(10, 10, 1, 1));
        const Rect stretch = view.stretchRect();
        view.setImage(source);
        view.setStretchRect(stretch);
        const QImage drawn = view.snapshot(1.0);
        // Where a destination coordinate comes from: the last 10 points from the last 10 (drawn last,
        // so they win where the borders overlap), the first 10 from the first 10, the rest from the middle.
        auto sourceOf = [](int d, int length) -> int {
            if (d >= length - 10)
                return 11 + d - (length - 10);
            return d < 10 ? d : 10;
        };
        for (int x = 0; x < c.width; ++x) {
            for (int yUp = 0; yUp < c.height; ++yUp) {
                const bool nearSeam = std::abs(x - 10) <= 1 || std::abs(x - (c.width - 10)) <= 1 ||
                                      std::abs(yUp - 10) <= 1 || std::abs(yUp - (c.height - 10)) <= 1;
                if (nearSeam)
                    continue; // smoothing may mix neighbouring slices on their seams
                const QColor expected(sourceOf(x, c.width) * 12, sourceOf(yUp, c.height) * 12, 128);
                const QColor actual = drawn.pixelColor(x, c.height - 1 - yUp);
                ASSERT_LE(
                    std::abs(actual.red() - expected.red()) + std::abs(actual.green() - expected.green()), 6)
                    << "at " << x << ", " << yUp;
            }
        }
    }
}

// Engine images draw at full strength; each kind of image replaces the other, except that no image
// does not replace an engine image.
TEST(OVImageView, EngineImagesAndInterfaceImagesReplaceEachOther)
{
    OVImageView view(Rect(0, 0, 20, 10));
    view.setOpacity(0.3);
    const pf::Image red =
        pf::Image::constantColor(pf::Color(1, 0, 0, 1)).imageByCroppingToRect(Rect(0, 0, 40, 20));
    view.setImage(filled(4, 4, Qt::blue));
    view.setCIImage(red);
    EXPECT_TRUE(view.image().isNull());
    view.setImage(QImage());
    EXPECT_FALSE(view.ciImage().isNull());
    const QImage drawn = view.snapshot(1.0);
    EXPECT_EQ(drawn.pixelColor(10, 5), QColor(255, 0, 0));
    EXPECT_EQ(view.intrinsicContentSize(), pf::Size(40, 20));
    view.setImage(filled(4, 4, Qt::blue));
    EXPECT_TRUE(view.ciImage().isNull());
    EXPECT_NEAR(view.snapshot(1.0).pixelColor(10, 5).alphaF(), 0.3, 0.01);
}

// An endless engine image has no natural size (and draws nothing rather than an endless render); a
// huge finite one gives a size hint held to what a widget can be, never a negative one.
TEST(OVImageView, EndlessAndHugeEngineImages)
{
    const pf::Image endless = pf::Image::constantColor(pf::Color(1, 0, 0, 1));
    const struct
    {
        const char* name;
        pf::Image image;
        pf::Size intrinsic;
        QSize hint;
    } cases[] = {
        {"endless", endless, {0, 0}, {0, 0}},
        {"endless one way",
         endless.imageByCroppingToRect(Rect(0, 0, 40, std::numeric_limits<double>::infinity())),
         {0, 0},
         {0, 0}},
        {"huge", endless.imageByCroppingToRect(Rect(0, 0, 1e12, 30)), {1e12, 30}, {QWIDGETSIZE_MAX, 30}},
        {"plain", endless.imageByCroppingToRect(Rect(5, 5, 40.5, 20)), {40.5, 20}, {41, 20}},
    };
    for (const auto& c : cases) {
        OVImageView view(Rect(0, 0, 20, 10));
        view.setCIImage(c.image);
        EXPECT_EQ(view.intrinsicContentSize(), c.intrinsic) << c.name;
        EXPECT_EQ(view.sizeHint(), c.hint) << c.name;
    }
    OVImageView view(Rect(0, 0, 20, 10));
    view.setCIImage(endless);
    EXPECT_EQ(view.snapshot(1.0).pixelColor(10, 5).alpha(), 0) << "nothing drawn";
}

TEST(OVImageView, OneFixedSideGivesTheOtherByTheAspect)
{
    const struct
    {
        QSize image;
        std::optional<double> width, height;
        pf::Size expected;
    } cases[] = {
        {{100, 80}, 50.0, std::nullopt, {50, 40}},
        {{100, 80}, std::nullopt, 40.0, {50, 40}},
        {{100, 80}, 50.0, 20.0, {100, 80}},
        {{100, 80}, std::nullopt, std::nullopt, {100, 80}},
        // No natural size to take an aspect from: the zero size, never a division by zero.
        {{0, 0}, std::nullopt, 40.0, {0, 0}},
        {{0, 80}, 50.0, std::nullopt, {0, 0}},
    };
    for (const auto& c : cases) {
        OVImageView view;
        view.setImage(filled(c.image.width(), c.image.height()));
        view.setFixedWidth(c.width);
        view.setFixedHeight(c.height);
        EXPECT_EQ(view.intrinsicContentSize(), c.expected);
    }
}

// A delegate that takes clicks gets one per single click, and the views around never see the events.
TEST(OVImageView, ADelegateTakingClicksGetsSingleClicksOnly)
{
    struct Delegate : OVViewDelegate
    {
        int clicks = 0;
        bool takesClicks() const override { return true; }
        void viewWasClicked(pf::View*) override { ++clicks; }
    } delegate;
    struct Around : pf::View
    {
        int events = 0;
        void mouseDown(const pf::Event&) override { ++events; }
        void mouseUp(const pf::Event&) override { ++events; }
    } around;
    auto* view = new OVImageView(Rect(0, 0, 10, 10));
    around.addSubview(view);
    auto send = [&](pf::EventType type, int count) {
        view->deliverMouseEvent(pf::Event::mouseEvent(type, pf::Point(5, 5), 0, 0, nullptr, count));
    };
    view->setViewDelegate(&delegate);
    send(pf::EventType::LeftMouseDown, 1);
    send(pf::EventType::LeftMouseUp, 1);
    send(pf::EventType::LeftMouseDown, 2);
    send(pf::EventType::LeftMouseUp, 2);
    EXPECT_EQ(delegate.clicks, 1);
    EXPECT_EQ(around.events, 0);
    view->setViewDelegate(nullptr);
    send(pf::EventType::LeftMouseDown, 1);
    EXPECT_EQ(around.events, 1);
}

} // namespace

namespace {

// A view that drags its window moves it with the pointer, by itself.
TEST(OVImageView, DragsItsWindow)
{
    pf::Window window(Rect(200, 200, 300, 200), pf::Window::Borderless);
    auto* view = new OVImageView(Rect(0, 0, 300, 200));
    view->setDragsWindow(true);
    window.contentView()->addSubview(view);
    window.show();
    auto send = [&](pf::EventType type, pf::Point at) {
        view->deliverMouseEvent(pf::Event::mouseEvent(type, at, 0, 0, &window));
    };
    send(pf::EventType::LeftMouseDown, pf::Point(50, 50));
    send(pf::EventType::LeftMouseDragged, pf::Point(80, 70)); // the pointer 30 right and 20 up
    EXPECT_EQ(window.frame().origin, pf::Point(230, 220));
    send(pf::EventType::LeftMouseDragged, pf::Point(50, 50)); // back where it was on the window
    EXPECT_EQ(window.frame().origin, pf::Point(230, 220));
    send(pf::EventType::LeftMouseUp, pf::Point(50, 50));
}

} // namespace
