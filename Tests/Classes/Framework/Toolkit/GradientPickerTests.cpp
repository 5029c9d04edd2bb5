#include "Classes/Framework/GradientORVExtension.h"
#include "Classes/Framework/Toolkit/OVGradientPicker.h"
#include "ControlsTestSupport.h"
#include "Platform/Foundation/Log.h"
#include "Platform/UI/Beep.h"
#include "Platform/UI/ColorPanel.h"

#include <QColorDialog>
#include <gtest/gtest.h>

namespace {

using pf::EventType;
using pf::PaintColor;
using pf::Point;
using pf::Rect;
namespace KeyCode = pf::KeyCode;

// A picker of the effect settings' size in a shown window; the strip runs from x 11, 186 wide, y 7 to 20.
struct Picker
{
    ControlsWindow w;
    OVGradientPicker* picker = new OVGradientPicker(Rect(99, 0, 210, 27));
    int actions = 0;

    Picker()
    {
        picker->setAction([this](OVColorWell*) { ++actions; });
        w.add(picker);
    }
    ~Picker()
    {
        for (OVColorWell* well : OVColorWell::activeWells())
            well->deactivate();
        pf::ColorPanel::shared().close();
    }
    Point strip(double location, double y = 13) const { return Point(11 + location * 186, y); }
    void setStops(const QString& text)
    {
        picker->setGradient(*GradientORVExtension::gradientWithString(text));
    }
    std::vector<double> locations() const
    {
        std::vector<double> list;
        for (int i = 0; i < picker->numberOfStops(); ++i)
            list.push_back(picker->locationAt(i));
        return list;
    }
};

const QString threeStops = QStringLiteral("0 1 1 1 1 0.5 1 0 0 1 1 0 0 0 1");
const QString fourStops = QStringLiteral("0 1 1 1 1 0.2 1 0 0 1 0.25 0 1 0 1 0.3 0 0 1 1 1 0 0 0 1");

TEST(OVGradientPicker, StartsWhiteToBlackWithoutSelectionOrPanel)
{
    pf::ColorPanel::shared().close();
    Picker p;
    EXPECT_EQ(
        GradientORVExtension::stringRepresentation(p.picker->gradient()),
        QStringLiteral("0.000000 1.000000 1.000000 1.000000 1.000000 1.000000 0.000000 0.000000 0.000000 "
                       "1.000000"));
    EXPECT_EQ(p.picker->selectedIndex(), OVGradientPicker::NotFound);
    EXPECT_TRUE(p.picker->supportsAlpha());
    EXPECT_FALSE(pf::ColorPanel::shared().isVisible()) << "selecting none opens nothing";
    EXPECT_FALSE(p.picker->isActive());
    EXPECT_EQ(p.picker->gradientRect(), Rect(11, 7, 186, 13));
}

TEST(OVGradientPicker, ClicksAddSelectAndDeleteStops)
{
    Picker p;
    p.w.click(p.picker, p.strip(0, 12));
    EXPECT_EQ(p.locations(), (std::vector<double>{0, 0.002, 1})) << "the very left adds at 0.002";
    EXPECT_EQ(p.picker->selectedIndex(), 1);
    EXPECT_TRUE(pf::ColorPanel::shared().isVisible());
    EXPECT_EQ(p.w.window.firstResponder(), p.picker);
    EXPECT_EQ(p.actions, 0) << "adding sends no action";

    p.w.click(p.picker, p.strip(0.5));
    EXPECT_EQ(p.picker->numberOfStops(), 4);
    EXPECT_EQ(p.picker->selectedIndex(), 2);

    // A click on a marker selects its stop; a click on the selected stop's icon deletes it.
    p.w.click(p.picker, Point(p.picker->stopX(1), 3));
    EXPECT_EQ(p.picker->selectedIndex(), 1);
    const Rect icon = p.picker->deleteIconRect();
    EXPECT_EQ(icon.minY(), 14);
    p.w.click(p.picker, Point(icon.midX(), icon.midY()));
    EXPECT_EQ(p.locations(), (std::vector<double>{0, 0.5, 1}));
    EXPECT_EQ(p.picker->selectedIndex(), OVGradientPicker::NotFound);
    EXPECT_EQ(p.actions, 1);

    // A double click adds nothing.
    p.w.click(p.picker, p.strip(0.7), 2);
    EXPECT_EQ(p.picker->numberOfStops(), 3);
}

TEST(OVGradientPicker, AReleaseOverTheIconOrAMarkerReleasedHighAddsNoStop)
{
    Picker p;
    p.setStops(threeStops);
    p.picker->setSelectedIndex(1);
    const Rect icon = p.picker->deleteIconRect();
    // The press on the icon lies above the marker row and its release inside the strip.
    const Point onIcon(icon.midX(), 16);
    ASSERT_TRUE(p.picker->gradientRect().contains(onIcon));
    p.w.click(p.picker, onIcon);
    EXPECT_EQ(p.locations(), (std::vector<double>{0, 1})) << "the selected stop went, none came";

    p.setStops(threeStops);
    p.w.drag(p.picker, Point(p.picker->stopX(1), 3), p.strip(0.6, 10));
    EXPECT_EQ(p.picker->numberOfStops(), 3) << "a marker released in the strip adds nothing";
    EXPECT_NEAR(p.picker->locationAt(1), 0.6, 1e-12);
    EXPECT_EQ(p.picker->selectedIndex(), 1);
}

TEST(OVGradientPicker, DraggingPastANeighbourIsIgnoredNotClamped)
{
    Picker p;
    p.setStops(fourStops);
    p.w.mouse(p.picker, EventType::LeftMouseDown, Point(p.picker->stopX(2), 3));
    p.w.mouse(p.picker, EventType::LeftMouseDragged, p.strip(0.27));
    EXPECT_NEAR(p.picker->locationAt(2), 0.27, 1e-12);
    p.w.mouse(p.picker, EventType::LeftMouseDragged, p.strip(0.4));
    EXPECT_NEAR(p.picker->locationAt(2), 0.27, 1e-12) << "waits where it was";
    p.w.mouse(p.picker, EventType::LeftMouseDragged, p.strip(0.22));
    EXPECT_NEAR(p.picker->locationAt(2), 0.22, 1e-12);
    p.w.mouse(p.picker, EventType::LeftMouseUp, p.strip(0.22));
    EXPECT_EQ(p.actions, 2);

    // The ends do not move.
    p.w.mouse(p.picker, EventType::LeftMouseDown, Point(p.picker->stopX(0), 3));
    p.w.mouse(p.picker, EventType::LeftMouseDragged, p.strip(0.1));
    EXPECT_EQ(p.picker->locationAt(0), 0);
}

TEST(OVGradientPicker, KeyTable)
{
    const double step = 1.0 / 186;
    const unsigned shift = pf::Modifier::Shift, option = pf::Modifier::Option;
    const struct
    {
        const char* name;
        int selected;
        int key;
        unsigned flags;
        double location; // of stop 2 afterwards (NaN: removed)
        int selectedAfter;
        int beeps;
    } cases[] = {
        {"left", 2, KeyCode::LeftArrow, 0, 0.25 - step, 2, 0},
        {"right", 2, KeyCode::RightArrow, 0, 0.25 + step, 2, 0},
        {"shift left", 2, KeyCode::LeftArrow, shift, 0.25 - 10 * step, 2, 0},
        {"shift right", 2, KeyCode::RightArrow, shift, 0.25 + 10 * step, 2, 0},
        {"option left", 2, KeyCode::LeftArrow, option, 0.25 - step / 10, 2, 0},
        {"option right", 2, KeyCode::RightArrow, option, 0.25 + step / 10, 2, 0},
        {"right on an end beeps", 4, KeyCode::RightArrow, 0, 0.25, 4, 1},
        {"left on the first end beeps", 0, KeyCode::LeftArrow, 0, 0.25, 0, 1},
        {"left without a selection beeps", -1, KeyCode::LeftArrow, 0, 0.25, -1, 1},
        {"backspace removes", 2, KeyCode::Delete, 0, std::nan(""), -1, 0},
        {"delete removes", 2, KeyCode::ForwardDelete, 0, std::nan(""), -1, 0},
        {"delete on an end does nothing", 4, KeyCode::ForwardDelete, 0, 0.25, 4, 0},
        {"tab", 2, KeyCode::Tab, 0, 0.25, 3, 0},
        {"tab from the last", 4, KeyCode::Tab, 0, 0.25, 0, 0},
        {"back-tab from the first", 0, KeyCode::Tab, shift, 0.25, 4, 0},
        {"tab without a selection beeps", -1, KeyCode::Tab, 0, 0.25, -1, 1},
        {"escape gives the keyboard back", 2, KeyCode::Escape, 0, 0.25, -1, 0},
    };
    const QString stops = QStringLiteral("0 1 1 1 1 0.1 1 0 0 1 0.25 0 1 0 1 0.5 0 0 1 1 1 0 0 0 1");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Picker p;
        p.setStops(stops);
        p.picker->setSelectedIndex(c.selected);
        const int beeps = pf::beepCount();
        p.w.key(p.picker, c.key, c.flags);
        EXPECT_EQ(pf::beepCount() - beeps, c.beeps);
        EXPECT_EQ(p.picker->selectedIndex(), c.selectedAfter);
        if (std::isnan(c.location)) {
            EXPECT_EQ(p.picker->numberOfStops(), 4);
            EXPECT_EQ(p.picker->locationAt(2), 0.5);
        } else {
            EXPECT_NEAR(p.picker->locationAt(2), c.location, 1e-12);
        }
        if (c.key == KeyCode::Escape) {
            EXPECT_NE(p.w.window.firstResponder(), p.picker);
        }
    }
}

TEST(OVGradientPicker, MovesStayStrictlyBetweenNeighboursAndFollowTheStripWidth)
{
    Picker p;
    p.setStops(fourStops);
    const double previous = p.picker->locationAt(1), next = p.picker->locationAt(3);
    EXPECT_FALSE(p.picker->changeLocationAtIndex(next, 2));
    EXPECT_FALSE(p.picker->changeLocationAtIndex(0.35, 2));
    EXPECT_FALSE(p.picker->changeLocationAtIndex(previous, 2));
    EXPECT_TRUE(p.picker->changeLocationAtIndex(0.29, 2));
    EXPECT_FALSE(p.picker->changeLocationAtIndex(0.5, 0));
    EXPECT_FALSE(p.picker->changeLocationAtIndex(0.5, 4));

    p.picker->setSelectedIndex(2);
    p.picker->setFrameSize(pf::Size(210 + 186, 27));
    p.w.key(p.picker, KeyCode::LeftArrow);
    EXPECT_NEAR(p.picker->locationAt(2), 0.29 - 1.0 / 372, 1e-12) << "one step is one pixel of the strip";
}

TEST(OVGradientPicker, EndsAreRecolouredNeverRemoved)
{
    Picker p;
    EXPECT_TRUE(p.picker->changeColorAtIndex(PaintColor::calibratedRGB(1, 0, 0), 0));
    EXPECT_EQ(p.picker->colorAt(0), PaintColor::genericRGB(1, 0, 0));
    p.picker->removeColorAtIndex(0);
    p.picker->removeColorAtIndex(1);
    EXPECT_EQ(p.picker->numberOfStops(), 2);
    EXPECT_FALSE(p.picker->changeColorAtIndex(PaintColor::calibratedRGB(1, 0, 0), 2));
}

TEST(OVGradientPicker, ThePanelEditsTheSelectedStopWithOneAction)
{
    Picker p;
    p.setStops(threeStops);
    p.picker->setSelectedIndex(1);
    pf::ColorPanel& panel = pf::ColorPanel::shared();
    EXPECT_EQ(panel.color(), QColor(255, 0, 0)) << "the panel shows the stop";
    EXPECT_TRUE(panel.dialog()->testOption(QColorDialog::ShowAlphaChannel));
    EXPECT_EQ(p.actions, 0);
    panel.dialog()->setCurrentColor(QColor(0, 0, 255));
    EXPECT_EQ(p.actions, 1);
    EXPECT_EQ(p.picker->colorAt(1).toQColor(), QColor(0, 0, 255));
    EXPECT_EQ(p.picker->colorAt(1).space(), PaintColor::Space::GenericRGB);

    // Tabbing to another stop shows it in the panel.
    p.w.key(p.picker, KeyCode::Tab);
    EXPECT_EQ(panel.color(), QColor(0, 0, 0));
    // Closing the panel ends the selection.
    panel.close();
    EXPECT_EQ(p.picker->selectedIndex(), OVGradientPicker::NotFound);
    EXPECT_FALSE(p.picker->isActive());
}

TEST(OVGradientPicker, SelectingNoneNeverOpensThePanel)
{
    // Opening the panel for no stop would show the first stop's white; the panel keeps the red of the
    // stop that was selected, and a closed panel stays closed.
    const struct
    {
        const char* name;
        std::function<void(Picker&)> step;
    } ways[] = {
        {"set to none", [](Picker& p) { p.picker->setSelectedIndex(OVGradientPicker::NotFound); }},
        {"an index past the stops", [](Picker& p) { p.picker->setSelectedIndex(7); }},
        {"escape", [](Picker& p) { p.w.key(p.picker, KeyCode::Escape); }},
        {"delete", [](Picker& p) { p.w.key(p.picker, KeyCode::Delete); }},
        {"resigning", [](Picker& p) { p.w.window.makeFirstResponder(nullptr); }},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.name);
        Picker p;
        p.setStops(threeStops);
        p.picker->setSelectedIndex(1);
        pf::ColorPanel& panel = pf::ColorPanel::shared();
        ASSERT_EQ(panel.color(), QColor(255, 0, 0));
        way.step(p);
        EXPECT_EQ(p.picker->selectedIndex(), OVGradientPicker::NotFound);
        EXPECT_EQ(panel.color(), QColor(255, 0, 0));
    }
    Picker p;
    p.setStops(threeStops);
    p.picker->setSelectedIndex(1);
    pf::ColorPanel::shared().close();
    p.picker->setSelectedIndex(OVGradientPicker::NotFound);
    p.w.key(p.picker, KeyCode::Escape);
    EXPECT_FALSE(pf::ColorPanel::shared().isVisible());
}

TEST(OVGradientPicker, GradientTextInAndOut)
{
    Picker p;
    p.setStops(threeStops);
    EXPECT_EQ(
        GradientORVExtension::stringRepresentation(p.picker->gradient()),
        GradientORVExtension::stringRepresentation(*GradientORVExtension::gradientWithString(threeStops)));
    EXPECT_EQ(p.actions, 0) << "setting a gradient sends nothing";

    // Unsorted text is sorted stably: it looks the same.
    const QString unsorted = QStringLiteral("1 0 0 0 1 0 1 1 1 1 0.5 1 0 0 1 0.5 0 1 0 1");
    const pf::Gradient given = *GradientORVExtension::gradientWithString(unsorted);
    p.picker->setGradient(given);
    EXPECT_EQ(p.locations(), (std::vector<double>{0, 0.5, 0.5, 1}));
    EXPECT_EQ(p.picker->colorAt(1).toQColor(), QColor(255, 0, 0)) << "equal locations keep their order";
    for (const double at : {0.0, 0.25, 0.49, 0.5, 0.75, 1.0})
        EXPECT_EQ(p.picker->gradient().interpolatedColorAtLocation(at), given.interpolatedColorAtLocation(at))
            << at;
}

TEST(OVGradientPicker, StopLimitsAndRefusedGradients)
{
    Picker p;
    QStringList text;
    for (int i = 0; i < 150; ++i)
        text << QStringLiteral("%1 0 0 0 1").arg(i / 149.0, 0, 'f', 6);
    p.setStops(text.join(u' '));
    EXPECT_EQ(p.picker->numberOfStops(), 100) << "the first 100 of 150";
    EXPECT_NEAR(p.picker->locationAt(99), 99 / 149.0, 1e-6);
    {
        pf::LogCapture log;
        EXPECT_EQ(p.picker->addColorAt(0.999), 0);
        EXPECT_TRUE(
            log.contains(QStringLiteral("Warning: Trying to add more than a hundred colors to an array")));
    }

    p.setStops(threeStops);
    for (const double location : {0.0, 1.0, -0.5, std::nan("")}) {
        pf::LogCapture log;
        EXPECT_EQ(p.picker->addColorAt(location), 0);
        EXPECT_TRUE(log.contains(QStringLiteral("Warning: Cannot add color at location")));
    }
    EXPECT_EQ(p.picker->numberOfStops(), 3);

    // Fewer than two stops, or a location that is no number, are ignored with a warning.
    for (const auto& stops :
         {std::vector<pf::Gradient::Stop>{}, std::vector<pf::Gradient::Stop>{{0.5, pf::Color(1, 0, 0)}},
          std::vector<pf::Gradient::Stop>{{0, pf::Color()}, {std::nan(""), pf::Color()}}}) {
        pf::LogCapture log;
        p.picker->setGradient(pf::Gradient(stops));
        EXPECT_TRUE(log.contains(QStringLiteral("Warning: ")));
        EXPECT_EQ(p.picker->numberOfStops(), 3);
    }
    p.w.click(p.picker, p.strip(0.25));
    EXPECT_EQ(p.picker->numberOfStops(), 4) << "the picker still works";
}

TEST(OVGradientPicker, AStripWithoutWidthChangesNothing)
{
    Picker p;
    p.picker->setFrameSize(pf::Size(20, 27));
    p.setStops(threeStops);
    p.w.click(p.picker, Point(5, 12));
    p.w.click(p.picker, Point(10, 3));
    EXPECT_EQ(p.picker->numberOfStops(), 3);
    p.picker->setSelectedIndex(1);
    p.w.key(p.picker, KeyCode::RightArrow);
    p.w.mouse(p.picker, EventType::LeftMouseDragged, Point(8, 3));
    EXPECT_EQ(p.picker->locationAt(1), 0.5);
    EXPECT_EQ(p.actions, 0);
}

TEST(OVGradientPicker, DrawsStripMarkersAndTheHoverLine)
{
    Picker p;
    p.setStops(QStringLiteral("0 1 0 0 1 0.5 0 1 0 1 1 0 0 1 1"));
    p.picker->setSelectedIndex(1);
    p.w.mouse(p.picker, EventType::MouseMoved, p.strip(0.75));
    const QImage image = p.picker->snapshot(2).convertToFormat(QImage::Format_ARGB32);
    auto at = [&](double x, double y) { return image.pixelColor(int(x * 2), int((27 - y) * 2)); };
    EXPECT_GT(at(12, 10).red(), 200) << "the strip starts red";
    EXPECT_GT(at(195, 10).blue(), 200) << "and ends blue";
    const QColor line = at(std::floor(p.strip(0.75).x) + 0.25, 10);
    EXPECT_LT(line.red() + line.green() + line.blue(), 60) << "a black line on a bright colour";
    const QColor marker = at(p.picker->stopX(1), 2.5);
    EXPECT_GT(marker.green(), 150) << "the marker holds the stop's colour";
    EXPECT_LT(marker.red(), 100);
}

} // namespace
