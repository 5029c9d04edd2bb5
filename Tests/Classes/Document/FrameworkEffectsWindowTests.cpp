#include "Classes/Document/GMApplicationDelegate.h"
#include "Classes/Document/GMFrameworkEffectsTools.h"
#include "Classes/Document/GMFrameworkEffectsWindow.h"
#include "Classes/Frames/FramesLibrary.h"
#include "Classes/Frames/OVCropController.h"
#include "Classes/Frames/OVEffect.h"
#include "Classes/Frames/OVEffectPicker.h"
#include "Classes/Frames/OVEffectsCatalog.h"
#include "Classes/Frames/OVFilterPreview.h"
#include "Classes/Frames/OVFrameBuilder.h"
#include "Classes/Framework/Toolkit/OVButton.h"
#include "Classes/Framework/Toolkit/OVSlider.h"
#include "DocumentTestSupport.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/FileSystem.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/Image/RenderContext.h"
#include "Platform/UI/Event.h"
#include "Platform/UI/InterfaceRegistry.h"
#include "Platform/UI/Menu.h"
#include "Platform/UI/ScrollView.h"
#include "Platform/UI/ViewAnimator.h"
#include "Platform/UI/Window.h"
#include "Tests/PointerParking.h"

#include <QApplication>
#include <QCoreApplication>
#include <QImage>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>
#include <functional>
#include <gtest/gtest.h>

namespace {

pf::Image picture(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(200, 120, 60));
    return pf::Image::fromQImage(image);
}

QVariantMap describe(const QString& name, const QString& displayName)
{
    return {{QStringLiteral("name"), name}, {QStringLiteral("displayName"), displayName}};
}

class FrameworkEffectsWindowTest : public ::testing::Test
{
protected:
    OVEffectsCatalog catalog{{describe(QStringLiteral("OVDimmedBWFilter"), QStringLiteral("Dimmed")),
                              describe(QStringLiteral("OVRotateColorFilter"), QStringLiteral("Rotate"))}};
    OVEffectPicker picker{catalog};
};

TEST_F(FrameworkEffectsWindowTest, PictureIsFittedAndReplacedUndoably)
{
    struct Case
    {
        int width, height;
        double fittedWidth, fittedHeight;
    };
    for (const Case& c :
         {Case{2000, 1000, 1024, 512}, Case{600, 3000, 204.8, 1024}, Case{300, 200, 300, 200}}) {
        GMFrameworkEffectsWindow window(picture(c.width, c.height), &picker);
        EXPECT_FALSE(window.undoManager().canUndo()) << c.width << " x " << c.height;
        const pf::Rect extent = window.picture().extent();
        EXPECT_NEAR(extent.width(), c.fittedWidth, 1e-6) << c.width << " x " << c.height;
        EXPECT_NEAR(extent.height(), c.fittedHeight, 1e-6) << c.width << " x " << c.height;
        EXPECT_EQ(window.shownImage().size(), QSize(int(std::ceil(c.fittedWidth)), int(c.fittedHeight)));
    }
    GMFrameworkEffectsWindow window(picture(300, 200), &picker);
    window.setPicture(picture(100, 50));
    EXPECT_EQ(window.shownImage().size(), QSize(100, 50));
    QCoreApplication::processEvents();
    window.undoManager().undo();
    EXPECT_EQ(window.shownImage().size(), QSize(300, 200));
}

TEST_F(FrameworkEffectsWindowTest, WindowIsARegisteredInterfaceWithItsParts)
{
    GMFrameworkEffectsWindow window(picture(300, 200), &picker);
    ASSERT_TRUE(pf::InterfaceRegistry::hasInterface(QStringLiteral("GMFrameworkEffectsWindow")));
    EXPECT_EQ(window.addEffectButton()->title(), QStringLiteral("Add Effect…"));
    EXPECT_EQ(window.addEffectButton()->window(), window.window());
    EXPECT_EQ(window.effectPreview()->window(), window.window());

    // Loaded on its own, the interface holds every part the window works with.
    const auto loaded =
        pf::InterfaceRegistry::load(QStringLiteral("GMFrameworkEffectsWindow"), nullptr, pf::Bundle::main());
    ASSERT_TRUE(loaded);
    auto* built = loaded->outlet<pf::Window>(QStringLiteral("window"));
    ASSERT_TRUE(built);
    for (const char* outlet : {"pictureView", "columnView", "effectsScrollView", "addEffectButton",
                               "cropButton", "pictureButton", "effectPreview"}) {
        auto* widget = qobject_cast<QWidget*>(loaded->outlets.value(QString::fromLatin1(outlet)).data());
        ASSERT_TRUE(widget) << outlet;
        EXPECT_EQ(widget->window(), built) << outlet;
    }
    EXPECT_EQ(loaded->topLevelObjects, std::vector<QObject*>{built});
    delete built;

    // A builder under the same name that leaves parts out: the window still has all of its own.
    pf::InterfaceRegistry::registerInterface(QStringLiteral("GMFrameworkEffectsWindow"),
                                             [](QObject*, const pf::Bundle&) {
                                                 pf::Interface partial;
                                                 auto* window = new pf::Window(pf::Rect(0, 0, 200, 100));
                                                 partial.outlets.insert(QStringLiteral("window"), window);
                                                 partial.topLevelObjects = {window};
                                                 return partial;
                                             });
    {
        pf::LogCapture log;
        GMFrameworkEffectsWindow another(picture(300, 200), &picker);
        EXPECT_TRUE(another.cropButton());
        EXPECT_TRUE(another.effectPreview());
        EXPECT_TRUE(
            log.contains(QStringLiteral("Warning: The interface \"GMFrameworkEffectsWindow\" lacks part "
                                        "of the window; the built-in one is used")));
    }
    pf::InterfaceRegistry::registerInterface(QStringLiteral("GMFrameworkEffectsWindow"),
                                             &GMFrameworkEffectsWindow::makeInterface);
}

TEST_F(FrameworkEffectsWindowTest, AddedEffectsChainToTheWindowAndUndo)
{
    GMFrameworkEffectsWindow window(picture(300, 200), &picker);
    const QImage plain = window.shownImage();
    window.appendEffect(catalog.effectForDisplayName(QStringLiteral("Dimmed")));
    QCoreApplication::processEvents();
    // The shipped effect: its settings view edits the angle.
    window.appendEffect(
        OVEffectsCatalog::sharedEffectsCatalog().effectForDisplayName(QStringLiteral("Rotate Color")));
    QCoreApplication::processEvents();
    ASSERT_EQ(window.effects().size(), 2u);
    EXPECT_EQ(window.effects()[0]->successor(), window.effects()[1].get());
    EXPECT_EQ(window.effects()[1]->successor(), &window);
    EXPECT_EQ(window.effects()[1]->undoManager(), &window.undoManager());
    const QImage both = window.shownImage();
    EXPECT_NE(both, plain);

    // A setting of the last effect, then its removal and return: the setting comes back with it.
    OVEffect* rotate = window.effects()[1].get();
    window.effects()[1]->settingsView();
    rotate->setValue(QStringLiteral("inputAngle"), 0.25);
    QCoreApplication::processEvents();
    const QImage turned = window.shownImage();
    window.undoManager().undo(); // the angle
    window.undoManager().undo(); // the effect
    EXPECT_EQ(window.effects().size(), 1u);
    EXPECT_EQ(window.effects()[0]->successor(), &window);
    window.undoManager().redo();
    ASSERT_EQ(window.effects().size(), 2u);
    EXPECT_EQ(window.effects()[1].get(), rotate);
    window.undoManager().redo();
    EXPECT_DOUBLE_EQ(rotate->settingsValueForKey(QStringLiteral("inputAngle")).toDouble(), 0.25);
    EXPECT_EQ(window.shownImage(), turned);
    window.undoManager().undo();
    window.undoManager().undo();
    window.undoManager().undo();
    EXPECT_TRUE(window.effects().empty());
    EXPECT_EQ(window.shownImage(), plain);
}

// The switch in an effect's header shows the effect's state after an undo or a redo of a click on it.
TEST_F(FrameworkEffectsWindowTest, AHeadersSwitchFollowsUndoAndRedo)
{
    GMFrameworkEffectsWindow window(picture(300, 200), &picker);
    window.appendEffect(catalog.effectForDisplayName(QStringLiteral("Dimmed")));
    QCoreApplication::processEvents();
    OVButton* on = window.enableSwitch(0);
    ASSERT_TRUE(on);
    EXPECT_TRUE(on->state());
    const pf::Point inside = on->convertPointToView(pf::Point(10, 10), nullptr);
    for (pf::EventType type : {pf::EventType::LeftMouseDown, pf::EventType::LeftMouseUp})
        on->deliverMouseEvent(pf::Event::mouseEvent(type, inside, 0, 0, window.window(), 1));
    EXPECT_FALSE(window.effects()[0]->isEnabled());
    EXPECT_FALSE(on->state());
    QCoreApplication::processEvents();
    window.undoManager().undo();
    EXPECT_TRUE(window.effects()[0]->isEnabled());
    EXPECT_TRUE(on->state()) << "the switch shows the undone click";
    window.undoManager().redo();
    EXPECT_FALSE(window.effects()[0]->isEnabled());
    EXPECT_FALSE(on->state());
}

// The highlighted effect's preview shows its whole output: a frame lies around the sample, outside its
// extent, and was cut off with only the sample showing.
TEST_F(FrameworkEffectsWindowTest, TheHoverPreviewShowsTheFrameAroundTheSample)
{
    FramesLibrary::registerAll();
    GMFrameworkEffectsWindow window(picture(300, 200), &picker);
    for (const char* name : {"Textured Frame", "Shaped Border"}) {
        SCOPED_TRACE(name);
        window.previewEffect(
            OVEffectsCatalog::sharedEffectsCatalog().effectForDisplayName(QString::fromLatin1(name)));
        OVFilterPreview* preview = window.effectPreview();
        const pf::Image output = preview->outputImage();
        ASSERT_FALSE(output.isNull());
        ASSERT_TRUE(output.extent().width() > preview->bounds().width()) << "the border lies outside";
        const QImage shown = preview->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const auto drawn = [&](const pf::Rect& source) {
            return pf::RenderContext::shared()
                ->renderToQImage(output, source)
                .scaled(shown.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                .convertToFormat(QImage::Format_RGB32);
        };
        const auto difference = [&](const QImage& other) {
            double sum = 0;
            for (int y = 2; y < shown.height() - 2; ++y)
                for (int x = 2; x < shown.width() - 2; ++x)
                    sum += std::abs(qGray(shown.pixel(x, y)) - qGray(other.pixel(x, y)));
            return sum / double(shown.width() * shown.height());
        };
        EXPECT_LT(difference(drawn(output.extent())), difference(drawn(preview->bounds())));
        window.previewEffect(nullptr);
    }
}

// How much of a view shows through the views around it, as a share of its height.
double shownShare(pf::View* view)
{
    return view->isVisible() ? view->visibleRect().height() / view->bounds().height() : 0;
}

// A classic wheel's notches at a point of the window, given to the widget there as the windowing
// system gives them.
void turnWheel(pf::Window* window, QPoint at, int notches)
{
    QWidget* under = window->childAt(at);
    ASSERT_TRUE(under);
    const QPointF local = under->mapFrom(window, QPointF(at));
    QWheelEvent wheel(local, under->mapToGlobal(local), QPoint(), QPoint(0, 120 * notches), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(under, &wheel);
}

// Twelve effects overflow the column at the window's size: each one added is scrolled into view, the
// wheel over the column brings the first back, and the last one's control, scrolled to again, is moved
// by a click and reaches the picture.
TEST_F(FrameworkEffectsWindowTest, TheColumnScrollsToEveryEffectOfATallStack)
{
    GMFrameworkEffectsWindow window(picture(300, 200), &picker);
    pf::Window* shown = window.window();
    shown->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(shown));
    // None of them takes the colour away, so that the last one's hue shows.
    const char* names[] = {"Reflection",   "Drop Shadow", "Replace Color",     "Gradient Multiply",
                           "Rotate Color", "Reflection",  "Drop Shadow",       "Replace Color",
                           "Rotate Color", "Drop Shadow", "Gradient Multiply", "Rotate Color"};
    for (const char* name : names) {
        window.appendEffect(
            OVEffectsCatalog::sharedEffectsCatalog().effectForDisplayName(QString::fromLatin1(name)));
        QCoreApplication::processEvents();
        EXPECT_DOUBLE_EQ(shownShare(window.effects().back()->settingsView()), 1.0)
            << name << " is shown when added";
    }
    ASSERT_EQ(window.effects().size(), 12u);
    pf::View* first = window.effects().front()->settingsView();
    pf::View* last = window.effects().back()->settingsView();
    EXPECT_EQ(shownShare(first), 0.0) << "twelve effects are more than the column holds";

    pf::ScrollView* scroll = window.effectsScrollView();
    // In the column's margin, beside the rows' labels (a slider under the pointer takes the wheel).
    const QPoint column = scroll->mapTo(shown, QPoint(4, scroll->height() / 2));
    for (int turn = 0; turn < 400 && shownShare(first) < 1; ++turn)
        turnWheel(shown, column, 1);
    EXPECT_DOUBLE_EQ(shownShare(first), 1.0) << "the wheel brings the first effect back";
    EXPECT_EQ(shownShare(last), 0.0);
    for (int turn = 0; turn < 400 && shownShare(last) < 1; ++turn)
        turnWheel(shown, column, -1);
    ASSERT_DOUBLE_EQ(shownShare(last), 1.0) << "and the last one again";

    auto* hue = qobject_cast<OVSlider*>(window.effects().back()->settingsControls().value(0));
    ASSERT_TRUE(hue);
    const QVariantMap before = window.effects().back()->settings();
    const QImage picture = window.shownImage();
    QTest::mouseClick(shown->windowHandle(), Qt::LeftButton, {},
                      hue->mapTo(shown, QPoint(hue->width() * 9 / 10, hue->height() / 2)));
    QCoreApplication::processEvents();
    EXPECT_NE(window.effects().back()->settings(), before) << "the click moved the hue";
    EXPECT_NE(window.shownImage(), picture) << "and the picture shows it";
}

TEST_F(FrameworkEffectsWindowTest, PickerPreviewsAndAppendsAndOutlivesTheWindow)
{
    auto window = std::make_unique<GMFrameworkEffectsWindow>(picture(300, 200), &picker);
    window->window()->show();
    window->showEffectPicker();
    pf::Menu* menu = picker.listMenu();
    QCoreApplication::processEvents();
    menu->setActiveAction(menu->actions().at(0));
    QCoreApplication::processEvents();
    EXPECT_TRUE(window->effectPreview()->isVisibleTo(window->window()));
    EXPECT_FALSE(window->effectPreview()->outputImage().isNull());
    menu->actions().at(0)->trigger();
    QCoreApplication::processEvents();
    EXPECT_FALSE(window->effectPreview()->isVisibleTo(window->window()));
    ASSERT_EQ(window->effects().size(), 1u);
    EXPECT_EQ(window->effects()[0]->name(), QStringLiteral("OVDimmedBWFilter"));

    // Gone while the menu is open: the close report reaches nobody.
    window->showEffectPicker();
    QCoreApplication::processEvents();
    window.reset();
    menu->hide();
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
    EXPECT_FALSE(picker.isRunning());
}

TEST_F(FrameworkEffectsWindowTest, CropAndPictureButtonsCallTheirHandlers)
{
    // An application delegate made by an earlier test installs the real handlers.
    GMFrameworkEffectsWindow::setCropHandler(nullptr);
    GMFrameworkEffectsWindow::setPictureHandler(nullptr);
    GMFrameworkEffectsWindow window(picture(300, 200), &picker);
    EXPECT_FALSE(window.cropButton()->isEnabled());
    EXPECT_FALSE(window.pictureButton()->isEnabled());
    int crops = 0;
    GMFrameworkEffectsWindow::setCropHandler([&](GMFrameworkEffectsWindow& w) {
        ++crops;
        w.setPicture(picture(150, 100));
    });
    EXPECT_TRUE(window.cropButton()->isEnabled());
    window.cropButton()->sendAction();
    EXPECT_EQ(crops, 1);
    EXPECT_EQ(window.shownImage().size(), QSize(150, 100));
    GMFrameworkEffectsWindow::setCropHandler(nullptr);
    EXPECT_FALSE(window.cropButton()->isEnabled());
}

TEST_F(FrameworkEffectsWindowTest, AnAcceptedCropKeepsThePartChosenInTheDialog)
{
    // Three bands, top to bottom: the crop's rectangle is y-up, the dialog's picture counts rows
    // from the top, and the chain's input is y-up again.
    QImage bands(300, 300, QImage::Format_ARGB32_Premultiplied);
    const QColor red(220, 0, 0), green(0, 200, 0), blue(0, 0, 220);
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 300; ++x)
            bands.setPixelColor(x, y, y < 100 ? red : y < 200 ? green : blue);
    GMFrameworkEffectsWindow window(pf::Image::fromQImage(bands), &picker);
    GMFrameworkEffectsTools::install();
    GMFrameworkEffectsTools& tools = GMFrameworkEffectsTools::shared();
    window.cropButton()->sendAction();
    ASSERT_TRUE(tools.cropController() && tools.cropController()->isSheetUp());
    EXPECT_DOUBLE_EQ(tools.cropController()->cropRatio(), 1.5);
    tools.cropController()->setCropRect(pf::Rect(0, 0, 1, 2.0 / 3.0)); // the lower two thirds
    tools.cropController()->endSheet(true);
    QCoreApplication::processEvents();
    const QImage kept = window.shownImage();
    ASSERT_EQ(kept.size(), QSize(300, 200));
    EXPECT_EQ(kept.pixelColor(150, 5).rgb(), green.rgb());
    EXPECT_EQ(kept.pixelColor(150, 195).rgb(), blue.rgb());
    window.undoManager().undo();
    EXPECT_EQ(window.shownImage().size(), QSize(300, 300));
    GMFrameworkEffectsWindow::setCropHandler(nullptr);
    GMFrameworkEffectsWindow::setPictureHandler(nullptr);
}

// A button of the bar that opened a menu or a sheet shows no highlight once that closes with the pointer
// elsewhere (it kept the highlight of the click that opened it): clicked as a person clicks, the pointer
// (a display's own, where there is one) moved away over the menu or the sheet while it is up.
TEST_F(FrameworkEffectsWindowTest, BarButtonsLetGoOfTheirHighlightWhenTheirMenuOrSheetCloses)
{
    GMFrameworkEffectsWindow window(picture(300, 200), &picker);
    GMFrameworkEffectsTools::install();
    pf::Window* shown = window.window();
    shown->makeKeyAndOrderFront();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(shown));
    GMFrameworkEffectsTools& tools = GMFrameworkEffectsTools::shared();
    struct Case
    {
        OVButton* button;
        std::function<bool()> isUp;
        std::function<void()> close;
    };
    const Case cases[] = {
        {window.addEffectButton(), [&] { return picker.listMenu()->isVisible(); },
         [&] { picker.listMenu()->hide(); }},
        {window.cropButton(), [&] { return tools.cropController() && tools.cropController()->isSheetUp(); },
         [&] { tools.cropController()->endSheet(false); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.button->title().toStdString());
        const QPoint on = c.button->mapTo(shown, QPoint(20, 11));
        movePointer(shown->windowHandle(), on);
        QTest::mouseClick(shown->windowHandle(), Qt::LeftButton, {}, on);
        QCoreApplication::processEvents();
        ASSERT_TRUE(c.isUp()) << "the click opened it";
        // The pointer goes to the picture, far from the bar, while the menu or sheet is up.
        movePointer(shown->windowHandle(), QPoint(500, 200));
        c.close();
        for (int turn = 0; turn < 3; ++turn)
            QCoreApplication::processEvents();
        EXPECT_EQ(c.button->buttonState(), OVButton::Normal);
    }
    GMFrameworkEffectsWindow::setCropHandler(nullptr);
    GMFrameworkEffectsWindow::setPictureHandler(nullptr);
}

} // namespace

// With the frame builder in front, Edit ▸ Undo and its shortcut take back the builder's edits (they
// were grey: the menu knew documents and the effects window only).
TEST(FrameBuilderInFront, EditUndoAndItsShortcutTakeBackTheBuildersEdits)
{
    GMApplicationDelegate delegate;
    delegate.action(QStringLiteral("Frame Builder…"))->trigger();
    OVFrameBuilder& builder = OVFrameBuilder::sharedFrameBuilder();
    pf::Window* window = builder.window();
    ASSERT_TRUE(window);
    ASSERT_TRUE(doctest::spinUntil([&] { return window->isVisible(); }, 5000));
    window->makeKeyAndOrderFront();
    window->activateWindow();
    doctest::spinUntil([&] { return QApplication::activeWindow() == window; }, 2000);
    builder.addUserFrame();
    QCoreApplication::processEvents(); // each step an undo group of its own, as each click makes one
    ASSERT_TRUE(builder.currentDescription() && builder.currentDescription()->isEditable());
    const QString before = builder.currentDescription()->textureName();

    // Two edits, chosen from the texture pop-up as a click chooses.
    const auto chooseTexture = [&](const QString& start) {
        for (QAction* item : builder.textureButton()->menu()->actions())
            if (pf::Menu::title(item).startsWith(start)) {
                item->trigger();
                return true;
            }
        return false;
    };
    ASSERT_TRUE(chooseTexture(QStringLiteral("Walnut")));
    const QString walnut = builder.currentDescription()->textureName();
    QCoreApplication::processEvents();
    ASSERT_TRUE(chooseTexture(QStringLiteral("Cherry")));
    ASSERT_NE(builder.currentDescription()->textureName(), walnut);
    QCoreApplication::processEvents();

    QAction* undo = doctest::menuItem(window, QStringLiteral("Edit"), QStringLiteral("Undo"));
    ASSERT_TRUE(undo);
    EXPECT_TRUE(undo->isEnabled()) << "Edit ▸ Undo applies to the builder";
    undo->trigger();
    EXPECT_EQ(builder.currentDescription()->textureName(), walnut);
    QCoreApplication::processEvents();
    QTest::keyClick(window, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(builder.currentDescription()->textureName(), before) << "Ctrl+Z takes back the one before";
    QAction* redo = doctest::menuItem(window, QStringLiteral("Edit"), QStringLiteral("Redo"));
    ASSERT_TRUE(redo);
    EXPECT_TRUE(redo->isEnabled());
    redo->trigger();
    EXPECT_EQ(builder.currentDescription()->textureName(), walnut);
    window->close();
    // The shade rows' animations end before the next test, which may step a clock of its own.
    doctest::spinUntil([] { return pf::ViewAnimator::runningCount() == 0; }, 5000);
}

// Extras ▸ Framework Effects… chosen again, from the effects window or from the photo's, brings back the
// photo's window with its effects (it made a new, empty one and let the stack go); closing the window
// keeps them too, and another photo gets a window of its own.
TEST(FrameworkEffectsInFront, ChoosingTheMenuItemAgainKeepsThePhotosStackOfEffects)
{
    QTemporaryDir dir;
    const QString previous = pf::FileSystem::applicationSupportDirectory();
    pf::FileSystem::setApplicationSupportDirectoryForTesting(dir.filePath("app"));
    pf::UserDefaults::standard().removeObject("RecentDocuments");
    GMDocument::setWindowControllerFactory(
        [](GMDocument&) { return std::make_shared<GMPreviewWindowController>(true); });
    {
        GMApplicationDelegate delegate;
        DocumentHandler& handler = doctest::capableHandler(delegate);
        std::vector<std::shared_ptr<pf::Document>> photos;
        for (const char* name : {"first.png", "second.png"}) {
            const QString path = dir.filePath(QString::fromLatin1(name));
            QImage image(60, 40, QImage::Format_RGB32);
            image.fill(QColor(200, 90, 60));
            ASSERT_TRUE(image.save(path));
            QString error;
            photos.push_back(handler.openDocumentWithContentsOfURL(path, true, &error));
            ASSERT_TRUE(photos.back()) << error.toStdString();
            ASSERT_TRUE(doctest::spinUntil(
                [&] { return photos.back()->window() && photos.back()->window()->isVisible(); }));
        }
        const auto front = [](pf::Window* window) {
            window->makeKeyAndOrderFront();
            window->activateWindow();
            doctest::spinUntil([&] { return pf::Window::keyWindow() == window; }, 2000);
        };
        // The item chosen from the menu bar of the window in front, as a click chooses it.
        const auto choose = [](pf::Window* from) {
            QAction* item =
                doctest::menuItem(from, QStringLiteral("Extras"), QStringLiteral("Framework Effects…"));
            if (!item)
                return static_cast<GMFrameworkEffectsWindow*>(nullptr);
            item->trigger();
            QCoreApplication::processEvents();
            return GMFrameworkEffectsWindow::shown();
        };

        front(photos[0]->window());
        GMFrameworkEffectsWindow* effects = choose(photos[0]->window());
        ASSERT_TRUE(effects);
        ASSERT_FALSE(effects->output().isNull()) << "the photo's picture";
        for (const char* name : {"Rotate Color", "Dimmed Black and White"}) {
            effects->appendEffect(
                OVEffectsCatalog::sharedEffectsCatalog().effectForDisplayName(QString::fromLatin1(name)));
            QCoreApplication::processEvents();
        }
        const QImage stacked = effects->shownImage();

        struct Again
        {
            const char* how;
            std::function<pf::Window*()> from;
        };
        const Again agains[] = {
            {"from the effects window itself", [&] { return effects->window(); }},
            {"from the photo's window", [&] { return photos[0]->window(); }},
            {"after the effects window was closed",
             [&] {
                 effects->window()->close();
                 return photos[0]->window();
             }},
        };
        for (const Again& again : agains) {
            SCOPED_TRACE(again.how);
            pf::Window* from = again.from();
            front(from);
            EXPECT_EQ(choose(from), effects) << "the same window";
            EXPECT_TRUE(effects->window()->isVisible());
            ASSERT_EQ(effects->effects().size(), 2u) << "with its effects";
            EXPECT_EQ(effects->shownImage(), stacked);
            EXPECT_TRUE(effects->undoManager().canUndo());
        }

        front(photos[1]->window());
        GMFrameworkEffectsWindow* other = choose(photos[1]->window());
        ASSERT_TRUE(other);
        EXPECT_NE(other, effects) << "another photo, another window";
        EXPECT_TRUE(other->effects().empty());
        EXPECT_EQ(effects->effects().size(), 2u);
        for (const auto& photo : photos)
            photo->close();
        doctest::spinUntil([] { return false; }, 300);
    }
    GMDocument::setWindowControllerFactory({});
    pf::FileSystem::setApplicationSupportDirectoryForTesting(previous);
}
