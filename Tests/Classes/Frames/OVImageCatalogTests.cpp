#include "Classes/Frames/OVImageCatalog.h"
#include "Classes/Frames/OVImageCatalogDelegate.h"
#include "Classes/Frames/OVWindowDrawer.h"
#include "Classes/Frames/OVWindowDrawerDelegate.h"
#include "Classes/Framework/Toolkit/OVButton.h"
#include "Classes/Framework/Toolkit/OVGridItem.h"
#include "Classes/Framework/Toolkit/OVGridViewController.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Log.h"
#include "Platform/UI/Layer.h"
#include "Platform/UI/SteppedClock.h"
#include "Platform/UI/View.h"
#include "Platform/UI/ViewAnimator.h"
#include "Platform/UI/Window.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Animations other tests started run on the real clock until they end; a stepped clock installed
// meanwhile would not move them.
void letRunningAnimationsEnd()
{
    QElapsedTimer timer;
    timer.start();
    while (pf::ViewAnimator::runningCount() > 0 && timer.elapsed() < 5000)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
}

void writePicture(const QString& path, QColor colour, QSize size = QSize(30, 20))
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(colour);
    QDir().mkpath(QFileInfo(path).path());
    ASSERT_TRUE(image.save(path));
}

// A bundle of its own: "Backgrounds" with two pictures, a thumbnail without its picture, a file that is no
// thumbnail and a folder named like one; "a-thumb", a category folder whose own name holds the mark.
struct CatalogBundle
{
    QTemporaryDir dir;
    std::unique_ptr<pf::Bundle> bundle;
    CatalogBundle()
    {
        const QString b = dir.filePath(QStringLiteral("Backgrounds/"));
        writePicture(b + QStringLiteral("ORV-B#001#Grey-thumb.png"), Qt::gray);
        writePicture(b + QStringLiteral("ORV-B#001#Grey.png"), Qt::gray, {300, 200});
        writePicture(b + QStringLiteral("ORV-B#002#Blue-thumb.jpg"), Qt::blue);
        writePicture(b + QStringLiteral("ORV-B#002#Blue.jpg"), Qt::blue, {300, 200});
        writePicture(b + QStringLiteral("ORV-B#003#Lost-thumb.png"), Qt::red);
        writePicture(b + QStringLiteral("Plain.png"), Qt::green);
        QDir().mkpath(b + QStringLiteral("b-thumb"));
        const QString a = dir.filePath(QStringLiteral("a-thumb/"));
        writePicture(a + QStringLiteral("Star-thumb.png"), Qt::yellow);
        writePicture(a + QStringLiteral("Star.png"), Qt::yellow, {200, 200});
        bundle = std::make_unique<pf::Bundle>(dir.path());
    }
    QString path(const QString& relative) const { return dir.filePath(relative); }
};

struct RecordingDelegate : OVImageCatalogDelegate
{
    QStringList chosen;
    int closed = 0;
    void imageCatalogSelectImageWithPath(OVImageCatalog*, const QString& path) override { chosen << path; }
    void imageCatalogDidClose(OVImageCatalog*) override { ++closed; }
};

struct DrawerDelegate : OVWindowDrawerDelegate
{
    int hidden = 0;
    void windowDrawerDidHide(OVWindowDrawer*) override { ++hidden; }
};

QStringList contexts(const OVImageCatalog& catalog)
{
    QStringList list;
    for (OVGridItem* item : catalog.gridViewController()->gridItemsInSection(catalog.mainSection()))
        list << item->context().toString();
    list.sort();
    return list;
}

// A window with a focus view of 500 x 400 at (100, 50) that keeps its distance to every edge.
struct Host
{
    pf::Window window{pf::Rect(100, 100, 800, 600)};
    pf::View* focus = new pf::View(pf::Rect(100, 50, 500, 400));
    Host()
    {
        focus->setAutoresizingMask(pf::View::WidthSizable | pf::View::HeightSizable);
        window.contentView()->addSubview(focus);
        window.show();
    }
    pf::Rect focusOnScreen() const
    {
        return window.convertRectToScreen(focus->convertRectToView(focus->bounds(), nullptr));
    }
};

} // namespace

TEST(OVImageCatalog, ButtonsShareTheContainerAndTheFirstCategoryGlows)
{
    CatalogBundle files;
    OVImageCatalog catalog(files.bundle.get());
    EXPECT_EQ(catalog.addCategory(QStringLiteral("Backgrounds"), QStringLiteral("Backgrounds")), 0);
    EXPECT_EQ(catalog.addCategory(QStringLiteral("Stars"), QStringLiteral("a-thumb")), 1);
    ASSERT_NE(catalog.view(), nullptr);
    catalog.buttonContainer()->setFrame(pf::Rect(0, 0, 400, 30));
    catalog.layoutButtons();
    EXPECT_EQ(catalog.categoryButton(0)->frame(), pf::Rect(0, 0, 200, 30));
    EXPECT_EQ(catalog.categoryButton(1)->frame(), pf::Rect(200, 0, 200, 30));
    EXPECT_EQ(catalog.categoryButton(1)->superview(), catalog.buttonContainer());
    EXPECT_EQ(catalog.activeCategory(), 0);
    EXPECT_EQ(catalog.categoryButton(0)->shadowNames()[1], QStringLiteral("GlowButtonOn"));
    EXPECT_EQ(catalog.categoryButton(1)->shadowNames()[1], QStringLiteral("GlowButtonOff"));

    struct
    {
        int asked, shown;
    } cases[] = {{5, 1}, {-3, 0}, {1, 1}, {0, 0}};
    for (const auto& c : cases) {
        catalog.setActiveCategory(c.asked);
        EXPECT_EQ(catalog.activeCategory(), c.shown) << c.asked;
        EXPECT_EQ(catalog.categoryButton(c.shown)->shadowNames()[1], QStringLiteral("GlowButtonOn"));
        EXPECT_EQ(catalog.categoryButton(1 - c.shown)->shadowNames()[1], QStringLiteral("GlowButtonOff"));
    }
}

TEST(OVImageCatalog, ListsThumbnailsThatHaveTheirPictures)
{
    CatalogBundle files;
    OVImageCatalog catalog(files.bundle.get());
    catalog.addCategory(QStringLiteral("Backgrounds"), QStringLiteral("Backgrounds"));
    catalog.addCategory(QStringLiteral("Stars"), QStringLiteral("a-thumb"));
    pf::LogCapture log;
    ASSERT_NE(catalog.view(), nullptr);
    // The missing picture is not offered; the file without the mark and the folder are no thumbnails.
    EXPECT_EQ(contexts(catalog), (QStringList{files.path(QStringLiteral("Backgrounds/ORV-B#001#Grey.png")),
                                              files.path(QStringLiteral("Backgrounds/ORV-B#002#Blue.jpg"))}));
    EXPECT_TRUE(log.contains(QStringLiteral("ORV-B#003#Lost.png")));
    QStringList titles;
    for (OVGridItem* item : catalog.gridViewController()->gridItemsInSection(catalog.mainSection())) {
        titles << item->title();
        // Shown beneath the picture without the pointer over it.
        ASSERT_TRUE(item->titleLayer());
        EXPECT_FALSE(item->titleLayer()->isHidden());
        EXPECT_GT(item->titleLayer()->opacity(), 0.0);
    }
    titles.sort();
    EXPECT_EQ(titles, (QStringList{QStringLiteral("Blue"), QStringLiteral("Grey")}));

    // The mark is taken out of the file name only, not out of the folder's.
    catalog.setActiveCategory(1);
    EXPECT_EQ(contexts(catalog), QStringList{files.path(QStringLiteral("a-thumb/Star.png"))});
}

TEST(OVImageCatalog, WithoutCategoriesThereIsNothingToShow)
{
    CatalogBundle files;
    OVImageCatalog catalog(files.bundle.get());
    ASSERT_NE(catalog.view(), nullptr);
    catalog.layoutButtons();
    catalog.setActiveCategory(0);
    EXPECT_EQ(catalog.activeCategory(), -1);
    EXPECT_TRUE(catalog.buttonContainer()->subviews().isEmpty());
    // A category added later shows at once.
    catalog.addCategory(QStringLiteral("Backgrounds"), QStringLiteral("Backgrounds"));
    EXPECT_EQ(catalog.activeCategory(), 0);
    EXPECT_EQ(contexts(catalog).size(), 2);
}

TEST(OVImageCatalog, ACatalogWithoutItsViewSaysSo)
{
    CatalogBundle files;
    OVImageCatalog catalog(files.bundle.get());
    catalog.setNibName(QStringLiteral("NoSuchInterface"));
    RecordingDelegate delegate;
    Host host;
    pf::LogCapture log;
    catalog.showRight(true, host.focus, &delegate);
    EXPECT_TRUE(log.contains(QStringLiteral("Warning: Image Catalog could not load view!")));
    EXPECT_EQ(catalog.delegate(), nullptr);
}

TEST(OVImageCatalog, ChoosingHandsOverThePictureAndSlidesBack)
{
    letRunningAnimationsEnd();
    pf::SteppedClock clock;
    CatalogBundle files;
    OVImageCatalog catalog(files.bundle.get());
    catalog.addCategory(QStringLiteral("Backgrounds"), QStringLiteral("Backgrounds"));
    RecordingDelegate delegate, other;
    Host host;
    catalog.showRight(true, host.focus, &delegate);
    OVWindowDrawer* drawer = catalog.windowDrawer();
    ASSERT_NE(drawer, nullptr);
    EXPECT_TRUE(drawer->isOpen());
    EXPECT_EQ(catalog.delegate(), &delegate);
    EXPECT_TRUE(catalog.isRight());
    // Someone else's close leaves it open.
    catalog.closeForDelegate(&other);
    EXPECT_TRUE(drawer->isOpen());

    const QString grey = files.path(QStringLiteral("Backgrounds/ORV-B#001#Grey.png"));
    catalog.gridViewExecuteItemWithContext(catalog.gridViewController(), grey);
    EXPECT_EQ(delegate.chosen, QStringList{grey});
    EXPECT_EQ(delegate.closed, 1);
    EXPECT_FALSE(drawer->isOpen());
    EXPECT_EQ(catalog.delegate(), nullptr);
    clock.advance(5);
    EXPECT_EQ(drawer->loadedWindow()->parentWindow(), nullptr);
    EXPECT_FALSE(drawer->loadedWindow()->isVisible());

    // The same catalog opens again for another delegate.
    catalog.showRight(false, host.focus, &other);
    EXPECT_TRUE(drawer->isOpen());
    catalog.closeForDelegate(&other);
    EXPECT_EQ(other.closed, 1);
    EXPECT_EQ(catalog.delegate(), nullptr);
}

TEST(OVImageCatalog, EachCategoryKeepsItsScrollPosition)
{
    CatalogBundle files;
    for (int i = 0; i < 40; ++i)
        for (const char* folder : {"Backgrounds/", "a-thumb/"}) {
            const QString base =
                files.path(QString::fromLatin1(folder) + QStringLiteral("ORV-B#%1#Item%1").arg(100 + i));
            writePicture(base + QStringLiteral("-thumb.png"), Qt::darkGray);
            writePicture(base + QStringLiteral(".png"), Qt::darkGray);
        }
    OVImageCatalog catalog(files.bundle.get());
    catalog.addCategory(QStringLiteral("Backgrounds"), QStringLiteral("Backgrounds"));
    catalog.addCategory(QStringLiteral("Stars"), QStringLiteral("a-thumb"));
    ASSERT_NE(catalog.view(), nullptr);
    OVGridViewController* grid = catalog.gridViewController();
    catalog.changeGridSize(catalog.outlet<OVButton>(QStringLiteral("threeRows")));
    grid->refreshLayout(OVGridViewController::Instant);
    grid->setScrollPosition(0.75);
    const double first = grid->scrollPosition();
    ASSERT_GT(first, 0.5);
    catalog.setActiveCategory(1);
    grid->setScrollPosition(0.25);
    const double second = grid->scrollPosition();
    ASSERT_LT(second, 0.5);
    catalog.setActiveCategory(0);
    EXPECT_NEAR(grid->scrollPosition(), first, 1e-6);
    catalog.setActiveCategory(1);
    EXPECT_NEAR(grid->scrollPosition(), second, 1e-6);
}

TEST(OVWindowDrawer, SlidesOutOfTheRightEdgeAndFollowsTheParent)
{
    letRunningAnimationsEnd();
    pf::SteppedClock clock;
    Host host;
    OVWindowDrawer drawer;
    DrawerDelegate delegate;
    drawer.setDelegate(&delegate);
    auto* content = new pf::View(pf::Rect(0, 0, 200, 50));
    drawer.setContentView(content);
    const double duration = drawer.showOverView(host.focus);
    pf::Window* window = drawer.loadedWindow();
    const pf::Rect focus = host.focusOnScreen();
    EXPECT_EQ(window->parentWindow(), &host.window);
    EXPECT_EQ(window->frame(), pf::Rect(focus.maxX() - 1, focus.minY(), 1, 400));
    EXPECT_DOUBLE_EQ(duration, OVWindowDrawer::resizeAnimationTime(
                                   window->frame(), pf::Rect(focus.maxX() - 200, focus.minY(), 200, 400)));
    EXPECT_GT(duration, 0);
    clock.advance(duration + 0.1);
    EXPECT_EQ(window->frame(), pf::Rect(focus.maxX() - 200, focus.minY(), 200, 400));
    EXPECT_EQ(content->frame().height(), 400);

    // The parent grows: the drawer keeps to the focus view's right edge and height.
    host.window.setFrame(pf::Rect(100, 100, 900, 700));
    const pf::Rect grown = host.focusOnScreen();
    EXPECT_EQ(window->frame(), pf::Rect(grown.maxX() - 200, grown.minY(), 200, grown.height()));

    // A resize while it still slides out: it goes on to its full width at the new edge.
    drawer.hideDrawer();
    clock.advance(5);
    const double again = drawer.showOverView(host.focus);
    clock.advance(again / 2);
    host.window.setFrame(pf::Rect(100, 100, 800, 600));
    clock.advance(again + 0.1);
    const pf::Rect shrunk = host.focusOnScreen();
    EXPECT_EQ(window->frame(), pf::Rect(shrunk.maxX() - 200, shrunk.minY(), 200, shrunk.height()));

    drawer.hideDrawer();
    drawer.hideDrawer();
    EXPECT_EQ(delegate.hidden, 2);
    EXPECT_TRUE(drawer.isClosing());
    clock.advance(5);
    EXPECT_FALSE(drawer.isClosing());
    EXPECT_EQ(window->parentWindow(), nullptr);
    EXPECT_EQ(window->frame().width(), 1);
}

TEST(OVWindowDrawer, AutohideAndAParentThatCloses)
{
    letRunningAnimationsEnd();
    pf::SteppedClock clock;
    Host host;
    OVWindowDrawer drawer;
    drawer.setContentView(new pf::View(pf::Rect(0, 0, 200, 50)));
    // Without auto-hide losing the keyboard changes nothing.
    drawer.showOverView(host.focus);
    drawer.windowDidResignKey(drawer.loadedWindow());
    EXPECT_TRUE(drawer.isOpen());
    drawer.setAutohide(true);
    drawer.windowDidResignKey(drawer.loadedWindow());
    EXPECT_FALSE(drawer.isOpen());
    clock.advance(5);

    // Closing the parent takes the drawer away at once, with no close pending.
    drawer.showOverView(host.focus);
    host.window.close();
    EXPECT_FALSE(drawer.isOpen());
    EXPECT_FALSE(drawer.isClosing());
    EXPECT_EQ(drawer.loadedWindow()->parentWindow(), nullptr);
}
