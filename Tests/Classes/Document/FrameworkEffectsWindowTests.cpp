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
#include "Classes/Frames/OVFrameCatalog.h"
#include "Classes/Frames/OVImageCatalog.h"
#include "Classes/Frames/OVTexturedFrameFilter.h"
#include "Classes/Frames/OVWindowDrawer.h"
#include "Classes/Framework/Toolkit/OVButton.h"
#include "Classes/Framework/Toolkit/OVGridItem.h"
#include "Classes/Framework/Toolkit/OVGridViewController.h"
#include "Classes/Framework/Toolkit/OVPopupButton.h"
#include "Classes/Framework/Toolkit/OVSlider.h"
#include "DocumentTestSupport.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/FileSystem.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/Image/RenderContext.h"
#include "Platform/UI/ClipView.h"
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
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>
#include <QtTest/qtestspontaneevent.h>
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

// Where the chain gives nothing to show over a picture, the window says that the effects could not draw
// it, not that there is no photo.
TEST_F(FrameworkEffectsWindowTest, AnOutputThatCannotBeShownIsSaidSo)
{
    GMFrameworkEffectsWindow window(pf::Image(), &picker);
    const QString noPhoto = window.pictureMessage();
    EXPECT_TRUE(noPhoto.startsWith(QStringLiteral("No picture"))) << noPhoto.toStdString();
    window.setPhoto(picture(300, 200));
    window.setInputImage(pf::Image::constantColor(pf::Color(1, 0, 0, 1))); // no bounds: nothing to show
    EXPECT_TRUE(window.shownImage().isNull());
    EXPECT_NE(window.pictureMessage(), noPhoto);
    EXPECT_TRUE(window.pictureMessage().contains(QStringLiteral("could not draw")))
        << window.pictureMessage().toStdString();
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

// The same as the windowing system gives them: to the window, found under the pointer there and passed
// on to the parents of a widget that leaves it.
void turnWheelAsTheSystemDoes(pf::Window* window, QPoint at, int notches)
{
    QWheelEvent wheel(QPointF(at), window->mapToGlobal(QPointF(at)), QPoint(), QPoint(0, 120 * notches),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    // Delivered as the system delivers it (a sent event is never spontaneous, and only a spontaneous
    // one is passed on to the parents of a widget that leaves it).
    QSpontaneKeyEvent::setSpontaneous(&wheel);
    QApplication::instance()->notify(window->windowHandle(), &wheel);
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
    // In the column's margin, beside the rows' labels (a dial under the pointer takes the wheel).
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

// The wheel over a slider in the column scrolls the column, as over the rest of it: it nudged the
// slider by a step too small to see and recorded a change to undo.
TEST_F(FrameworkEffectsWindowTest, TheWheelOverASliderScrollsTheColumn)
{
    GMFrameworkEffectsWindow window(picture(300, 200), &picker);
    pf::Window* shown = window.window();
    shown->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(shown));
    for (const char* name : {"Reflection", "Drop Shadow", "Replace Color", "Reflection", "Drop Shadow",
                             "Replace Color", "Rotate Color", "Keep Color"}) {
        window.appendEffect(
            OVEffectsCatalog::sharedEffectsCatalog().effectForDisplayName(QString::fromLatin1(name)));
        QCoreApplication::processEvents();
    }
    OVEffect& last = *window.effects().back();
    OVSlider* slider = nullptr;
    for (QWidget* control : last.settingsControls())
        if (!slider)
            slider = qobject_cast<OVSlider*>(control);
    ASSERT_TRUE(slider);
    ASSERT_DOUBLE_EQ(shownShare(last.settingsView()), 1.0);
    const QVariantMap settings = last.settings();
    const QString step = window.undoManager().undoActionName();
    pf::ScrollView* scroll = window.effectsScrollView();
    const double before = scroll->contentView()->bounds().minY();
    // Up, over the slider's track at a third of its length, beside its knob.
    for (int turn = 0; turn < 3; ++turn)
        turnWheelAsTheSystemDoes(shown,
                                 slider->mapTo(shown, QPoint(slider->width() / 3, slider->height() / 2)), 1);
    QCoreApplication::processEvents();
    EXPECT_NE(scroll->contentView()->bounds().minY(), before) << "the column scrolled";
    EXPECT_EQ(last.settings(), settings) << "the setting is as it was";
    EXPECT_EQ(window.undoManager().undoActionName().toStdString(), step.toStdString())
        << "and no change was recorded";
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

// A button of the bar that opened a menu, a sheet or a drawer shows no highlight once it closes with
// the pointer elsewhere: clicked as a person clicks, and closed as a person closes it (an effect chosen
// in the menu, the sheet's own Cancel and OK, a picture chosen in the drawer), the pointer (a
// display's own, where there is one) moved there. Their skin is the switches' and a click left them
// switched on, drawn highlighted.
TEST_F(FrameworkEffectsWindowTest, BarButtonsLetGoOfTheirHighlightWhenTheirMenuOrSheetCloses)
{
    GMFrameworkEffectsWindow window(picture(300, 200), &picker);
    GMFrameworkEffectsTools::install();
    pf::Window* shown = window.window();
    shown->makeKeyAndOrderFront();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(shown));
    GMFrameworkEffectsTools& tools = GMFrameworkEffectsTools::shared();
    OVImageCatalog& pictures = OVImageCatalog::sharedImageCatalog();
    const auto clickIn = [](QWidget* widget, QPoint at) {
        QWidget* top = widget->window();
        const QPoint local = widget->mapTo(top, at);
        movePointer(top->windowHandle(), local);
        QTest::mouseClick(top->windowHandle(), Qt::LeftButton, {}, local);
    };
    const auto sheetButton = [&](const char* outlet) {
        return [&tools, outlet, &clickIn] {
            OVButton* button = tools.cropController()->outlet<OVButton>(QString::fromLatin1(outlet));
            ASSERT_TRUE(button);
            clickIn(button, QPoint(45, 14));
        };
    };
    struct Case
    {
        const char* how;
        OVButton* button;
        std::function<bool()> isUp;
        std::function<void()> close;
    };
    const Case cases[] = {
        {"an effect chosen in the menu", window.addEffectButton(),
         [&] { return picker.listMenu()->isVisible(); },
         [&] {
             pf::Menu* menu = picker.listMenu();
             QAction* item = menu->actions().at(1);
             clickIn(menu, menu->actionGeometry(item).center());
         }},
        {"the sheet's Cancel", window.cropButton(),
         [&] { return tools.cropController() && tools.cropController()->isSheetUp(); },
         sheetButton("cancelButton")},
        {"the sheet's OK", window.cropButton(),
         [&] { return tools.cropController() && tools.cropController()->isSheetUp(); },
         sheetButton("okButton")},
        {"a picture chosen in the drawer", window.pictureButton(),
         [&] { return pictures.windowDrawer() && pictures.windowDrawer()->isOpen(); },
         [&] {
             doctest::spinUntil(
                 [&] {
                     return !pictures.gridViewController()
                                 ->gridItemsInSection(pictures.mainSection())
                                 .isEmpty();
                 },
                 5000);
             const QList<OVGridItem*> items =
                 pictures.gridViewController()->gridItemsInSection(pictures.mainSection());
             ASSERT_FALSE(items.isEmpty());
             clickIn(items.front(), items.front()->rect().center());
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        const QPoint on = c.button->mapTo(shown, QPoint(20, 11));
        movePointer(shown->windowHandle(), on);
        QTest::mouseClick(shown->windowHandle(), Qt::LeftButton, {}, on);
        ASSERT_TRUE(doctest::spinUntil(c.isUp, 5000)) << "the click opened it";
        doctest::spinUntil([] { return false; }, 300);
        c.close();
        ASSERT_TRUE(doctest::spinUntil([&] { return !c.isUp(); }, 5000)) << "closed";
        for (int turn = 0; turn < 3; ++turn)
            QCoreApplication::processEvents();
        EXPECT_EQ(c.button->buttonState(), OVButton::Normal);
        EXPECT_FALSE(c.button->state()) << "a push button, not a switch left on";
    }
    GMFrameworkEffectsWindow::setCropHandler(nullptr);
    GMFrameworkEffectsWindow::setPictureHandler(nullptr);
}

// The Frame pop-up of a Textured Frame in the window keeps every frame to choose from, and shows the
// frame the effect draws, after the builder's buttons change the catalog: it was emptied (its effect
// could never get another frame) when a frame was duplicated, and again when one was removed.
TEST_F(FrameworkEffectsWindowTest, TheFramePopUpKeepsItsChoicesWhenTheBuilderChangesTheCatalog)
{
    FramesLibrary::registerAll();
    OVFrameCatalog& user = OVFrameCatalog::sharedUserFrameCatalog();
    const auto emptyUserCatalog = [&] {
        while (!user.frameIDs().isEmpty())
            user.removeFrameAtIndex(0);
    };
    emptyUserCatalog();
    GMFrameworkEffectsWindow window(picture(300, 200), &picker);
    const auto addFrame = [&] {
        window.appendEffect(
            OVEffectsCatalog::sharedEffectsCatalog().effectForDisplayName(QStringLiteral("Textured Frame")));
        QCoreApplication::processEvents();
        OVEffect* effect = window.effects().back().get();
        for (QWidget* control : effect->settingsControls())
            if (auto* popup = qobject_cast<OVPopupButton*>(control))
                return std::pair{effect, popup};
        return std::pair{effect, static_cast<OVPopupButton*>(nullptr)};
    };
    const auto [first, firstPopup] = addFrame();
    ASSERT_TRUE(firstPopup);
    const QString drawn = first->settingsValueForKey(QStringLiteral("inputFrameName")).toString();
    const QString shown = pf::Menu::title(firstPopup->selectedItem());
    ASSERT_FALSE(shown.isEmpty());
    const qsizetype offered = firstPopup->menu()->actions().size();

    OVFrameBuilder builder;
    pf::Window* builderWindow = builder.window();
    ASSERT_TRUE(builderWindow);
    builderWindow->show();
    // "Wood - Walnut" clicked in the builder's list, then Duplicate.
    QTableWidget* list = builder.frameList();
    int walnut = -1;
    for (int row = 0; row < list->rowCount(); ++row)
        if (list->item(row, 0) && list->item(row, 0)->text() == QLatin1String("Wood - Walnut"))
            walnut = row;
    ASSERT_GE(walnut, 0);
    list->scrollToItem(list->item(walnut, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(walnut, 0)).center());
    ASSERT_EQ(builder.selectedRow(), walnut);
    QTest::mouseClick(builder.duplicateFrameButton(), Qt::LeftButton);
    QCoreApplication::processEvents();
    ASSERT_EQ(user.frameIDs().size(), 1);
    const QString copy = user.frameWithName(user.frameIDs().front())->name();

    // A second frame effect added between the changes, which the removal must leave as sound.
    const auto [second, secondPopup] = addFrame();
    ASSERT_TRUE(secondPopup);
    QTest::mouseClick(builder.removeFrameButton(), Qt::LeftButton);
    QCoreApplication::processEvents();
    ASSERT_TRUE(user.frameIDs().isEmpty());

    for (const auto& [effect, popup] : {std::pair{first, firstPopup}, std::pair{second, secondPopup}}) {
        SCOPED_TRACE(effect == first ? "added before the duplicate" : "added between");
        EXPECT_EQ(popup->menu()->actions().size(), offered) << "every frame is offered again";
        EXPECT_EQ(pf::Menu::title(popup->selectedItem()), shown) << "the frame drawn is shown";
        EXPECT_EQ(effect->settingsValueForKey(QStringLiteral("inputFrameName")).toString(), drawn);
    }
    // Another frame chosen from the pop-up, as a click chooses: the effect takes it.
    QAction* oval = nullptr;
    for (QAction* item : firstPopup->menu()->actions())
        if (pf::Menu::title(item) == QLatin1String("Walnut Oval Wood")) // under the header "Wood"
            oval = item;
    ASSERT_TRUE(oval);
    oval->trigger();
    QCoreApplication::processEvents();
    EXPECT_EQ(firstPopup->selectedItem(), oval);
    EXPECT_EQ(dynamic_cast<OVTexturedFrameFilter*>(first->filter())->frameDescription()->name(),
              QStringLiteral("Wood - Walnut Oval"));
    EXPECT_NE(copy, QString());
    builderWindow->close();
    emptyUserCatalog();
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

namespace {

// The application with photos opened through its document handler (each in a live preview window) and
// Extras ▸ Framework Effects… chosen from a window's menu bar, as a click chooses it.
class FrameworkEffectsOfPhotos : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_previousSupport = pf::FileSystem::applicationSupportDirectory();
        pf::FileSystem::setApplicationSupportDirectoryForTesting(m_dir.filePath("app"));
        pf::UserDefaults::standard().removeObject("RecentDocuments");
        GMDocument::setWindowControllerFactory(
            [](GMDocument&) { return std::make_shared<GMPreviewWindowController>(true); });
        m_delegate = std::make_unique<GMApplicationDelegate>();
        m_handler = &doctest::capableHandler(*m_delegate);
    }
    void TearDown() override
    {
        for (const auto& document : std::vector(m_handler->documents()))
            document->close();
        doctest::spinUntil([] { return false; }, 200);
        m_delegate.reset();
        GMDocument::setWindowControllerFactory({});
        pf::FileSystem::setApplicationSupportDirectoryForTesting(m_previousSupport);
    }

    QString writePhoto(const QString& name, int width, int height)
    {
        const QString path = m_dir.filePath(name);
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(QColor(200, 90, 60));
        EXPECT_TRUE(image.save(path));
        return path;
    }
    // Opened with its window; `waitForPhoto` false returns at once, while a large photo still opens.
    std::shared_ptr<GMDocument> open(const QString& path, bool waitForPhoto = true)
    {
        QString error;
        auto document = std::dynamic_pointer_cast<GMDocument>(
            m_handler->openDocumentWithContentsOfURL(path, true, &error));
        EXPECT_TRUE(document) << error.toStdString();
        if (document && waitForPhoto) {
            EXPECT_TRUE(doctest::spinUntil([&] {
                return !document->isOpening() && document->window() && document->window()->isVisible();
            }));
        }
        return document;
    }
    static void front(pf::Window* window)
    {
        window->show();
        window->makeKeyAndOrderFront();
        window->activateWindow();
        doctest::spinUntil([&] { return pf::Window::keyWindow() == window; }, 2000);
    }
    static GMFrameworkEffectsWindow* choose(pf::Window* from)
    {
        QAction* item =
            doctest::menuItem(from, QStringLiteral("Extras"), QStringLiteral("Framework Effects…"));
        if (!item)
            return nullptr;
        item->trigger();
        QCoreApplication::processEvents();
        return GMFrameworkEffectsWindow::shown();
    }
    // The photo with a grey layer painted over all of it, as a stroke of an effect that takes the
    // colour away.
    static void paintGrey(GMDocument& photo)
    {
        const auto chain = photo.windowController()->toolChain();
        chain->insertPhotoToolWithBlueprint(chaintest::grey(), std::nullopt, chain->numberOfTools() - 1);
        chain->brushPathImageAtIndex(chain->numberOfTools() - 1)
            ->addContentContainer(
                doctest::paintedMask(chain->originalImageSize(), 1.0, pf::Color(0, 0, 0, 0)));
    }
    static bool isGrey(const QImage& image)
    {
        if (image.isNull())
            return false;
        const QColor c = image.pixelColor(image.width() / 2, image.height() / 2);
        return std::abs(c.red() - c.blue()) < 12;
    }

    QTemporaryDir m_dir;
    QString m_previousSupport;
    std::unique_ptr<GMApplicationDelegate> m_delegate;
    DocumentHandler* m_handler = nullptr;
};

} // namespace

// The window works on the photo as it is now: painted over in the editor, the photo reaches the window
// shown beside it a moment later, and a hidden one when the menu item is chosen again; its effects and
// a crop chosen in it stay, and the crop undone shows the whole photo as it is now. It kept the photo
// as it was when the window was made.
TEST_F(FrameworkEffectsOfPhotos, TheWindowWorksOnThePhotoAsItIsNow)
{
    auto photo = open(writePhoto("colour.png", 90, 60));
    ASSERT_TRUE(photo);
    front(photo->window());
    GMFrameworkEffectsWindow* effects = choose(photo->window());
    ASSERT_TRUE(effects);
    ASSERT_FALSE(isGrey(effects->shownImage()));
    effects->appendEffect(
        OVEffectsCatalog::sharedEffectsCatalog().effectForDisplayName(QStringLiteral("Reflection")));
    effects->cropPicture(pf::Rect(0, 0, 60, 60));
    QCoreApplication::processEvents();

    struct Case
    {
        const char* how;
        std::function<void()> shown;
    };
    const Case cases[] = {
        {"shown beside the photo", [] {}},
        {"closed, chosen again",
         [&] {
             effects->window()->close();
             QCoreApplication::processEvents();
         }},
    };
    int painted = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        c.shown();
        front(photo->window());
        if (painted++ == 0) {
            paintGrey(*photo);
        } else {
            // The grey layer's mask painted away again.
            const auto chain = photo->windowController()->toolChain();
            chain->brushPathImageAtIndex(chain->numberOfTools() - 1)
                ->addContentContainer(
                    doctest::paintedMask(chain->originalImageSize(), 0.0, pf::Color(0, 0, 0, 0)));
        }
        const bool nowGrey = painted == 1;
        if (!effects->window()->isVisible()) {
            ASSERT_EQ(choose(photo->window()), effects);
        }
        EXPECT_TRUE(doctest::spinUntil(
            [&] { return isGrey(effects->picture().isNull() ? QImage() : effects->shownImage()) == nowGrey; },
            3000))
            << "the window shows the photo as it is now";
        EXPECT_EQ(effects->effects().size(), 1u) << "with its effects";
        EXPECT_EQ(effects->picture().extent(), pf::Rect(0, 0, 60, 60)) << "cropped as chosen";
    }
    // The crop undone: the whole of the photo as it is now.
    EXPECT_EQ(effects->undoManager().undoActionName().toStdString(), "Crop");
    effects->undoManager().undo();
    EXPECT_EQ(effects->picture().extent(), pf::Rect(0, 0, 90, 60));
    EXPECT_FALSE(isGrey(effects->shownImage()));
}

// Closing the photo keeps its window and effects: the photo opened again from its file gets them back,
// over its picture as it is then. A new, empty window came, and the stack stayed out of reach.
TEST_F(FrameworkEffectsOfPhotos, APhotoOpenedAgainFindsItsEffects)
{
    const QString path = writePhoto("again.png", 80, 50);
    auto photo = open(path);
    ASSERT_TRUE(photo);
    front(photo->window());
    GMFrameworkEffectsWindow* effects = choose(photo->window());
    ASSERT_TRUE(effects);
    for (const char* name : {"Rotate Color", "Reflection", "Drop Shadow", "Gradient Multiply", "Keep Color"})
        effects->appendEffect(
            OVEffectsCatalog::sharedEffectsCatalog().effectForDisplayName(QString::fromLatin1(name)));
    QCoreApplication::processEvents();
    effects->window()->close();
    photo->close();
    photo.reset();
    doctest::spinUntil([] { return false; }, 200);

    // Meanwhile another photo has a window of its own.
    auto other = open(writePhoto("other.png", 40, 40));
    ASSERT_TRUE(other);
    front(other->window());
    GMFrameworkEffectsWindow* otherEffects = choose(other->window());
    ASSERT_TRUE(otherEffects);
    EXPECT_NE(otherEffects, effects);

    auto reopened = open(path);
    ASSERT_TRUE(reopened);
    front(reopened->window());
    EXPECT_EQ(choose(reopened->window()), effects) << "the photo's own window";
    EXPECT_EQ(effects->effects().size(), 5u) << "with its effects";
    EXPECT_TRUE(effects->window()->isVisible());
    EXPECT_EQ(effects->picture().extent(), pf::Rect(0, 0, 80, 50));
    EXPECT_FALSE(effects->shownImage().isNull());
}

// A photo still opening when the window is asked for: the window says so, shows the photo once it is in
// and keeps showing it when asked for again. It said "No picture" and never got one.
TEST_F(FrameworkEffectsOfPhotos, APhotoStillOpeningShowsOnceItIsIn)
{
    // Large enough to open in the background.
    const QString path = writePhoto("large.jpg", 2600, 1600);
    auto photo = open(path, false);
    ASSERT_TRUE(photo);
    ASSERT_TRUE(photo->isOpening());
    ASSERT_TRUE(photo->window());
    front(photo->window());
    GMFrameworkEffectsWindow* effects = choose(photo->window());
    ASSERT_TRUE(effects);
    if (photo->isOpening()) {
        EXPECT_TRUE(effects->output().isNull()) << "nothing yet";
        EXPECT_TRUE(effects->pictureMessage().contains(QStringLiteral("still opening")))
            << effects->pictureMessage().toStdString();
    }
    EXPECT_TRUE(doctest::spinUntil([&] { return !effects->output().isNull(); }, 20000))
        << "the photo reaches the window once it is in";
    EXPECT_EQ(effects->picture().extent().width(), 1024);
    front(photo->window());
    EXPECT_EQ(choose(photo->window()), effects);
    EXPECT_FALSE(effects->output().isNull());
}

// A crop and a picture chosen in the window are undone by name, in the Edit menu as in the window's
// undo manager.
TEST_F(FrameworkEffectsOfPhotos, CropAndPictureAreUndoneByName)
{
    auto photo = open(writePhoto("named.png", 90, 60));
    ASSERT_TRUE(photo);
    front(photo->window());
    GMFrameworkEffectsWindow* effects = choose(photo->window());
    ASSERT_TRUE(effects);
    front(effects->window());
    const auto undoTitle = [&] {
        QAction* undo = doctest::menuItem(effects->window(), QStringLiteral("Edit"), QStringLiteral("Undo"));
        return undo ? undo->text().toStdString() : std::string();
    };
    effects->cropPicture(pf::Rect(10, 0, 60, 40));
    QCoreApplication::processEvents();
    EXPECT_EQ(undoTitle(), "Undo Crop");
    effects->setPicture(picture(50, 50));
    QCoreApplication::processEvents();
    EXPECT_EQ(undoTitle(), "Undo Replace Picture");
    effects->undoManager().undo();
    EXPECT_EQ(effects->picture().extent(), pf::Rect(10, 0, 60, 40));
}
