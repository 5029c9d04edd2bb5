#include "Classes/Framework/Toolkit/OVButton.h"
#include "Classes/Framework/Toolkit/OVDragButton.h"
#include "Classes/Framework/Toolkit/OVImageView.h"
#include "Classes/Framework/Toolkit/OVRowView.h"
#include "Classes/Framework/Toolkit/OVRowViewDelegate.h"
#include "Classes/Framework/Toolkit/OVShadowedScrollView.h"
#include "Classes/Framework/Toolkit/OVTextField.h"
#include "ControlsTestSupport.h"
#include "Platform/UI/ClipView.h"

#include <QLineEdit>
#include <QScrollBar>
#include <cmath>
#include <gtest/gtest.h>

namespace {

using pf::Point;
using pf::Rect;

struct RowRecorder : OVRowViewDelegate
{
    QStringList log;
    bool takesTitles = false;
    void rowWasClicked(OVRowView*) override { log << QStringLiteral("click"); }
    bool rowChangedTitle(OVRowView*, const QString& title) override
    {
        log << QStringLiteral("title ") + title;
        return takesTitles;
    }
    void rowChangedHover(OVRowView*, bool hovered) override { log << (hovered ? "hover" : "unhover"); }
};

TEST(OVRowView, TheTitlePlaceFollowsReservesAndLook)
{
    const struct
    {
        const char* name;
        bool rightAligned, dark, controls, icon;
        Rect expected;
    } cases[] = {
        {"plain, left-aligned", false, false, false, false, Rect(10, 23, 280, 18)},
        {"dark look sits a point higher", false, true, false, false, Rect(10, 24, 280, 18)},
        {"controls reserve 30 on their side", false, false, true, false, Rect(30, 23, 260, 18)},
        {"an icon reserves its width and 20", false, false, false, true, Rect(10, 23, 258, 18)},
        {"right-aligned: icon on the left, controls on the right", true, false, true, true,
         Rect(32, 23, 238, 18)},
    };
    // The controls fade in on this clock, not on the event loop that no test runs.
    pf::SteppedClock clock;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        OVRowView row(c.rightAligned);
        row.setFrame(Rect(0, 0, 300, 58));
        row.setDarkLook(c.dark);
        if (c.icon)
            row.setIcon(QImage(12, 12, QImage::Format_ARGB32));
        row.setDeletable(c.controls);
        EXPECT_EQ(row.titleRect(), c.expected);
        EXPECT_EQ(row.editField()->frame(), c.expected.insetBy(-2, -2));
    }
}

struct RowHarness
{
    ControlsWindow w;
    RowRecorder recorder;
    OVRowView* row = new OVRowView(false);

    RowHarness()
    {
        row->setFrame(Rect(20, 100, 300, 58));
        row->setTitle(QStringLiteral("Skin"));
        row->setEditable(true);
        row->setDelegate(&recorder);
        w.add(row);
    }
    Point onTitle() const { return Point(row->titleRect().midX(), row->titleRect().midY()); }
};

TEST(OVRowView, ASingleClickOnTheTitleWaitsForASecond)
{
    RowHarness h;
    const double half = pf::Event::doubleClickInterval() / 2;
    h.w.click(h.row, h.onTitle());
    h.w.clock.advance(half - 0.01);
    EXPECT_TRUE(h.recorder.log.isEmpty());
    h.w.clock.advance(0.02);
    EXPECT_EQ(h.recorder.log, QStringList{QStringLiteral("click")});

    h.recorder.log.clear();
    h.w.click(h.row, Point(5, 5));
    EXPECT_EQ(h.recorder.log, QStringList{QStringLiteral("click")}) << "elsewhere at once";

    h.recorder.log.clear();
    h.w.click(h.row, h.onTitle(), 1);
    h.w.click(h.row, h.onTitle(), 2);
    h.w.clock.advance(1);
    EXPECT_TRUE(h.recorder.log.isEmpty()) << "a double click reports no click";
    EXPECT_TRUE(h.row->isEditing());
}

TEST(OVRowView, EscapeDropsTheEditAndReturnKeepsIt)
{
    for (bool delegateTakes : {false, true}) {
        SCOPED_TRACE(delegateTakes);
        RowHarness h;
        h.recorder.takesTitles = delegateTakes;
        h.w.click(h.row, h.onTitle(), 2);
        ASSERT_TRUE(h.row->isEditing());
        QLineEdit* editor = h.row->editField()->editor();
        ASSERT_NE(editor, nullptr);
        editor->setText(QStringLiteral("Eyes"));
        QTest::keyClick(editor, Qt::Key_Escape);
        EXPECT_FALSE(h.row->isEditing());
        EXPECT_EQ(h.row->title(), QStringLiteral("Skin"));
        EXPECT_TRUE(h.recorder.log.isEmpty());

        h.w.click(h.row, h.onTitle(), 2);
        editor = h.row->editField()->editor();
        ASSERT_NE(editor, nullptr);
        editor->setText(QStringLiteral("Eyes"));
        QTest::keyClick(editor, Qt::Key_Return);
        EXPECT_FALSE(h.row->isEditing());
        EXPECT_EQ(h.recorder.log, QStringList{QStringLiteral("title Eyes")});
        EXPECT_EQ(h.row->title(), delegateTakes ? QStringLiteral("Skin") : QStringLiteral("Eyes"));
    }
}

TEST(OVRowView, ControlsShowWithHoverOrElementsAndAMarkStays)
{
    RowHarness h;
    h.row->setDeletable(true);
    h.row->setDraggable(true);
    h.row->setMarkable(true);
    h.row->setIsMarked(true);
    h.w.clock.advance(1);
    EXPECT_EQ(h.row->removeButton()->alphaValue(), 0);
    EXPECT_EQ(h.row->dragButton()->alphaValue(), 0);
    EXPECT_EQ(h.row->markButton()->alphaValue(), 1);
    EXPECT_EQ(h.row->markButton()->name(), QStringLiteral("DefaultStyleActive"));
    h.row->setShowElements(true);
    h.w.clock.advance(1);
    EXPECT_EQ(h.row->removeButton()->alphaValue(), 1);
    h.row->setShowElements(false);
    h.row->mouseEntered(pf::Event());
    h.w.clock.advance(1);
    EXPECT_EQ(h.row->dragButton()->alphaValue(), 1);
    EXPECT_TRUE(h.recorder.log.isEmpty()) << "hover is reported only by a hoverable row";
    h.row->setHoverable(true);
    h.row->mouseExited(pf::Event());
    EXPECT_EQ(h.recorder.log, QStringList{QStringLiteral("unhover")});
}

// A 4 x 4 tile, clear but for one red pixel at its top left.
QImage redCornerTile()
{
    QImage tile(4, 4, QImage::Format_ARGB32_Premultiplied);
    tile.fill(Qt::transparent);
    tile.setPixelColor(0, 0, Qt::red);
    return tile;
}

TEST(OVPatternView, AColourCoversTheTilesEverywhere)
{
    OVPatternView view(Rect(0, 0, 16, 16));
    view.setImage(redCornerTile());
    // Anchored at the top left: the red pixel of each tile is at a multiple of 4 from the top.
    QImage plain = view.snapshot(1);
    EXPECT_EQ(plain.pixelColor(0, 0), QColor(Qt::red));
    EXPECT_EQ(plain.pixelColor(4, 8), QColor(Qt::red));
    EXPECT_EQ(plain.pixelColor(1, 1).alpha(), 0);
    view.setColorName(QStringLiteral("0 0.5 1 1"));
    const QImage washed = view.snapshot(1);
    for (QPoint p : {QPoint(0, 0), QPoint(1, 1), QPoint(15, 15)})
        EXPECT_EQ(washed.pixelColor(p).rgba(), QColor::fromRgbF(0, 0.5, 1).rgba()) << p.x() << "," << p.y();
}

TEST(OVPatternView, ATurnedTilingIsAnchoredAtTheTopLeftTooAfterTurning)
{
    // A view 18 high: 18 is no multiple of 4, so a tiling anchored at the bottom would put the red
    // pixels two rows off.
    OVPatternView view(Rect(0, 0, 16, 18));
    view.setImage(redCornerTile());
    // The red pixels of a picture of the view (turned tilings may blend a little at the pixels' edges).
    const auto reds = [&view] {
        const QImage picture = view.snapshot(1);
        QList<QPoint> found;
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                if (const QColor c = picture.pixelColor(x, y); c.red() > 200 && c.alpha() > 200)
                    found << QPoint(x, y);
        return found;
    };
    const QList<QPoint> upright = reds();
    ASSERT_EQ(upright.size(), 20);
    ASSERT_TRUE(upright.contains(QPoint(0, 0)) && upright.contains(QPoint(4, 8)));
    const struct
    {
        double rotation;
        QPoint red; // one of the red pixels, from the top left of the picture
        int count;  // one per tile that shows its red pixel
    } cases[] = {
        {360, QPoint(4, 8), 20}, // a whole turn draws the upright tiling
        {-360, QPoint(8, 4), 20},
        {180, QPoint(3, 3), 16}, // half a turn about the origin takes the anchor (0, 14) to (0, -14)
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rotation);
        view.setRotation(c.rotation);
        const QList<QPoint> turned = reds();
        EXPECT_TRUE(turned.contains(c.red));
        EXPECT_EQ(turned.size(), c.count);
        if (std::fmod(c.rotation, 360) == 0) {
            EXPECT_EQ(turned, upright);
        }
    }
}

struct ScrollHarness
{
    pf::View parent{Rect(0, 0, 400, 400)};
    OVShadowedScrollView* scroll = new OVShadowedScrollView(Rect(10, 20, 300, 200));
    pf::View* document = new pf::View(Rect(0, 0, 300, 1000));

    ScrollHarness()
    {
        scroll->setDocumentView(document);
        parent.addSubview(scroll);
    }
};

TEST(OVShadowedScrollView, ShadowsFollowTheHiddenContent)
{
    ScrollHarness h;
    ASSERT_EQ(h.scroll->topShadow()->superview(), &h.parent);
    EXPECT_EQ(h.scroll->topShadow()->frame(), Rect(10, 206, 300, 14));
    EXPECT_EQ(h.scroll->bottomShadow()->frame(), Rect(10, 20, 300, 14));
    const struct
    {
        double originY;
        double top, bottom;
    } cases[] = {
        {0, 1, 0},       // the bottom of the document shows
        {7.5, 1, 0.5},   // 7.5 points hidden below
        {792.5, 0.5, 1}, // 7.5 points hidden above
        {800, 0, 1},     // the top shows
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.originY);
        h.scroll->contentView()->scrollToPoint(Point(0, c.originY));
        EXPECT_DOUBLE_EQ(h.scroll->topShadow()->alphaValue(), c.top);
        EXPECT_DOUBLE_EQ(h.scroll->bottomShadow()->alphaValue(), c.bottom);
    }
    h.document->setFrameSize(pf::Size(300, 150));
    h.scroll->reflectScrolledClipView();
    EXPECT_EQ(h.scroll->topShadow()->alphaValue(), 0) << "content that fits";
    EXPECT_EQ(h.scroll->bottomShadow()->alphaValue(), 0);
}

TEST(OVShadowedScrollView, ShadowsGoWhereTheScrollViewGoes)
{
    ScrollHarness h;
    h.scroll->setShowTopShadow(false);
    EXPECT_EQ(h.scroll->topShadow()->superview(), nullptr);
    pf::View other(Rect(0, 0, 500, 500));
    other.addSubview(h.scroll);
    EXPECT_EQ(h.scroll->bottomShadow()->superview(), &other);
    EXPECT_EQ(h.scroll->topShadow()->superview(), nullptr) << "a shadow turned off stays off";
    for (pf::View* view : h.parent.subviews())
        EXPECT_FALSE(qobject_cast<OVImageView*>(view)) << "nothing left behind";
    h.scroll->setShowTopShadow(true);
    EXPECT_EQ(h.scroll->topShadow()->superview(), &other);
}

// A document whose height is no finite number, or a scroll to such a point, leaves the scroll view on
// a finite origin at once (each scroll announces itself, and the scroller answers).
TEST(OVShadowedScrollView, ADocumentOfNoFiniteHeightSettles)
{
    const double nan = std::nan("");
    for (const double height : {HUGE_VAL, -HUGE_VAL, nan, 1e308}) {
        for (const double y : {0.0, nan, HUGE_VAL, -HUGE_VAL}) {
            SCOPED_TRACE(testing::Message() << "height " << height << ", scrolled to " << y);
            ScrollHarness h;
            h.scroll->setVerticalScroller(new QScrollBar);
            h.document->setFrameSize(pf::Size(300, height));
            h.scroll->reflectScrolledClipView();
            h.scroll->contentView()->scrollToPoint(Point(0, y));
            h.scroll->contentView()->setBoundsOrigin(Point(nan, y));
            const Point origin = h.scroll->contentView()->bounds().origin;
            EXPECT_TRUE(std::isfinite(origin.x) && std::isfinite(origin.y));
            const QScrollBar* scroller = h.scroll->verticalScroller();
            EXPECT_GE(scroller->maximum(), 0);
            EXPECT_GE(scroller->value(), 0);
            EXPECT_LE(scroller->value(), scroller->maximum());
        }
    }
}

} // namespace
