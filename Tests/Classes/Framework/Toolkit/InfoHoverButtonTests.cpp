#include "Classes/Framework/Toolkit/OVHoverWindowController.h"
#include "Classes/Framework/Toolkit/OVImageView.h"
#include "Classes/Framework/Toolkit/OVInfoHoverButton.h"
#include "Platform/UI/Window.h"

#include <gtest/gtest.h>

namespace {

using pf::EventType;
using pf::Rect;

class InfoHover : public ::testing::Test
{
protected:
    void SetUp() override
    {
        window.contentView()->addSubview(button);
        button->setName(QStringLiteral("InfoButton"));
        window.show();
    }
    void hover(EventType type)
    {
        button->dispatch(pf::Event::enterExitEvent(type, pf::Point(60, 60), 0, 0, &window, nullptr));
    }

    pf::Window window{Rect(100, 100, 500, 400)};
    OVInfoHoverButton* button = new OVInfoHoverButton(Rect(50, 50, 18, 18));
};

// The description can be set before the window ever showed: the window is built and fitted at once;
// a longer one grows the window upwards from its origin.
TEST_F(InfoHover, DescriptionsBuildAndFitTheWindow)
{
    button->setInfoTitle(QStringLiteral("How to use"));
    button->setInfoDescription(QStringLiteral("Paint."));
    pf::Window* hoverWindow = button->hoverWC()->loadedWindow();
    ASSERT_NE(hoverWindow, nullptr);
    EXPECT_EQ(button->infoTitle(), QStringLiteral("How to use"));
    const Rect short_ = hoverWindow->frame();
    button->setInfoDescription(QStringLiteral("Paint over the skin where the effect should apply; hold the "
                                              "Option key to erase, and change the brush size with the "
                                              "slider in the settings above."));
    const Rect long_ = hoverWindow->frame();
    EXPECT_GT(long_.height(), short_.height());
    EXPECT_EQ(long_.minY(), short_.minY());
    EXPECT_EQ(long_.width(), short_.width());
    EXPECT_FALSE(hoverWindow->isVisible());
}

// Hovering shows the window once, over the button; hovering again only moves it; the button's own exit
// leaves it, leaving the window closes it.
TEST_F(InfoHover, ShowsOverTheButtonUntilThePointerLeavesTheWindow)
{
    button->setInfoDescription(QStringLiteral("Paint where the effect applies."));
    hover(EventType::MouseEntered);
    OVHoverWindowController* controller = button->hoverWC();
    pf::Window* hoverWindow = controller->loadedWindow();
    ASSERT_TRUE(hoverWindow && hoverWindow->isVisible());
    EXPECT_EQ(window.childWindows(), QList<pf::Window*>{hoverWindow});
    // The picture lies exactly over the button, and shows it.
    const pf::Point picture =
        hoverWindow->convertPointToScreen(controller->imageView()->convertPointToView(pf::Point(), nullptr));
    EXPECT_EQ(picture, window.convertPointToScreen(pf::Point(50, 50)));
    EXPECT_EQ(controller->imageView()->intrinsicContentSize(), pf::Size(18, 18));
    ASSERT_NE(controller->exitTrackingArea(), nullptr);

    button->setButtonState(2); // the same state again: shown again, not added again
    EXPECT_EQ(window.childWindows().size(), 1);
    hover(EventType::MouseExited);
    EXPECT_TRUE(hoverWindow->isVisible());
    controller->dispatch(pf::Event::enterExitEvent(EventType::MouseExited, pf::Point(400, 300), 0, 0,
                                                   hoverWindow, controller->exitTrackingArea()));
    EXPECT_FALSE(hoverWindow->isVisible());
    EXPECT_TRUE(window.childWindows().isEmpty());
    hover(EventType::MouseEntered);
    EXPECT_TRUE(hoverWindow->isVisible());
}

} // namespace
