#include "Classes/Framework/Toolkit/OVColorWell.h"
#include "Classes/Framework/Toolkit/OVSimpleColorWell.h"
#include "ControlsTestSupport.h"
#include "Platform/UI/ColorPanel.h"
#include "Platform/UI/NamedImage.h"

#include <QColorDialog>
#include <QPointer>
#include <gtest/gtest.h>
#include <memory>

namespace {

using pf::EventType;
using pf::PaintColor;
using pf::Point;
using pf::Rect;

struct PanelClosed
{
    ~PanelClosed()
    {
        for (OVColorWell* well : OVColorWell::activeWells())
            well->deactivate();
        pf::ColorPanel::shared().close();
    }
};

TEST(OVColorWell, OpeningThePanelShowsTheWellsColourAndOpacityOnlyWhenAsked)
{
    for (const bool alpha : {false, true}) {
        SCOPED_TRACE(alpha ? "with opacity" : "without opacity");
        PanelClosed closed;
        pf::ColorPanel& panel = pf::ColorPanel::shared();
        panel.setColor(QColor(255, 0, 0));
        OVColorWell well(Rect(0, 0, 40, 24));
        well.setColor(PaintColor::calibratedRGB(0, 0, 1, 0.5));
        well.setSupportsAlpha(alpha);
        int actions = 0;
        well.setAction([&](OVColorWell*) { ++actions; });
        well.activate(true);
        EXPECT_TRUE(well.isActive());
        EXPECT_FALSE(well.isOpening());
        EXPECT_EQ(well.color(), PaintColor::calibratedRGB(0, 0, 1, 0.5))
            << "the panel's red did not overwrite it";
        EXPECT_EQ(panel.color().blue(), 255);
        EXPECT_EQ(panel.color().red(), 0);
        EXPECT_EQ(panel.dialog()->testOption(QColorDialog::ShowAlphaChannel), alpha);
        EXPECT_EQ(actions, 0);
        // Picking in the panel recolours the well and sends one action.
        panel.dialog()->setCurrentColor(QColor(0, 255, 0, panel.color().alpha()));
        EXPECT_EQ(well.color().toQColor(), QColor(0, 255, 0, panel.color().alpha()));
        EXPECT_EQ(actions, 1);
    }
}

// A well that takes every colour the panel hands it, as a plain well would, counting those that come
// while it opens the panel.
class ProbingWell : public OVColorWell
{
public:
    using OVColorWell::OVColorWell;
    int handedWhileOpening = 0;
    void changeColor(const PaintColor& color) override
    {
        if (isOpening())
            ++handedWhileOpening;
        setColor(color);
    }
};

TEST(OVColorWell, SetColorIsIgnoredWhileOpening)
{
    PanelClosed closed;
    pf::ColorPanel::shared().setColor(QColor(255, 0, 0));
    ProbingWell well(Rect(0, 0, 40, 24));
    well.setColor(PaintColor::calibratedRGB(0, 1, 0));
    well.activate(true);
    EXPECT_GE(well.handedWhileOpening, 1) << "the panel handed its red over while opening";
    EXPECT_EQ(well.color(), PaintColor::calibratedRGB(0, 1, 0));
}

TEST(OVColorWell, ExclusiveActivationMovesTheLinkAndClosingThePanelEndsIt)
{
    PanelClosed closed;
    OVColorWell first(Rect(0, 0, 40, 24)), second(Rect(0, 0, 40, 24)), third(Rect(0, 0, 40, 24));
    first.activate(true);
    second.activate(false);
    EXPECT_EQ(OVColorWell::activeWells(), (QList<OVColorWell*>{&first, &second}));
    third.activate(true);
    EXPECT_EQ(OVColorWell::activeWells(), QList<OVColorWell*>{&third});
    EXPECT_FALSE(first.isActive());
    EXPECT_FALSE(second.isActive());

    // Only the linked well hears the panel.
    pf::ColorPanel::shared().dialog()->setCurrentColor(QColor(10, 20, 30));
    EXPECT_EQ(third.color().toQColor(), QColor(10, 20, 30));
    EXPECT_NE(first.color().toQColor(), QColor(10, 20, 30));

    pf::ColorPanel::shared().close();
    EXPECT_FALSE(third.isActive());
    EXPECT_TRUE(OVColorWell::activeWells().isEmpty());

    // Another client taking the panel deactivates the well too.
    third.activate(true);
    pf::ColorPanel::shared().setChangeHandler([](const QColor&) {});
    EXPECT_FALSE(third.isActive());
    pf::ColorPanel::shared().setChangeHandler(nullptr);
}

// The panel's colour goes to the wells active when it comes; one that an earlier well's action
// deleted or deactivated hears nothing.
TEST(OVColorWell, AWellsActionMayDeleteOrDeactivateAnotherActiveWell)
{
    for (const bool deletes : {true, false}) {
        SCOPED_TRACE(deletes ? "deletes" : "deactivates");
        PanelClosed closed;
        auto first = std::make_unique<OVColorWell>(Rect(0, 0, 40, 24));
        auto* second = new OVColorWell(Rect(0, 0, 40, 24));
        const QPointer<OVColorWell> secondGuard(second);
        first->activate(true);
        second->activate(false);
        const PaintColor secondBefore = second->color();
        first->setAction([&](OVColorWell*) {
            if (deletes)
                delete second;
            else
                second->deactivate();
        });
        pf::ColorPanel::shared().dialog()->setCurrentColor(QColor(10, 20, 30));
        EXPECT_EQ(first->color().toQColor(), QColor(10, 20, 30));
        EXPECT_EQ(OVColorWell::activeWells(), QList<OVColorWell*>{first.get()});
        EXPECT_EQ(bool(secondGuard), !deletes);
        if (secondGuard) {
            EXPECT_EQ(second->color(), secondBefore);
            delete second;
        }
    }
}

TEST(OVSimpleColorWell, OverlaysFollowTheSixStates)
{
    OVSimpleColorWell well(Rect(0, 0, 24, 24));
    const QString names[6] = {
        QStringLiteral("SimpleColorWellOverlay"),      QStringLiteral("SimpleColorWellOverlayHover"),
        QStringLiteral("SimpleColorWellOverlayDown"),  QStringLiteral("SimpleColorWellOverlayDown"),
        QStringLiteral("SimpleColorWellOverlayHover"), QStringLiteral("SimpleColorWellOverlay")};
    for (int state = 0; state < 6; ++state) {
        SCOPED_TRACE(state);
        const QImage expected = pf::NamedImage::image(names[state]);
        ASSERT_FALSE(expected.isNull());
        EXPECT_EQ(well.stateImage(state).cacheKey(), expected.cacheKey());
    }
}

TEST(OVSimpleColorWell, ClicksToggleTheLinkAndTheStateFollowsThePointer)
{
    PanelClosed closed;
    ControlsWindow w;
    auto* well = new OVSimpleColorWell(Rect(20, 20, 24, 24));
    w.add(well);
    auto enter = [&] {
        well->dispatch(pf::Event::enterExitEvent(EventType::MouseEntered, Point(), 0, 0, &w.window, nullptr));
    };
    auto exit = [&] {
        well->dispatch(pf::Event::enterExitEvent(EventType::MouseExited, Point(), 0, 0, &w.window, nullptr));
    };
    const struct
    {
        const char* step;
        int state;
        bool active;
    } steps[] = {
        {"enter", 1, false}, {"down", 2, false},  {"up", 3, true},    {"down", 5, true},
        {"up", 0, false},    {"enter", 1, false}, {"exit", 0, false},
    };
    for (const auto& s : steps) {
        const QString step = QString::fromLatin1(s.step);
        if (step == "enter")
            enter();
        else if (step == "exit")
            exit();
        else
            w.mouse(well, step == "down" ? EventType::LeftMouseDown : EventType::LeftMouseUp, Point(12, 12));
        EXPECT_EQ(well->state(), s.state) << "after " << s.step;
        EXPECT_EQ(well->isActive(), s.active) << "after " << s.step;
    }
}

TEST(OVSimpleColorWell, AWellAddedUnderTheRestingPointerShowsItsHover)
{
    ControlsWindow w;
    auto* anchor = new pf::View(Rect(0, 0, 400, 300));
    w.add(anchor);
    w.movePointer(anchor, Point(60, 60));
    auto* under = new OVSimpleColorWell(Rect(50, 50, 24, 24));
    auto* away = new OVSimpleColorWell(Rect(150, 50, 24, 24));
    w.add(under);
    w.add(away);
    EXPECT_EQ(under->state(), 1);
    EXPECT_EQ(away->state(), 0);
}

TEST(OVSimpleColorWell, TheColourShowsInTheGridsShapeWithTheGridUnderTranslucency)
{
    OVSimpleColorWell well(Rect(0, 0, 24, 24));
    well.setColor(PaintColor::calibratedRGB(1, 0, 0, 1));
    const QImage opaque = well.snapshot(1).convertToFormat(QImage::Format_ARGB32);
    well.setColor(PaintColor::calibratedRGB(1, 0, 0, 0.3));
    const QImage translucent = well.snapshot(1).convertToFormat(QImage::Format_ARGB32);
    const QColor centre = opaque.pixelColor(12, 12);
    EXPECT_GT(centre.red(), 240);
    EXPECT_LT(centre.green(), 15);
    // Outside the grid's rounded shape (its corner) no colour is painted.
    EXPECT_LT(qRed(opaque.pixel(0, 0)), 60);
    // Through a translucent red the grid's grey shows.
    EXPECT_GT(translucent.pixelColor(12, 12).green(), 100);
}

} // namespace

namespace {

TEST(OVColorWell, ANonContinuousWellHearsThePanelWhenTheButtonComesUp)
{
    PanelClosed closed;
    ControlsWindow w;
    auto* well = new OVColorWell(Rect(20, 20, 40, 24));
    w.add(well);
    well->setContinuous(false);
    int actions = 0;
    well->setAction([&](OVColorWell*) { ++actions; });
    well->activate(true);
    pf::ColorPanel& panel = pf::ColorPanel::shared();
    EXPECT_FALSE(panel.isContinuous());

    QTest::mousePress(w.window.windowHandle(), Qt::LeftButton, {}, QPoint(5, 5));
    panel.dialog()->setCurrentColor(QColor(10, 20, 30));
    panel.dialog()->setCurrentColor(QColor(40, 50, 60));
    EXPECT_EQ(actions, 0) << "nothing while the button is down";
    QTest::mouseRelease(w.window.windowHandle(), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(actions, 1);
    EXPECT_EQ(well->color().toQColor(), QColor(40, 50, 60));
    panel.setContinuous(true);
}

} // namespace
