#include "Classes/Framework/Toolkit/OVColumnView.h"
#include "Classes/Framework/Toolkit/OVGlassView.h"
#include "Classes/Framework/Toolkit/OVImagePrintView.h"
#include "Classes/Framework/Toolkit/OVImagePrintViewDelegate.h"
#include "Classes/Framework/Toolkit/OVLayoutTranslationView.h"
#include "Classes/Framework/Toolkit/OVLineView.h"
#include "Classes/Framework/Toolkit/OVOverlayScrollView.h"
#include "Classes/Framework/Toolkit/OVPointingView.h"
#include "Classes/Framework/Toolkit/OVRoundedRect.h"
#include "Classes/Framework/Toolkit/OVTabView.h"
#include "Classes/Framework/Toolkit/OVTestView.h"
#include "Platform/Foundation/Log.h"
#include "Platform/UI/ClipView.h"

#include <QCoreApplication>
#include <QPainter>
#include <QVBoxLayout>
#include <gtest/gtest.h>

namespace {

using pf::Point;
using pf::Rect;
using pf::Size;

// The picture of a view with y-up pixel addressing: row 0 is the bottom.
struct Picture
{
    QImage image;
    explicit Picture(pf::View& view) : image(view.snapshot(1).convertToFormat(QImage::Format_ARGB32)) {}
    QColor at(int x, int yUp) const { return image.pixelColor(x, image.height() - 1 - yUp); }
    int alpha(int x, int yUp) const { return at(x, yUp).alpha(); }
};

TEST(OVPointingView, PointerClampsAlongItsEdge)
{
    OVPointingView view(Rect(0, 0, 200, 120));
    // The container leaves the rim and, on the pointer's side, 10 points.
    EXPECT_EQ(view.containerView()->frame(), Rect(10, 1, 188, 118));
    view.setDistance(0);
    const Rect r = view.containerView()->frame().insetBy(-1, -1);
    EXPECT_DOUBLE_EQ(view.pointerPosition(), r.minY() + 14);
    view.setDistance(1000);
    EXPECT_DOUBLE_EQ(view.pointerPosition(), r.height() - 14);
    // The tip is drawn: the pointer reaches outside the container's rim.
    view.setDistance(60);
    const Picture picture(view);
    EXPECT_GT(picture.alpha(3, 60), 150) << "inside the pointer";
    EXPECT_EQ(picture.alpha(3, 20), 0) << "beside the pointer, outside the body";
    EXPECT_GT(picture.alpha(100, 60), 150) << "the body";
}

TEST(OVPointingView, SubviewsEndInTheContainerEitherWay)
{
    OVPointingView view(Rect(0, 0, 200, 120));
    auto* added = new pf::View(Rect(5, 5, 20, 20));
    view.addSubview(added);
    auto* parented = new pf::View(Rect(30, 5, 20, 20), &view);
    QCoreApplication::sendPostedEvents(&view);
    EXPECT_EQ(added->superview(), view.containerView());
    EXPECT_EQ(parented->superview(), view.containerView());
    EXPECT_EQ(view.subviews().size(), 1);
    const Point before = added->convertPointToView(Point(), &view);
    view.setPointingSide(OVPointingView::Bottom);
    EXPECT_EQ(view.containerView()->frame(), Rect(1, 10, 198, 108));
    const Point after = added->convertPointToView(Point(), &view);
    EXPECT_EQ(after.x - before.x, -9) << "moves with the container";
    EXPECT_EQ(after.y - before.y, 9);
}

TEST(OVRoundedRect, GradientBodyInsideAOnePointRim)
{
    OVRoundedRect view(Rect(0, 0, 60, 40));
    view.setTopFillColor(QColor(255, 0, 0));
    view.setBottomFillColor(QColor(0, 0, 255));
    view.setTopStrokeColor(QColor(0, 255, 0));
    view.setBottomStrokeColor(QColor(0, 255, 0));
    const Picture picture(view);
    // The rim is the outermost point, the body starts one point in.
    EXPECT_EQ(picture.at(30, 0), QColor(0, 255, 0));
    EXPECT_EQ(picture.at(30, 39), QColor(0, 255, 0));
    EXPECT_EQ(picture.at(0, 20), QColor(0, 255, 0));
    EXPECT_EQ(picture.at(30, 1).green(), 0);
    const QColor top = picture.at(30, 37), bottom = picture.at(30, 2);
    EXPECT_GT(top.red(), 200) << "the top fill colour at the top";
    EXPECT_GT(bottom.blue(), 200);
    EXPECT_EQ(picture.alpha(0, 0), 0) << "corners are rounded";
}

TEST(OVTabView, EdgesInPositionRunPastTheBounds)
{
    OVTabView view(Rect(0, 0, 60, 40));
    view.setShadowColor(QColor(255, 0, 0));
    view.setPosition(OVTabView::TopEdge | OVTabView::LeftEdge);
    EXPECT_EQ(view.tabRect(), Rect(-3, 3, 60, 40));
    const Picture picture(view);
    EXPECT_EQ(picture.at(0, 39), QColor(Qt::white)) << "the top-left corner is cut off, not rounded";
    EXPECT_EQ(picture.at(30, 39), QColor(Qt::white));
    const QColor glow = picture.at(58, 20);
    EXPECT_GT(glow.alpha(), 0) << "the glow shows on the right";
    EXPECT_GT(glow.red(), glow.green());
    EXPECT_LT(picture.alpha(59, 0), 40) << "the lower right corner shows";
}

TEST(OVGlassAndTestView, FillAndSheen)
{
    OVGlassView glass(Rect(0, 0, 20, 100));
    glass.setColorName(QStringLiteral("0 0 0 1"));
    const Picture sheen(glass);
    EXPECT_GT(sheen.at(10, 5).red(), 20) << "light at the bottom";
    EXPECT_LT(sheen.at(10, 55).red(), 8) << "none just below the line at 0.6";
    EXPECT_GT(sheen.at(10, 61).red(), 20) << "light again above it";
    OVTestView test(Rect(0, 0, 10, 10));
    const QColor fill = Picture(test).at(5, 5);
    EXPECT_EQ(fill.green(), 255);
    EXPECT_NEAR(fill.alpha(), 77, 1);
}

struct PressRecorder : pf::View
{
    using View::View;
    int presses = 0;
    void mouseDown(const pf::Event&) override { ++presses; }
    void mouseUp(const pf::Event&) override { ++presses; }
};

TEST(OVColumnView, ShadesDiagonallyOrFromTheLeftWithADarkLeftLine)
{
    OVColumnView column(Rect(0, 0, 60, 200));
    const Picture diagonal(column);
    EXPECT_NEAR(diagonal.at(0, 100).red(), 74, 6) << "the line along the left edge";
    EXPECT_GT(diagonal.at(5, 195).red(), diagonal.at(55, 5).red() + 20)
        << "light top left, darker bottom right";
    EXPECT_GT(diagonal.at(30, 100).alpha(), 230);

    column.setShade(1);
    const Picture radial(column);
    EXPECT_NEAR(radial.at(0, 100).red(), 74, 6);
    EXPECT_GT(radial.at(4, 100).red(), radial.at(57, 100).red() + 20) << "lit from beyond the left edge";
    EXPECT_NEAR(radial.at(57, 100).red(), radial.at(57, 180).red(), 12) << "stretched along the height";

    // Without width or height nothing is drawn (no division by the width).
    for (const Size size : {Size(0, 200), Size(60, 0)}) {
        column.setFrame(Rect(Point(0, 0), size));
        QImage target(10, 10, QImage::Format_ARGB32_Premultiplied);
        target.fill(Qt::transparent);
        QPainter painter(&target);
        column.drawRect(painter, Rect(0, 0, 10, 10));
        painter.end();
        EXPECT_EQ(target.pixelColor(5, 5).alpha(), 0) << size.width << " x " << size.height;
    }

    // Presses stop at the column.
    PressRecorder behind(Rect(0, 0, 100, 100));
    auto* over = new OVColumnView(Rect(0, 0, 50, 50));
    behind.addSubview(over);
    over->mouseDown(pf::Event::mouseEvent(pf::EventType::LeftMouseDown, Point(10, 10), 0, 0, nullptr, 1));
    over->mouseUp(pf::Event::mouseEvent(pf::EventType::LeftMouseUp, Point(10, 10), 0, 0, nullptr, 1));
    EXPECT_EQ(behind.presses, 0);
}

TEST(OVLineView, LinesStretchWithTheViewAndIndexesStayHonest)
{
    OVLineView view(Rect(0, 0, 200, 100));
    view.setColor(Qt::red);
    QPen pen(Qt::black, 3);
    view.setLinePrototype(pen);
    EXPECT_EQ(view.addLine(OVLine(Point(0, 0), Point(1, 1))), 0);
    EXPECT_EQ(view.addLine(OVLine(Point(0, 0.5), Point(1, 0.5))), 1);
    EXPECT_EQ(view.addLine(OVLine(Point(0.5, 0), Point(0.5, 1))), 2);
    Picture picture(view);
    EXPECT_GT(picture.at(100, 50).red(), 200);
    EXPECT_GT(picture.at(20, 10).red(), 200) << "the diagonal runs corner to corner";
    EXPECT_EQ(picture.alpha(20, 90), 0);
    view.setFrame(Rect(0, 0, 400, 100));
    Picture stretched(view);
    EXPECT_GT(stretched.at(40, 10).red(), 200) << "resizing stretches it";
    EXPECT_GT(stretched.at(200, 80).red(), 200);

    pf::LogCapture log;
    view.removeLineAtIndex(3);
    view.removeLineAtIndex(-1);
    EXPECT_EQ(view.lines().size(), 3u) << "an index out of range changes nothing";
    EXPECT_EQ(log.lines().size(), 2);
    EXPECT_TRUE(log.lines().value(0).startsWith(QStringLiteral("Warning: ")));
    view.removeAllLines();
    EXPECT_EQ(view.addLine(OVLine()), 0);
    view.setLinePrototype(std::nullopt);
    EXPECT_EQ(view.linePrototype().widthF(), 1.0);
}

TEST(OVLineView, SharedSnapViewIsDashedBlue)
{
    OVLineView* snap = OVLineView::sharedLineSnapView();
    ASSERT_TRUE(snap);
    EXPECT_EQ(snap, OVLineView::sharedLineSnapView());
    EXPECT_EQ(snap->color(), QColor(Qt::blue));
    EXPECT_EQ(snap->linePrototype().dashPattern(), (QList<qreal>{4, 1}));
    EXPECT_EQ(snap->autoresizingMask(), pf::View::WidthSizable | pf::View::HeightSizable);
}

QImage halves(int width, int height)
{
    // Red on the left half, blue on the right (as the image is stored, top row first).
    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, x < width / 2 ? qRgb(255, 0, 0) : qRgb(0, 0, 255));
    return image;
}

struct Answering : OVImagePrintViewDelegate
{
    QImage answer;
    Size asked;
    QImage printImageForView(OVImagePrintView*, Size maxSize) override
    {
        asked = maxSize;
        return answer;
    }
};

TEST(OVImagePrintView, FitsTurnsAndAsksItsDelegate)
{
    // Landscape in a relatively taller landscape view: no turn, centred vertically.
    EXPECT_EQ(OVImagePrintView::fittedRect(Size(200, 100), Size(100, 80)), Rect(0, 15, 100, 50));
    EXPECT_EQ(OVImagePrintView::fittedRect(Size(100, 100), Size(200, 100)), Rect(50, 0, 100, 100));

    // A landscape image in a portrait view is drawn turned and lies inside the bounds.
    OVImagePrintView view(Rect(0, 0, 60, 120));
    Answering delegate;
    delegate.answer = halves(120, 60);
    view.setDelegate(&delegate);
    const Picture picture(view);
    EXPECT_EQ(delegate.asked, Size(60, 120));
    EXPECT_TRUE(view.drawsTurned());
    int covered = 0;
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 60; ++x)
            covered += picture.alpha(x, y) == 255;
    EXPECT_EQ(covered, 60 * 120) << "the turned image fills the bounds";
    // Turned counter-clockwise, the image's left half lies at the bottom.
    EXPECT_EQ(picture.at(30, 10), QColor(255, 0, 0));
    EXPECT_EQ(picture.at(30, 110), QColor(0, 0, 255));
}

struct DegenerateCase
{
    QImage image;
    Rect frame;
};

TEST(OVImagePrintView, DegenerateSizesDrawNothing)
{
    for (const DegenerateCase& c : {DegenerateCase{QImage(0, 10, QImage::Format_ARGB32), Rect(0, 0, 40, 40)},
                                    DegenerateCase{QImage(10, 0, QImage::Format_ARGB32), Rect(0, 0, 40, 40)},
                                    DegenerateCase{halves(10, 10), Rect(0, 0, 0, 40)}}) {
        OVImagePrintView view(c.frame);
        view.setImage(c.image);
        const QImage picture = view.snapshot(1);
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                ASSERT_EQ(qAlpha(picture.pixel(x, y)), 0);
    }
}

TEST(OVOverlayScrollView, ContentRunsUnderTheScroller)
{
    OVOverlayScrollView scrollView(Rect(0, 0, 200, 150));
    auto* scroller = new OVScroller(Qt::Vertical);
    scrollView.setVerticalScroller(scroller);
    scrollView.tile();
    EXPECT_EQ(scrollView.contentView()->frame(), Rect(0, 0, 200, 150));
    EXPECT_EQ(scroller->knobStyle(), OVScroller::KnobStyle::Dark) << "default style: a dark knob";
    scrollView.setScrollerKnobStyle(OVScroller::KnobStyle::Light);
    EXPECT_EQ(scroller->knobStyle(), OVScroller::KnobStyle::Light);
}

struct TranslationCase
{
    unsigned mask;
    Rect frame;
    Rect expected;
};

TEST(OVLayoutTranslationView, ActiveViewSharesTheChangeAmongItsFlexibleParts)
{
    using V = pf::View;
    const TranslationCase cases[] = {
        {V::WidthSizable, Rect(10, 0, 100, 50), Rect(10, 0, 200, 50)},
        {V::MinXMargin | V::WidthSizable, Rect(50, 0, 50, 50), Rect(100, 0, 100, 50)},
        {V::NotSizable, Rect(10, 0, 100, 50), Rect(10, 0, 100, 50)},
        {V::MaxXMargin | V::WidthSizable, Rect(0, 0, 100, 50), Rect(0, 0, 150, 50)},
    };
    for (const TranslationCase& c : cases) {
        pf::View superview(Rect(0, 0, 200, 200));
        auto* view = new OVLayoutTranslationView(c.frame);
        view->setAutoresizingMask(c.mask);
        superview.addSubview(view);
        view->setActive(true);
        superview.setAutoresizesSubviews(false);
        superview.setFrame(Rect(0, 0, 300, 200));
        view->resizeWithOldSuperviewSize(Size(200, 200));
        EXPECT_EQ(view->frame(), c.expected) << c.mask;
        EXPECT_EQ(view->pinnedSize(), c.expected.size);
        EXPECT_EQ(view->minimumWidth(), int(c.expected.width()));
        EXPECT_EQ(view->maximumWidth(), int(c.expected.width()));
    }
}

TEST(OVLayoutTranslationView, ALayoutKeepsTheActiveViewAtItsFrameSize)
{
    QWidget container;
    auto* layout = new QVBoxLayout(&container);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* view = new OVLayoutTranslationView(Rect(10, 0, 100, 50));
    view->setAutoresizingMask(pf::View::WidthSizable);
    layout->addWidget(view);
    container.resize(200, 200);
    view->setActive(true);
    layout->activate();
    container.resize(300, 200);
    layout->activate();
    EXPECT_EQ(view->width(), 100) << "the layout does not stretch it";
    view->resizeWithOldSuperviewSize(Size(200, 200));
    layout->activate();
    EXPECT_EQ(view->width(), 200) << "its own autoresizing does, and the layout keeps that";
    EXPECT_EQ(view->pinnedSize().width, 200);
}

TEST(OVLayoutTranslationView, InactiveFollowsTheLayout)
{
    QWidget container;
    auto* layout = new QVBoxLayout(&container);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* view = new OVLayoutTranslationView(Rect(0, 0, 100, 50));
    layout->addWidget(view);
    container.resize(300, 200);
    layout->activate();
    EXPECT_EQ(view->width(), 300);
    EXPECT_EQ(view->pinnedSize().width, 300) << "the pin keeps in step with the frame";
}

} // namespace
