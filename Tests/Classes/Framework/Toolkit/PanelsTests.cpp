#include "Classes/Framework/Toolkit/OVButton.h"
#include "Classes/Framework/Toolkit/OVChildSupportWindow.h"
#include "Classes/Framework/Toolkit/OVLabel.h"
#include "Classes/Framework/Toolkit/OVPointingView.h"
#include "Classes/Framework/Toolkit/OVSingleButtonPanel.h"
#include "Classes/Framework/Toolkit/OVSingleButtonPanelDelegate.h"
#include "Classes/Framework/Toolkit/OVTextPanel.h"
#include "Classes/Framework/Toolkit/OVTextPanelDelegate.h"
#include "ControlsTestSupport.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Localization.h"
#include "Platform/Foundation/Log.h"
#include "Platform/UI/Menu.h"
#include "Platform/UI/NamedImage.h"
#include "StoredTextPanelOwner.h"

#include <QAction>
#include <QPlainTextEdit>
#include <cmath>
#include <gtest/gtest.h>
#include <memory>

namespace {

using pf::Point;
using pf::Rect;

struct PanelOwner : OVSingleButtonPanelDelegate
{
    int hidden = 0, clicked = 0;
    void panelDidHide(OVSingleButtonPanel*) override { ++hidden; }
    void panelWasClicked(OVSingleButtonPanel*) override { ++clicked; }
};

// The owner's content on screen.
Rect contentOnScreen(pf::Window& window)
{
    return window.convertRectToScreen(window.contentView()->bounds());
}

TEST(OVSingleButtonPanel, BelongsToOneDelegateAndClosesOnLosingKeyStatus)
{
    ControlsWindow w;
    OVSingleButtonPanel& panel = OVSingleButtonPanel::sharedPanel();
    PanelOwner first, second;
    panel.showOver(&w.window, Point(40, 250), &first, QStringLiteral("Hello"), QStringLiteral("OK"));
    ASSERT_TRUE(panel.isVisible());
    panel.showOver(&w.window, Point(40, 250), &first, QStringLiteral("Again"), QStringLiteral("OK"));
    EXPECT_EQ(first.hidden, 0) << "showing again for the owner tells it nothing";

    panel.showOver(&w.window, Point(40, 250), &second, QStringLiteral("Mine"), QStringLiteral("OK"));
    EXPECT_EQ(first.hidden, 1) << "the previous owner hears that the panel has gone";
    EXPECT_EQ(panel.delegate(), &second);
    EXPECT_TRUE(panel.isVisible()) << "the panel stays up for the new owner";

    panel.hideForDelegate(&first);
    EXPECT_TRUE(panel.isVisible()) << "only the owner hides it";
    panel.buttonClicked();
    EXPECT_EQ(second.clicked, 1);

    w.window.makeKeyWindow();
    EXPECT_FALSE(panel.isVisible()) << "losing key status closes it";
    EXPECT_EQ(second.hidden, 1);
    EXPECT_EQ(panel.delegate(), nullptr);

    panel.showOver(&w.window, Point(40, 250), &second, QStringLiteral("Mine"), QStringLiteral("OK"));
    panel.close();
    EXPECT_FALSE(panel.isVisible());
    EXPECT_EQ(second.hidden, 1) << "close() tells nobody";
}

TEST(OVSingleButtonPanel, HeightFollowsTheMessageAndTheWidthNever)
{
    ControlsWindow w;
    OVSingleButtonPanel& panel = OVSingleButtonPanel::sharedPanel();
    PanelOwner owner;
    panel.showOver(&w.window, Point(40, 250), &owner, QString(), QStringLiteral("OK"));
    const Rect empty = panel.window()->frame();
    EXPECT_DOUBLE_EQ(empty.height(), panel.button()->frame().height() + 20.0);
    EXPECT_DOUBLE_EQ(empty.width(), panel.windowWidth());

    panel.showOver(&w.window, Point(40, 250), &owner, QStringLiteral("Short"), QStringLiteral("OK"));
    const Rect shortOne = panel.window()->frame();
    panel.showOver(&w.window, Point(40, 250), &owner,
                   QStringLiteral("A message long enough to wrap over several lines of the panel, so "
                                  "that the panel has to grow downwards to hold all of it."),
                   QStringLiteral("OK"));
    const Rect longOne = panel.window()->frame();
    EXPECT_GT(longOne.height(), shortOne.height());
    EXPECT_DOUBLE_EQ(longOne.width(), shortOne.width());
    const Point corner = w.window.convertPointToScreen(Point(40, 250));
    EXPECT_DOUBLE_EQ(longOne.maxY(), corner.y) << "it hangs from the point";
    EXPECT_DOUBLE_EQ(longOne.minX(), corner.x);

    // Near the owner's right and bottom edges it is pushed inside the owner's content.
    panel.showOver(&w.window, Point(390, 20), &owner, QStringLiteral("Edge"), QStringLiteral("OK"));
    const Rect pushed = panel.window()->frame();
    const Rect content = contentOnScreen(w.window);
    EXPECT_LE(pushed.maxX(), content.maxX());
    EXPECT_GE(pushed.minY(), content.minY());
    panel.close();
}

TEST(OVSingleButtonPanel, AnOwnerThatHasGoneLeavesNoPanelBehind)
{
    OVSingleButtonPanel& panel = OVSingleButtonPanel::sharedPanel();
    {
        ControlsWindow w;
        auto owner = std::make_unique<PanelOwner>();
        panel.showOver(&w.window, Point(40, 250), owner.get(), QStringLiteral("Bye"), QStringLiteral("OK"));
        owner.reset();
        EXPECT_EQ(panel.delegate(), nullptr) << "a destroyed delegate reads as none";
        panel.buttonClicked();
        w.window.makeKeyWindow();
        EXPECT_FALSE(panel.isVisible()) << "losing key status closes a panel without an owner too";
        panel.showOver(&w.window, Point(40, 250), nullptr, QStringLiteral("Left up"), QStringLiteral("OK"));
    } // the owner window goes, taking the panel's window with it
    ControlsWindow again;
    PanelOwner owner;
    panel.showOver(&again.window, Point(40, 250), &owner, QStringLiteral("Back"), QStringLiteral("OK"));
    ASSERT_NE(panel.window(), nullptr);
    EXPECT_TRUE(panel.isVisible()) << "the next show builds the panel again";
    EXPECT_EQ(panel.window()->parentWindow(), &again.window);
    panel.close();
}

struct TextOwner : StoredTextPanelOwner
{
    int ended = 0;
    bool autohide = true;
    void textPanelDidEndEditing(OVTextPanel*) override { ++ended; }
    bool textPanelShouldAutohide(OVTextPanel*) override { return autohide; }
};

TEST(OVTextPanel, SizedByItsTextAndKeptInsideTheOwnersContent)
{
    ControlsWindow w;
    OVTextPanel& panel = OVTextPanel::sharedTextPanel();
    panel.setAvailableFonts({QStringLiteral("DejaVu Sans")});
    TextOwner owner;
    panel.showAtPoint(Point(200, 280), &w.window, &owner);
    ASSERT_TRUE(panel.isVisible());
    const double corner = panel.cornerContainer()->frame().width();
    for (bool fontList : {false, true}) {
        panel.setShowsFontList(fontList);
        const Rect frame = panel.window()->frame();
        EXPECT_DOUBLE_EQ(frame.width(), std::round(197.0 + corner)) << fontList;
        EXPECT_DOUBLE_EQ(frame.height(),
                         std::round(47.0 + (fontList ? 4.0 + panel.fontContainer()->frame().height() : 0.0)))
            << fontList;
    }
    panel.setShowsFontList(false);

    // Typing goes to the delegate and makes the panel grow.
    panel.inputField()->setPlainText(QStringLiteral("A much longer line of text than fits\nand a second"));
    EXPECT_EQ(owner.text, QStringLiteral("A much longer line of text than fits\nand a second"));
    EXPECT_GT(panel.window()->frame().width(), std::round(197.0 + corner));
    EXPECT_GT(panel.window()->frame().height(), 47.0);
    panel.inputField()->setPlainText(QString());

    const Rect content = contentOnScreen(w.window);
    panel.showAtPoint(Point(390, 280), &w.window, &owner);
    Rect frame = panel.window()->frame();
    EXPECT_DOUBLE_EQ(frame.maxX(), content.maxX()) << "pushed in at the right edge";
    EXPECT_GT(panel.pointingView()->distance(), frame.width() / 2) << "the arrow stays under the point";
    panel.showAtPoint(Point(200, 10), &w.window, &owner);
    frame = panel.window()->frame();
    EXPECT_DOUBLE_EQ(frame.minY(), content.minY()) << "pushed up at the bottom edge";
    EXPECT_EQ(owner.ended, 0) << "moving the panel for the same delegate ends nothing";

    EXPECT_TRUE(panel.closeForDelegate(&owner));
    EXPECT_FALSE(panel.closeForDelegate(&owner));
    EXPECT_EQ(owner.ended, 1);
    EXPECT_FALSE(panel.isVisible());
}

TEST(OVTextPanel, MenuAlignmentFontsAndTheirTitles)
{
    ControlsWindow w;
    OVTextPanel& panel = OVTextPanel::sharedTextPanel();
    pf::LogCapture log;
    panel.setAvailableFonts({QStringLiteral("DejaVu Sans"), QStringLiteral("No Such Family 4711")});
    ASSERT_EQ(panel.samples().size(), 2u);
    EXPECT_EQ(panel.samples()[0].text, QStringLiteral("DejaVu Sans"));
    EXPECT_EQ(panel.samples()[1].text, QStringLiteral("Broken Font"));
    EXPECT_TRUE(
        log.contains(QStringLiteral("Warning: Font with name No Such Family 4711 could not be loaded!")));

    TextOwner owner;
    pf::Menu menu;
    panel.integrateIntoMenu(&menu);
    const QList<QAction*> items = menu.actions();
    ASSERT_EQ(items.size(), 4);
    EXPECT_EQ(pf::Menu::title(items[0]), QStringLiteral("Alignment"));
    EXPECT_EQ(pf::Menu::title(items[1]), QStringLiteral("Font"));
    EXPECT_EQ(pf::Menu::title(items[2]), QStringLiteral("Pick Text Color"));
    EXPECT_FALSE(panel.validateMenuItem(items[2])) << "disabled while the panel is not shown";

    panel.showAtPoint(Point(200, 280), &w.window, &owner);
    const QList<QAction*> alignments = items[0]->menu()->actions();
    ASSERT_EQ(alignments.size(), 3);
    const char* titles[] = {"Left", "Center", "Right"};
    const unsigned expected[] = {0, 2, 1};
    for (int i : {2, 1, 0}) {
        EXPECT_EQ(pf::Menu::title(alignments[i]), QString::fromLatin1(titles[i]));
        alignments[i]->trigger();
        EXPECT_EQ(owner.alignment, expected[i]) << titles[i];
        EXPECT_EQ(panel.alignment(), expected[i]);
    }
    items[1]->menu()->actions().value(0)->trigger();
    EXPECT_EQ(owner.font, QStringLiteral("DejaVu Sans"));

    panel.setShowsFontList(false);
    EXPECT_TRUE(panel.validateMenuItem(items[3]));
    EXPECT_EQ(pf::Menu::title(items[3]), QStringLiteral("Show Text Settings"));
    items[3]->trigger();
    EXPECT_TRUE(panel.showsFontList());
    panel.validateMenuItem(items[3]);
    EXPECT_EQ(pf::Menu::title(items[3]), QStringLiteral("Hide Text Settings"));
    panel.close();
}

TEST(OVTextPanel, BelongsToTheFocusWindowOnly)
{
    ControlsWindow first;
    ControlsWindow second;
    second.window.setFrame(Rect(520, 100, 400, 300));
    OVTextPanel& panel = OVTextPanel::sharedTextPanel();
    TextOwner owner;
    panel.showAtPoint(Point(200, 280), &first.window, &owner);
    panel.showAtPoint(Point(200, 280), &second.window, &owner);
    EXPECT_EQ(panel.window()->parentWindow(), &second.window) << "shown in another window it moves there";
    EXPECT_FALSE(first.window.childWindows().contains(panel.window()));

    const Rect before = panel.window()->frame();
    first.window.setFrameOrigin(Point(60, 60));
    first.window.close();
    EXPECT_TRUE(panel.isVisible()) << "the earlier window is no longer observed";
    EXPECT_EQ(panel.window()->frame(), before);

    // Following the focus window keeps the offset.
    const Point corner = second.window.convertPointToScreen(Point(200, 280));
    second.window.setFrameOrigin(Point(second.window.frame().minX() + 30, second.window.frame().minY() - 20));
    const Point moved = second.window.convertPointToScreen(Point(200, 280));
    EXPECT_NEAR(panel.window()->frame().maxY(), before.maxY() + (moved.y - corner.y), 1.0);

    owner.autohide = false;
    second.window.makeKeyWindow();
    EXPECT_TRUE(panel.isVisible()) << "a delegate may keep it up";
    second.window.close();
    EXPECT_FALSE(panel.isVisible()) << "the focus window closing closes the panel";
    EXPECT_EQ(owner.ended, 1);
}

TEST(ToolkitPanels, EveryImageAndTextNameLoads)
{
    const pf::Bundle& bundle = pf::Bundle::main();
    for (const char* name :
         {"TextPanelShowFonts", "TextPanelHideFonts", "TextPanelShowFontsDown", "TextPanelHideFontsDown",
          "TextPanelAlignLeft", "TextPanelAlignCenter", "TextPanelAlignRight", "TextPanelAlignLeftDown",
          "TextPanelAlignCenterDown", "TextPanelAlignRightDown"})
        for (double scale : {1.0, 2.0}) {
            const QString path = pf::NamedImage::path(QString::fromLatin1(name), scale, bundle);
            EXPECT_FALSE(path.isEmpty()) << name << " at " << scale;
            EXPECT_EQ(path.contains(QStringLiteral("@2x")), scale == 2.0) << name;
            EXPECT_FALSE(pf::NamedImage::image(QString::fromLatin1(name), scale, bundle).isNull()) << name;
        }
    // The application's own tables (the tests' main bundle carries test tables instead).
    const pf::Bundle application(QStringLiteral(GLIMORA_TESTS_DATA_DIR "/../../Resources"));
    const QString hint = pf::Localization::lookup(application, QStringLiteral("en"),
                                                  QStringLiteral("ResizeFrameHint"), QString());
    EXPECT_NE(hint, QStringLiteral("ResizeFrameHint")) << "the hint key has its English text";
    EXPECT_FALSE(hint.isEmpty());
}

} // namespace
