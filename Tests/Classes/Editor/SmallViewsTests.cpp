#include "Classes/Editor/OV3PartButtonCell.h"
#include "Classes/Editor/OVCellControl.h"
#include "Classes/Editor/OVEventBlockingView.h"
#include "Classes/Editor/OVGradientView.h"
#include "Classes/Editor/OVHoverTextField.h"
#include "Classes/Editor/OVInverseTextFieldCell.h"
#include "Classes/Editor/ShadowTextViewCell.h"
#include "Classes/Editor/TextField.h"
#include "EditorTestSupport.h"
#include "Platform/UI/NamedImage.h"
#include "Platform/UI/SteppedClock.h"
#include "Platform/UI/Window.h"

#include <QPainter>
#include <gtest/gtest.h>

using pf::Point;
using pf::Rect;

namespace {

// The control drawn alone, y-up, at scale 1 over transparent pixels.
QImage drawn(pf::View* view)
{
    return view->snapshot(1.0).convertToFormat(QImage::Format_ARGB32);
}

// Takes the presses that reach it.
class PressRecorder : public pf::View
{
public:
    using View::View;
    int presses = 0;
    void mouseDown(const pf::Event&) override { ++presses; }
};

} // namespace

TEST(SmallViews, AButtonCellTakesTheStylesTitleAndKeepsItsImagesUntilAnotherName)
{
    pf::AttributedString fromFile(QStringLiteral("Apply"), pf::TextAttributes{pf::systemFont(20), Qt::red});
    const OV3PartButtonCell cell = OV3PartButtonCell::decoded(fromFile);
    const pf::TextAttributes title = cell.attributedStringValue().attributesAt(0);
    EXPECT_EQ(cell.stringValue(), QStringLiteral("Apply"));
    EXPECT_EQ(title.font.pointSizeF(), 13);
    EXPECT_NEAR(title.color.redF(), 0.37, 0.01);
    EXPECT_EQ(title.color, QColor::fromRgbF(0.37f, 0.37f, 0.37f));
    ASSERT_TRUE(cell.attributedStringValue().shadow());
    EXPECT_EQ(cell.attributedStringValue().shadow()->offset, pf::Size(1, -1));
    EXPECT_EQ(cell.attributedStringValue().alignment(), pf::AttributedString::Alignment::Center);

    OV3PartButtonCell button(QStringLiteral("OK"));
    ASSERT_FALSE(button.leftImage().isNull()) << "style 0 loads Button01";
    const qint64 left = button.leftImage().cacheKey();
    button.setBaseName(QStringLiteral("Button01"));
    EXPECT_EQ(button.leftImage().cacheKey(), left);
    button.setBaseName(std::nullopt);
    EXPECT_EQ(button.leftImage().cacheKey(), left) << "no name keeps the images";
    button.setBaseName(QStringLiteral("NoSuchButton"));
    EXPECT_TRUE(button.leftImage().isNull());
    // Attributes set apart only show from the next title on.
    OV3PartButtonCell::TitleAttributes red = button.titleAttributes();
    red.text.color = Qt::red;
    button.setTitleAttributes(red);
    EXPECT_NE(button.attributedStringValue().attributesAt(0).color, QColor(Qt::red));
    button.setTitle(QStringLiteral("Go"));
    EXPECT_EQ(button.attributedStringValue().attributesAt(0).color, QColor(Qt::red));
}

TEST(SmallViews, AHighlightedButtonDrawsAtSeventyPercentAndAReleaseInsideActs)
{
    pf::Window window(Rect(0, 0, 200, 100));
    auto* control = new OVCellControl(Rect(10, 10, 120, 24), std::make_unique<OV3PartButtonCell>(QString()));
    window.contentView()->addSubview(control);
    int actions = 0;
    control->setAction([&](OVCellControl*) { ++actions; });
    const QImage plain = drawn(control);
    control->cell()->setHighlighted(true);
    const QImage highlighted = drawn(control);
    // In the middle of the stretched part, where the artwork is opaque.
    const QRgb a = plain.pixel(60, 12), b = highlighted.pixel(60, 12);
    ASSERT_EQ(qAlpha(a), 255);
    EXPECT_NEAR(qAlpha(b), 0.7 * 255, 2);
    control->cell()->setHighlighted(false);

    editortest::mouse(control, pf::EventType::LeftMouseDown, Point(60, 12));
    EXPECT_TRUE(control->cell()->isHighlighted());
    editortest::mouse(control, pf::EventType::LeftMouseUp, Point(200, 12));
    EXPECT_FALSE(control->cell()->isHighlighted());
    EXPECT_EQ(actions, 0) << "released outside";
    editortest::click(control, Point(60, 12));
    EXPECT_EQ(actions, 1);
}

TEST(SmallViews, ABlockingViewWithoutAColourIsClearYetSwallowsPresses)
{
    pf::Window window(Rect(0, 0, 200, 100));
    auto* beneath = new PressRecorder(Rect(0, 0, 200, 100));
    window.contentView()->addSubview(beneath);
    auto* blocker = new OVEventBlockingView(Rect(20, 20, 100, 50));
    window.contentView()->addSubview(blocker);
    const QImage clear = drawn(blocker);
    EXPECT_EQ(qAlpha(clear.pixel(50, 25)), 0);
    pf::View* hit = window.contentView()->hitTest(Point(50, 40));
    ASSERT_EQ(hit, blocker);
    editortest::click(hit, Point(30, 20));
    EXPECT_EQ(beneath->presses, 0);
    blocker->setColorName(QStringLiteral("1 0 0 1"));
    ASSERT_TRUE(blocker->color());
    EXPECT_EQ(qRed(drawn(blocker).pixel(50, 25)), 255);
}

TEST(SmallViews, TheGradientRunsFromTheTopThroughGreyToBlack)
{
    OVGradientView view(Rect(0, 0, 10, 101));
    const QImage image = drawn(&view);
    // Row 0 of the image is the top edge.
    EXPECT_LT(qRed(image.pixel(5, 0)), 4);
    EXPECT_NEAR(qRed(image.pixel(5, 60)), 80, 3);
    EXPECT_LT(qRed(image.pixel(5, 100)), 4);
    EXPECT_LT(qRed(image.pixel(5, 30)), qRed(image.pixel(5, 55)));
}

// Mended: the punched text's height was taken from the title rectangle's x origin.
TEST(SmallViews, InverseTextIsPunchedThroughThePlateCentredAndLoweredByTheTag)
{
    pf::Window window(Rect(0, 0, 400, 100));
    window.contentView()->setAutoFillBackground(false);
    // The same cell at two places across the window: the text sits at the same height in both.
    const auto punched = [&](double x, int tag) {
        auto cell = std::make_unique<OVInverseTextFieldCell>(QStringLiteral("HHHH"));
        cell->setBackgroundColor(QColor(30, 120, 220));
        auto* control = new OVCellControl(Rect(x, 10, 120, 40), std::move(cell));
        control->setTag(tag);
        window.contentView()->addSubview(control);
        const QImage image = drawn(control);
        // The letters are holes in the plate: their bounding box.
        int top = 1000, bottom = -1, left = 1000, right = -1;
        for (int y = 3; y < image.height() - 3; ++y)
            for (int xx = 5; xx < image.width() - 5; ++xx)
                if (qAlpha(image.pixel(xx, y)) < 128) {
                    top = std::min(top, y), bottom = std::max(bottom, y);
                    left = std::min(left, xx), right = std::max(right, xx);
                }
        EXPECT_EQ(qAlpha(image.pixel(3, 20)), 255) << "the plate";
        return QRect(QPoint(left, top), QPoint(right, bottom));
    };
    const QRect atLeft = punched(10, 0);
    const QRect atRight = punched(250, 0);
    const QRect lowered = punched(10, 6);
    ASSERT_GE(atLeft.right(), 0) << "letters are cut out";
    EXPECT_NEAR((atLeft.left() + atLeft.right()) / 2.0, 60, 2);
    EXPECT_NEAR((atLeft.top() + atLeft.bottom()) / 2.0, 20, 3);
    EXPECT_EQ(atRight.top(), atLeft.top());
    EXPECT_EQ(lowered.top(), atLeft.top() + 6) << "y grows down in the image: lowered by the tag";
}

TEST(SmallViews, TheHoverFieldReportsEntriesFadesWhenDisabledAndShiftsFromItsPlace)
{
    pf::SteppedClock clock;
    pf::Window window(Rect(0, 0, 300, 100));
    auto* field = new OVHoverTextField(Rect(20, 30, 120, 20));
    window.contentView()->addSubview(field);
    EXPECT_EQ(field->orgFrame(), Rect(20, 30, 120, 20));
    std::vector<bool> seen;
    field->setAction([&](OVHoverTextField* sender) { seen.push_back(sender->hovered()); });
    field->setEnabled(true);
    field->mouseEntered(pf::Event());
    field->setEnabled(false);
    clock.advance(1);
    EXPECT_EQ(seen, (std::vector<bool>{true, false})) << "one action on leaving, with hovered false";
    EXPECT_EQ(field->alphaValue(), 0);
    field->setEnabled(false);
    EXPECT_EQ(seen.size(), 2u);

    field->setShift(Point(15, -5));
    EXPECT_EQ(field->frame().origin, Point(35, 25));
    field->setShift(Point(0, 0));
    EXPECT_EQ(field->frame(), field->orgFrame());
}

TEST(SmallViews, AMessageShowsForItsTimeAndASecondOneRestartsIt)
{
    pf::SteppedClock clock;
    auto stage = pf::Layer::create();
    stage->setBounds(Rect(0, 0, 400, 200));
    auto message = TextField::create();
    message->setBounds(Rect(0, 0, 100, 40));
    message->setPosition(Point(30, 100));
    stage->addSublayer(message);
    stage->setBounds(Rect(0, 0, 500, 200));
    EXPECT_DOUBLE_EQ(message->frame().midX(), 250) << "centred as its superlayer changes";

    EXPECT_EQ(message->opacity(), 0);
    message->showFieldWithMessage(QStringLiteral("Saved"), 2);
    EXPECT_EQ(message->opacity(), 1);
    clock.advance(1.5);
    message->showFieldWithMessage(QStringLiteral("Saved again"), 2);
    clock.advance(1.5);
    EXPECT_EQ(message->opacity(), 1) << "the time started again";
    EXPECT_EQ(message->string(), QStringLiteral("Saved again"));
    clock.advance(0.6);
    EXPECT_EQ(message->opacity(), 0);
    EXPECT_DOUBLE_EQ(message->preferredFrameSize().width, message->preferredSize().width + 20);
}
