#include "Classes/Frames/OVFrameBuilder.h"
#include "Classes/Frames/OVFrameCatalog.h"
#include "Classes/Frames/OVTexturedFrameFilter.h"
#include "Classes/Framework/Toolkit/OVButton.h"
#include "Classes/Framework/Toolkit/OVColorWell.h"
#include "Classes/Framework/Toolkit/OVImageView.h"
#include "Classes/Framework/Toolkit/OVPopupButton.h"
#include "Classes/Framework/Toolkit/OVSlider.h"
#include "Platform/Foundation/Log.h"
#include "Platform/UI/Menu.h"
#include "Platform/UI/SteppedClock.h"
#include "Platform/UI/View.h"
#include "Platform/UI/Window.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// A builder with its window, over a user catalog emptied for the test.
struct Builder
{
    pf::SteppedClock clock;
    OVFrameBuilder builder;
    Builder()
    {
        clear();
        builder.window();
    }
    ~Builder() { clear(); }
    static void clear()
    {
        OVFrameCatalog& user = OVFrameCatalog::sharedUserFrameCatalog();
        while (!user.frameIDs().isEmpty())
            user.removeFrameAtIndex(0);
    }
    QString displayName(const QString& frameID) const
    {
        return OVFrameCatalog::sharedUserFrameCatalog().frameWithName(frameID)->name();
    }
    int rowOf(const QString& frameID) const
    {
        return int(OVFrameCatalog::sharedUserFrameCatalog().frameIDs().indexOf(frameID));
    }
    void pickShade(int index)
    {
        // Items 0 and 1 are the title and the separator; find a shade, not a header.
        const QStringList& names = OVFrameCatalog::sharedShadeNames();
        int k = -1;
        for (int i = 0, seen = 0; i < names.size(); ++i)
            if (OVFrameCatalog::sharedShadeSettings().contains(names[i]) && seen++ == index)
                k = i;
        ASSERT_GE(k, 0);
        OVPopupButton* add = builder.newShadeButton();
        add->itemSelected(add->menu()->actions().at(k + 2));
    }
    std::vector<QString> rowShadeTitles() const
    {
        std::vector<QString> titles;
        for (const auto& row : builder.shadesStack())
            titles.push_back(pf::Menu::title(row.shade->selectedItem()));
        return titles;
    }
};

} // namespace

TEST(OVFrameBuilder, NamesNewFramesAndCopiesAfterTakenNames)
{
    Builder b;
    const QString first = b.builder.addUserFrame(OVFrameBuilder::newFrameRecipe(), "New Frame");
    const QString second = b.builder.addUserFrame(OVFrameBuilder::newFrameRecipe(), "New Frame");
    EXPECT_EQ(b.displayName(first), "New Frame");
    EXPECT_EQ(b.displayName(second), "New Frame 2");
    // The new frame is selected, editable and drawn with the light oak.
    EXPECT_EQ(b.builder.selectedRow(), b.rowOf(second));
    EXPECT_TRUE(b.builder.currentDescription()->isEditable());
    EXPECT_EQ(b.builder.currentDescription()->textureName(), "ORV-T#010#Wood-Light-Knots");

    // Copies of a system frame: its name is taken, so "X 2", then "X 3".
    const QStringList& system = OVFrameCatalog::sharedFrameCatalog().frameIDs();
    int walnut = -1;
    for (int i = 0; i < system.size(); ++i)
        if (OVFrameCatalog::sharedFrameCatalog().frameWithName(system[i]) &&
            OVFrameCatalog::sharedFrameCatalog().frameWithName(system[i])->name() == "Wood - Walnut")
            walnut = i;
    ASSERT_GE(walnut, 0);
    const int u = int(OVFrameCatalog::sharedUserFrameCatalog().frameIDs().size());
    b.builder.selectRow(u + walnut);
    const int walnutRow = b.builder.selectedRow();
    b.builder.duplicateFrame();
    b.builder.selectRow(walnutRow + 1); // the user list grew by one row
    b.builder.duplicateFrame();
    QStringList names;
    for (const QString& id : OVFrameCatalog::sharedUserFrameCatalog().frameIDs())
        names << b.displayName(id);
    EXPECT_TRUE(names.contains("Wood - Walnut 2")) << names.join(", ").toStdString();
    EXPECT_TRUE(names.contains("Wood - Walnut 3")) << names.join(", ").toStdString();

    // A rename to a taken name is refused and the row shows the old name again; system rows cannot be
    // renamed at all.
    const int row = b.rowOf(second);
    b.builder.setObjectValueForRow("New Frame", row);
    EXPECT_EQ(b.displayName(second), "New Frame 2");
    EXPECT_EQ(b.builder.frameList()->item(row, 0)->text(), "New Frame 2");
    pf::LogCapture log;
    b.builder.setObjectValueForRow("Mine", u + 1 + walnut);
    EXPECT_TRUE(log.contains("Warning: System Frames cannot be renamed"));
    EXPECT_FALSE(b.builder.shouldEditRow(u + 1 + walnut));
}

TEST(OVFrameBuilder, HeadersAndNoSelectionShowThePlainFrameLocked)
{
    Builder b;
    const QStringList& system = OVFrameCatalog::sharedFrameCatalog().frameIDs();
    const int header = int(system.indexOf("Wood -"));
    ASSERT_GE(header, 0);
    // The list shows a header as a bold title, not as one more grey frame.
    const QTableWidgetItem* title = b.builder.frameList()->item(header, 0);
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->text(), "Wood");
    EXPECT_TRUE(title->font().bold());
    EXPECT_NE(title->foreground().color(), b.builder.frameList()->item(header + 1, 0)->foreground().color());
    for (int row : {-1, header}) {
        SCOPED_TRACE(row);
        b.builder.selectRow(row);
        b.builder.tableViewSelectionDidChange();
        EXPECT_EQ(b.builder.currentDescription(), OVFrameCatalog::defaultFrame());
        EXPECT_FALSE(b.builder.textureButton()->isEnabled());
        EXPECT_FALSE(b.builder.textureColorWell()->isEnabled());
        EXPECT_FALSE(b.builder.textureCutButton()->isEnabled());
        EXPECT_FALSE(b.builder.externalMaskButton()->isEnabled());
        EXPECT_FALSE(b.builder.internalMaskButton()->isEnabled());
        EXPECT_TRUE(b.builder.newShadeButton()->isHidden());
        EXPECT_FALSE(b.builder.removeFrameButton()->isEnabled());
    }
    // A header has no frame to copy.
    b.builder.selectRow(header);
    b.builder.duplicateFrame();
    EXPECT_TRUE(OVFrameCatalog::sharedUserFrameCatalog().frameIDs().isEmpty());
}

TEST(OVFrameBuilder, ShadeRowsFollowTheStackThroughRemovalAndUndo)
{
    Builder b;
    b.builder.addUserFrame(OVFrameBuilder::newFrameRecipe(), "Shaded");
    // With no shade the area is the padding (or the visible height) and the add pop-up sits at its
    // bottom.
    const double visible = b.builder.shadesScrollView()->viewport()->height();
    EXPECT_DOUBLE_EQ(b.builder.shadesContainer()->frame().height(), std::max(26.0, visible));
    b.clock.advance(5);
    const double H = b.builder.shadesContainer()->frame().height();
    EXPECT_DOUBLE_EQ(b.builder.newShadeButton()->frame().minY(), H - 26);

    // Each edit is a step of its own, as a turn of the event loop ends it.
    QCoreApplication::processEvents();
    for (int i = 0; i < 3; ++i) {
        b.pickShade(i);
        QCoreApplication::processEvents();
    }
    ASSERT_EQ(b.builder.shadesStack().size(), 3u);
    ASSERT_EQ(b.builder.currentDescription()->shades().size(), 3u);
    const std::vector<QString> before = b.rowShadeTitles();
    b.clock.advance(5);
    EXPECT_DOUBLE_EQ(b.builder.newShadeButton()->frame().minY(), H - (31 * 3 + 26));

    // Removing the middle one drops the last row's controls; rows 0 and 1 show the other two.
    QPointer<OVButton> lastRemove = b.builder.shadesStack()[2].remove;
    b.builder.removeShade(1);
    QCoreApplication::processEvents();
    EXPECT_TRUE(lastRemove.isNull());
    ASSERT_EQ(b.builder.shadesStack().size(), 2u);
    EXPECT_EQ(b.rowShadeTitles(), (std::vector<QString>{before[0], before[2]}));
    b.clock.advance(5);
    EXPECT_DOUBLE_EQ(b.builder.shadesStack()[1].shade->frame().minY(), H - 31 * 2 + std::floor(31 - 24));

    // Undoing the removal brings the row back; undoing an addition takes one away.
    b.builder.undoManager().undo();
    EXPECT_EQ(b.rowShadeTitles(), before);
    b.builder.undoManager().undo(); // the third addition
    EXPECT_EQ(b.builder.shadesStack().size(), 2u);
    EXPECT_EQ(b.builder.currentDescription()->shades().size(), 2u);

    // The cut switch sets the fill mode, and its undo shows in the switch again.
    QCoreApplication::processEvents();
    b.builder.textureCutButton()->setChecked(false);
    b.builder.selectTextureCut();
    QCoreApplication::processEvents();
    EXPECT_EQ(b.builder.currentDescription()->textureFillMode(), 2);
    b.builder.undoManager().undo();
    EXPECT_EQ(b.builder.currentDescription()->textureFillMode(), 1);
    EXPECT_TRUE(b.builder.textureCutButton()->isChecked());
}

// The fades over the shade list's edges take no hits: a press at the top of the first row, under the
// top fade, reaches that row's remove button, and the steps are named as a person reads them.
TEST(OVFrameBuilder, APressUnderTheTopFadeReachesTheFirstShadeRow)
{
    Builder b;
    b.builder.addUserFrame(OVFrameBuilder::newFrameRecipe(), "Faded");
    QCoreApplication::processEvents();
    for (int i = 0; i < 2; ++i) {
        b.pickShade(i);
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(b.builder.undoManager().undoMenuItemTitle(), QStringLiteral("Undo Add Shade"));
    pf::Window* window = b.builder.window();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    b.clock.advance(5);
    QCoreApplication::processEvents();
    b.builder.shadesScrollView()->verticalScrollBar()->setValue(0);
    ASSERT_EQ(b.builder.shadesStack().size(), 2u);
    OVButton* remove = b.builder.shadesStack()[0].remove;
    ASSERT_TRUE(remove);
    OVImageView* fade = b.builder.topShadow();
    // Three points below the row's top edge, as it shows at the top of the list.
    const QPoint press = remove->mapTo(window, QPoint(remove->width() / 2, 3));
    ASSERT_TRUE(fade->geometry().contains(fade->parentWidget()->mapFrom(window, press)))
        << "the press lies under the fade";
    QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, press);
    QCoreApplication::processEvents();
    EXPECT_EQ(b.builder.currentDescription()->shades().size(), 1u) << "the first row's shade is removed";
    EXPECT_EQ(b.builder.undoManager().undoMenuItemTitle(), QStringLiteral("Undo Remove Shade"));
    b.builder.undoManager().undo();
    EXPECT_EQ(b.builder.currentDescription()->shades().size(), 2u);
    EXPECT_EQ(b.builder.undoManager().redoMenuItemTitle(), QStringLiteral("Redo Remove Shade"));
    window->close();
    b.clock.advance(5);
}

// The "-" of a shade row removes its shade through a real click in the builder's window: also on the last
// row, whose controls go with the shade while the click is still being handled, on the only row, on a
// middle row, and row after row.
TEST(OVFrameBuilder, EachShadeRowsMinusRemovesItsShadeWithARealClick)
{
    const struct
    {
        const char* name;
        int shades;
        std::vector<int> rows; // clicked one after the other
    } cases[] = {
        {"the only row", 1, {0}},
        {"the last row", 3, {2}},
        {"a middle row", 3, {1}},
        {"every row, from the last", 4, {3, 2, 1, 0}},
        {"every row, from the first", 4, {0, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Builder b;
        b.builder.addUserFrame(OVFrameBuilder::newFrameRecipe(), "Shaded");
        QCoreApplication::processEvents();
        for (int i = 0; i < c.shades; ++i) {
            b.pickShade(i);
            QCoreApplication::processEvents();
        }
        pf::Window* window = b.builder.window();
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        std::vector<QString> titles = b.rowShadeTitles();
        for (const int row : c.rows) {
            b.clock.advance(5); // the rows' moves end
            QCoreApplication::processEvents();
            ASSERT_LT(size_t(row), b.builder.shadesStack().size());
            OVButton* remove = b.builder.shadesStack()[size_t(row)].remove;
            b.builder.shadesScrollView()->ensureWidgetVisible(remove);
            const QPoint at = remove->mapTo(window, QPoint(remove->width() / 3, remove->height() / 2));
            QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, at);
            QCoreApplication::processEvents();
            titles.erase(titles.begin() + row);
            EXPECT_EQ(b.rowShadeTitles(), titles);
            EXPECT_EQ(b.builder.currentDescription()->shades().size(), titles.size());
            QTest::qWait(1);
        }
        b.clock.advance(5);
        QCoreApplication::processEvents();
        // The removed rows' controls are gone, and the window still takes clicks: undo brings a shade back.
        // The add pop-up, and each row's two pop-ups and "-".
        EXPECT_EQ(b.builder.shadesContainer()->findChildren<OVButton*>().size(),
                  qsizetype(1 + 3 * titles.size()));
        b.builder.undoManager().undo();
        EXPECT_EQ(b.builder.currentDescription()->shades().size(), titles.size() + 1);
        window->close();
        b.clock.advance(5);
    }
}

// Mended: a shade row's pop-up cut longer shade names ("Profile Shadow ..."). Every item of each pop-up
// of a row shows whole, arrow beside it, and the row still fits the shades area.
TEST(OVFrameBuilder, EveryShadeAndBlendModeNameShowsWholeInItsRow)
{
    Builder b;
    b.builder.addUserFrame(OVFrameBuilder::newFrameRecipe(), "Named");
    QCoreApplication::processEvents();
    b.pickShade(0);
    b.clock.advance(5);
    ASSERT_EQ(b.builder.shadesStack().size(), 1u);
    const auto& row = b.builder.shadesStack().front();
    const auto showsWhole = [](OVPopupButton* button) {
        QStringList cut;
        const QString kept = button->title();
        for (QAction* item : button->menu()->actions()) {
            if (item->isSeparator() || pf::Menu::title(item).isEmpty())
                continue;
            button->setTitle(pf::Menu::title(item));
            // The title and, beside it, the arrow's room.
            const double needs = button->intrinsicContentSize().width + 6;
            if (needs > button->frame().width())
                cut << QStringLiteral("%1 (%2 of %3)")
                           .arg(pf::Menu::title(item))
                           .arg(needs)
                           .arg(button->frame().width());
        }
        button->setTitle(kept);
        return cut;
    };
    EXPECT_EQ(showsWhole(row.shade).join(", ").toStdString(), "");
    EXPECT_EQ(showsWhole(row.blendMode).join(", ").toStdString(), "");
    EXPECT_LE(row.remove->frame().maxX(), b.builder.shadesContainer()->frame().width());
}
