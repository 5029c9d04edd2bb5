#include "Classes/Framework/Toolkit/OV3DView.h"

#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/UI/SteppedClock.h"
#include "Platform/UI/Transaction.h"
#include "Platform/UI/Window.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolTip>
#include <QWheelEvent>
#include <cmath>
#include <gtest/gtest.h>
#include <numbers>

using pf::Event, pf::EventType, pf::Point, pf::Rect, pf::Transform3D;

namespace {

constexpr double kDegree = std::numbers::pi / 180;

// A view that notes what reaches it, at which point of its own and with which click count.
class Recorder : public pf::View
{
public:
    using View::View;
    struct Entry
    {
        EventType type;
        Point at;
        int clicks;
    };
    std::vector<Entry> log;
    bool takesWheel = false;
    QColor fill;

    void drawRect(QPainter& painter, const Rect&) override
    {
        if (fill.isValid())
            painter.fillRect(bounds().toQRectF(), fill);
    }
    void mouseDown(const Event& e) override { note(e); }
    void mouseDragged(const Event& e) override { note(e); }
    void mouseUp(const Event& e) override { note(e); }
    void mouseMoved(const Event& e) override { note(e); }
    void mouseEntered(const Event& e) override { note(e); }
    void mouseExited(const Event& e) override { note(e); }
    void scrollWheel(const Event& e) override
    {
        if (takesWheel)
            note(e);
        else
            View::scrollWheel(e);
    }
    std::vector<EventType> types() const
    {
        std::vector<EventType> result;
        for (const Entry& entry : log)
            result.push_back(entry.type);
        return result;
    }

private:
    void note(const Event& e)
    {
        log.push_back({e.type(), convertPointFromView(e.locationInWindow(), nullptr), e.clickCount()});
    }
};

// A point of the plane z = 0 through a 4 x 4 matrix on row vectors, divided by w.
Point project(const Transform3D& m, Point p)
{
    const double x = p.x * m.m11 + p.y * m.m21 + m.m41;
    const double y = p.x * m.m12 + p.y * m.m22 + m.m42;
    const double w = p.x * m.m14 + p.y * m.m24 + m.m44;
    return Point(x / w, y / w);
}

// Where a point of a hosted subview (own coordinates) is seen in the 3D view, worked out from the
// matrices: about the subview layer's centre by its transform, to its place, then about the 3D layer's
// centre through the perspective, which fills the view.
Point seen(const OV3DView& view, const pf::View& subview, Point p)
{
    const Rect f = subview.frame();
    const Rect b = view.bounds();
    const auto layer = view.layerForSubview(&subview);
    Transform3D perspective;
    perspective.m34 = -1 / (b.width() / 2 * view.depthFactor());
    const Transform3D m =
        Transform3D::translation(-f.width() / 2, -f.height() / 2, 0)
            .concatenated(layer->transform())
            .concatenated(Transform3D::translation(layer->position().x, layer->position().y, 0))
            .concatenated(Transform3D::translation(-b.width() / 2, -b.height() / 2, 0))
            .concatenated(perspective)
            .concatenated(Transform3D::translation(b.width() / 2, b.height() / 2, 0));
    return project(m, p);
}

class ThreeDView : public ::testing::Test
{
protected:
    void SetUp() override
    {
        clock.advance(5); // presses of earlier tests count for nothing
        background = new Recorder(Rect(0, 0, 600, 400));
        window.contentView()->addSubview(background);
        // Away from its superview's origin.
        view = new OV3DView(Rect(50, 40, 500, 300));
        window.contentView()->addSubview(view);
        window.show();
    }

    Recorder* hostSubview(const Rect& frame, double degrees)
    {
        auto* subview = new Recorder(frame);
        view->addSubview(subview);
        const pf::Transaction::Scope atOnce(true);
        view->layerForSubview(subview)->setTransform(Transform3D::rotation(degrees * kDegree, 0, 1, 0));
        return subview;
    }

    // Qt input at a point of the 3D view, through the window's routing.
    void send(QEvent::Type type, Point inView, Qt::MouseButtons buttons = Qt::LeftButton)
    {
        const QPointF at = view->pointToWidget(inView);
        QMouseEvent event(type, at, view->mapToGlobal(at), Qt::LeftButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(view, &event);
    }
    void click(Point inView)
    {
        send(QEvent::MouseButtonPress, inView);
        send(QEvent::MouseButtonRelease, inView, Qt::NoButton);
        clock.advance(0.05);
    }
    void wheel(Point inView, QPoint angle)
    {
        const QPointF at = view->pointToWidget(inView);
        QWheelEvent event(at, view->mapToGlobal(at), QPoint(), angle, Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(view, &event);
    }
    // The hover path, as the view's tracking area calls it.
    void move(Point inView)
    {
        view->mouseMoved(Event::mouseEvent(EventType::MouseMoved, view->convertPointToView(inView, nullptr),
                                           0, clock.now(), &window, 0, 0));
    }

    pf::SteppedClock clock;
    pf::Window window{Rect(0, 0, 600, 400)};
    Recorder* background = nullptr;
    OV3DView* view = nullptr;
};

TEST_F(ThreeDView, ClicksLandUnderThePointerOnTheTurnedSurface)
{
    for (double depth : {2.0, 2.7})
        for (double degrees : {-30.0, 60.0}) {
            SCOPED_TRACE(testing::Message() << "depth " << depth << ", turned " << degrees);
            view->setDepthFactor(depth);
            Recorder* subview = hostSubview(Rect(150, 75, 200, 150), degrees);
            background->log.clear();

            // A single click and a double click, each arriving where it was aimed.
            click(seen(*view, *subview, Point(40, 30)));
            click(seen(*view, *subview, Point(170, 120)));
            click(seen(*view, *subview, Point(170, 120)));
            ASSERT_EQ(subview->log.size(), 6u);
            const Point aims[] = {Point(40, 30), Point(170, 120), Point(170, 120)};
            for (int i = 0; i < 3; ++i) {
                const Recorder::Entry& down = subview->log[2 * i];
                EXPECT_EQ(down.type, EventType::LeftMouseDown);
                EXPECT_NEAR(down.at.x, aims[i].x, 0.5);
                EXPECT_NEAR(down.at.y, aims[i].y, 0.5);
                EXPECT_EQ(subview->log[2 * i + 1].type, EventType::LeftMouseUp);
            }
            EXPECT_EQ(subview->log[2].clicks, 1);
            EXPECT_EQ(subview->log[4].clicks, 2);
            EXPECT_TRUE(background->log.empty());

            // Just outside the turned edge the click falls through to the view behind.
            clock.advance(1);
            click(seen(*view, *subview, Point(-3, 75)));
            EXPECT_EQ(subview->log.size(), 6u);
            EXPECT_EQ(background->types(), (std::vector{EventType::LeftMouseDown, EventType::LeftMouseUp}));
            delete subview;
        }
}

// A press on a steeply turned subview dragged far out to either side, beyond the surface's horizon on
// one of them, still ends with its release, at the last point that could be mapped.
TEST_F(ThreeDView, EveryPressEndsEvenBeyondTheHorizon)
{
    Recorder* subview = hostSubview(Rect(150, 75, 200, 150), 80);
    for (double far : {-1e5, 1e5}) {
        SCOPED_TRACE(testing::Message() << "released at x = " << far);
        subview->log.clear();
        const Point centre = seen(*view, *subview, Point(100, 75));
        send(QEvent::MouseButtonPress, centre);
        send(QEvent::MouseMove, Point(centre.x + 10, centre.y));
        send(QEvent::MouseMove, Point(far, centre.y));
        send(QEvent::MouseButtonRelease, Point(far, centre.y), Qt::NoButton);
        clock.advance(1);
        ASSERT_EQ(subview->types(), (std::vector{EventType::LeftMouseDown, EventType::LeftMouseDragged,
                                                 EventType::LeftMouseDragged, EventType::LeftMouseUp}));
        const Point up = subview->log.back().at, lastDrag = subview->log[2].at;
        EXPECT_TRUE(std::isfinite(up.x) && std::isfinite(up.y));
        EXPECT_NEAR(up.x, lastDrag.x, 1e-6);
        EXPECT_NEAR(up.y, lastDrag.y, 1e-6);
    }
}

TEST_F(ThreeDView, HoverEntersMovesAndExitsTheSubviewsUnderThePointer)
{
    Recorder* left = hostSubview(Rect(40, 75, 150, 150), 0);
    Recorder* right = hostSubview(Rect(310, 75, 150, 150), -30);
    // Points near the inner edges: read as points of the superview they would land 50 points off.
    move(seen(*view, *left, Point(20, 75)));
    move(seen(*view, *left, Point(30, 80)));
    move(seen(*view, *right, Point(15, 75)));
    view->mouseExited(
        Event::enterExitEvent(EventType::MouseExited, Point(10, 10), 0, clock.now(), &window, nullptr));
    EXPECT_EQ(left->types(),
              (std::vector{EventType::MouseEntered, EventType::MouseMoved, EventType::MouseExited}));
    EXPECT_EQ(right->types(), (std::vector{EventType::MouseEntered, EventType::MouseExited}));
    ASSERT_EQ(left->log.size(), 3u);
    EXPECT_NEAR(left->log[1].at.x, 30, 0.5);
    EXPECT_NEAR(left->log[1].at.y, 80, 0.5);
    EXPECT_EQ(left->log[1].clicks, 0);
    EXPECT_NEAR(right->log[0].at.x, 15, 0.5);
    EXPECT_EQ(view->lastHitView(), nullptr);
}

TEST_F(ThreeDView, CursorsAndTooltipsOfSubviewsShowOverTheirPlaceOnTheSurface)
{
    Recorder* left = hostSubview(Rect(40, 75, 150, 150), 20);
    Recorder* right = hostSubview(Rect(310, 75, 150, 150), -30);
    left->setCursor(Qt::PointingHandCursor);
    left->addToolTipRect(Rect(0, 0, 75, 150), QStringLiteral("left half"));
    right->setToolTip(QStringLiteral("whole right"));
    move(seen(*view, *left, Point(30, 80)));
    EXPECT_EQ(view->cursor().shape(), Qt::PointingHandCursor);
    move(seen(*view, *right, Point(30, 80)));
    EXPECT_FALSE(view->testAttribute(Qt::WA_SetCursor));

    auto tipAt = [&](Point inView) {
        const QPoint at = view->pointToWidget(inView).toPoint();
        QHelpEvent help(QEvent::ToolTip, at, view->mapToGlobal(at));
        QApplication::sendEvent(view, &help);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    EXPECT_EQ(tipAt(seen(*view, *left, Point(30, 80))), QStringLiteral("left half"));
    EXPECT_EQ(tipAt(seen(*view, *right, Point(120, 80))), QStringLiteral("whole right"));
    QToolTip::hideText();
}

TEST_F(ThreeDView, TheRearmostSubviewTakesTheClickAndTheWheelGoesOnlyWhereItIsTaken)
{
    Recorder* strip = hostSubview(Rect(100, 100, 300, 100), -15);
    Recorder* cover = hostSubview(Rect(100, 100, 300, 100), 0); // laid over the strip
    strip->takesWheel = true;
    click(seen(*view, *strip, Point(150, 50)));
    EXPECT_EQ(strip->log.size(), 2u);
    EXPECT_TRUE(cover->log.empty());

    wheel(seen(*view, *strip, Point(150, 50)), QPoint(0, -120));
    ASSERT_EQ(strip->log.size(), 3u);
    EXPECT_EQ(strip->log.back().type, EventType::ScrollWheel);

    // A subview that leaves the wheel: nobody behind gets it.
    strip->takesWheel = false;
    wheel(seen(*view, *strip, Point(150, 50)), QPoint(0, -120));
    EXPECT_EQ(strip->log.size(), 3u);
    EXPECT_TRUE(background->log.empty());

    // Placed below the strip, a view becomes the rearmost, in the list and among the layers.
    auto* under = new Recorder(Rect(0, 0, 50, 50));
    view->addSubview(under, pf::View::Ordering::Below, strip);
    EXPECT_EQ(view->hostedSubviews(), (QList<pf::View*>{under, strip, cover}));
    const auto& layers = view->layer3D()->sublayers();
    ASSERT_EQ(layers.size(), 3u);
    EXPECT_EQ(layers[0], view->layerForSubview(under));
    EXPECT_EQ(layers[2], view->layerForSubview(cover));
}

TEST_F(ThreeDView, AScrollAreaInASubviewScrollsByWheelAndItsTilesTakeClicks)
{
    auto* strip = new pf::View(Rect(50, 100, 400, 110));
    auto* scroll = new QScrollArea(strip);
    scroll->setGeometry(0, 0, 400, 110);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* document = new pf::View(Rect(0, 0, 1000, 90));
    std::vector<Recorder*> tiles;
    for (int i = 0; i < 10; ++i) {
        tiles.push_back(new Recorder(Rect(i * 100, 0, 100, 90)));
        tiles.back()->fill = QColor::fromHsv(i * 36, 255, 255);
        document->addSubview(tiles.back());
    }
    scroll->setWidget(document);
    view->addSubview(strip);
    {
        const pf::Transaction::Scope atOnce(true);
        view->layerForSubview(strip)->setTransform(Transform3D::rotation(15 * kDegree, 0, 1, 0));
    }
    QScrollBar* bar = scroll->horizontalScrollBar();
    const Point middle = seen(*view, *strip, Point(250, 60));
    auto shownAt = [&](Point inView) {
        QApplication::processEvents();
        const QImage shot = view->snapshot();
        return shot.pixelColor(int(inView.x), shot.height() - 1 - int(inView.y));
    };
    EXPECT_EQ(shownAt(middle).rgb(), tiles[2]->fill.rgb());
    wheel(middle, QPoint(-120, 0));
    EXPECT_GT(bar->value(), 0);
    // The scrolled document is drawn again where it moved to, not only where it uncovered the strip.
    EXPECT_EQ(shownAt(middle).rgb(), tiles[(250 + bar->value()) / 100]->fill.rgb());

    // The tile under the pointer after scrolling takes the click at the point aimed at.
    const int scrolled = bar->value();
    const int index = (200 + scrolled) / 100;
    const QPointF inStrip = tiles[index]->mapTo(strip, QPointF(30, 40)); // y-down
    click(seen(*view, *strip, Point(inStrip.x(), 110 - inStrip.y())));
    ASSERT_EQ(tiles[index]->log.size(), 2u);
    EXPECT_NEAR(tiles[index]->log[0].at.x, 30, 0.5);
    EXPECT_NEAR(tiles[index]->log[0].at.y, 90 - 40, 0.5);
}

TEST_F(ThreeDView, ResizingLaysSubviewsOutUntransformedAndKeepsTheirTurns)
{
    Recorder* subview = hostSubview(Rect(100, 50, 300, 200), 40);
    subview->setAutoresizingMask(pf::View::WidthSizable);
    const Transform3D turn = view->layerForSubview(subview)->transform();
    view->setFrameSize(pf::Size(700, 300));
    const auto layer = view->layerForSubview(subview);
    EXPECT_EQ(layer->transform(), turn);
    EXPECT_EQ(layer->bounds().size, pf::Size(500, 200));
    EXPECT_EQ(layer->position(), Point(350, 150));
    EXPECT_EQ(subview->frame().size, pf::Size(500, 200));
}

TEST(OV3DViewWindows, EachEntryIntoAWindowIsAnnouncedOnce)
{
    int posted = 0;
    auto* view = new OV3DView(Rect(0, 0, 100, 100));
    const pf::ObserverToken token = pf::NotificationCenter::defaultCenter().addObserver(
        OV3DView::kActiveNotification, view, [&](const pf::Notification&) { ++posted; });
    auto* holder = new pf::View(Rect(0, 0, 200, 200));
    holder->addSubview(view);
    EXPECT_EQ(posted, 0);
    pf::Window first(Rect(0, 0, 300, 300)), second(Rect(0, 0, 300, 300));
    first.contentView()->addSubview(holder);
    EXPECT_EQ(posted, 1);
    holder->removeFromSuperview();
    EXPECT_EQ(posted, 1);
    second.contentView()->addSubview(holder);
    EXPECT_EQ(posted, 2);
    delete holder;
}

} // namespace
