// The welcome window and a document in real windows, driven as a person would: synthesised clicks on
// the tabs, a file dragged onto the drop target, the open panel choosing a document package, the picture
// tiles hovered, removed and resized, a sample opened by a click on its tile, the warning dismissed and
// the tutorial shown. One PNG per step:
//   document-gallery <output folder>
// Fails (non-zero) when a step does not have the effect it should.
#include "ChainTestSupport.h"
#include "Classes/Document/GMAboutBoxController.h"
#include "Classes/Document/GMApplicationDelegate.h"
#include "Classes/Document/GMDocument.h"
#include "Classes/Document/GMDocumentPackage.h"
#include "Classes/Document/GMEditorWindowController.h"
#include "Classes/Document/GMGridItem.h"
#include "Classes/Document/GMGridViewController.h"
#include "Classes/Document/GMLinks.h"
#include "Classes/Document/GMPreferencesWindowController.h"
#include "Classes/Document/GMPreviewWindowController.h"
#include "Classes/Document/OVAboutBoxController.h"
#include "Classes/Document/OVRateUsController.h"
#include "Classes/Editor/GMWindowController.h"
#include "Classes/Editor/OVZoomView.h"
#include "Classes/Filters/FilterLibrary.h"
#include "Classes/Framework/Toolkit/OV3PartImageView.h"
#include "Classes/Framework/Toolkit/OVActivityPanel.h"
#include "Classes/Help/OVInformationPanel.h"
#include "Classes/ToolObjects/GMFileUtilities.h"
#include "Classes/ToolObjects/OVBrushFramework/OVBrushPathImage.h"
#include "Classes/ToolObjects/PhotoToolChain.h"
#include "Platform/Foundation/FileSystem.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/Image/ImageFile.h"
#include "Platform/UI/FilePanel.h"
#include "TestFilters.h"
#include "Tests/Gallery/EditorClasses.h"
#include "Tests/Gallery/GalleryShots.h"

#include <QAction>
#include <QApplication>
#include <QColorSpace>
#include <QComboBox>
#include <QCursor>
#include <QDir>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <cstdio>

namespace {

using GalleryShots::failures;
using GalleryShots::outputFolder;

void settle(int milliseconds = 300)
{
    GalleryShots::settle(milliseconds);
}

using GalleryShots::waitFor;

using GalleryShots::check;

void shoot(const QWidget* window, const QString& name)
{
    settle(150);
    if (!GalleryShots::save(GalleryShots::screenshot(window), outputFolder, name))
        ++failures;
    std::fflush(stdout);
}

// Answers the next alert `delay` ms from now: shot (when a name is given), then the button `choice`
// clicked; `seen`, when given, notes that there was one.
void answerNextAlert(int delay, const QString& choice, const QString& shot, bool* seen = nullptr)
{
    QTimer::singleShot(delay, [choice, shot, seen] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        if (seen)
            *seen = true;
        if (!shot.isEmpty())
            shoot(box, shot);
        for (QAbstractButton* button : box->buttons())
            if (button->text() == choice)
                button->click();
    });
}

QString makePhoto(const QString& path)
{
    QImage portrait(QStringLiteral(GLIMORA_TESTDATA_DIR "/portrait-512.png"));
    if (portrait.isNull()) {
        portrait = QImage(512, 512, QImage::Format_RGB32);
        portrait.fill(QColor(150, 120, 100));
    }
    portrait.save(path, "JPEG", 92);
    return path;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("glimora-gallery"));
    QApplication::setApplicationVersion(QStringLiteral("0.1"));
    GalleryShots::useOutputFolder(argc, argv, QDir::currentPath());
    QTemporaryDir sandbox;
    GalleryShots::useSandbox(sandbox);
    // The first editor window's help sheet would lie over the windows these runs look at.
    pf::UserDefaults::standard().setValue(OVInformationPanel::dontShowAgainKey,
                                          QVariantMap{{GMEditorWindowController::firstRunTopic, 1}});
    FilterLibrary::registerAll();
    testfilters::registerAll();
    GMDocument::setBlueprintCatalog(&chaintest::catalog());
    GMDocument::setWindowControllerFactory(
        [](GMDocument&) { return std::make_shared<GMPreviewWindowController>(); });

    // A document package with a painted layer, for the open panel to choose.
    const QString photo = makePhoto(sandbox.filePath(QStringLiteral("Portrait.jpg")));
    const QString package = sandbox.filePath(QStringLiteral("Retouched.glimora"));
    {
        auto document = std::make_shared<GMDocument>();
        QString error;
        document->readFromURL(photo, QStringLiteral("jpeg"), &error);
        auto controller = std::make_shared<GMPreviewWindowController>(false);
        document->setWindowController(controller);
        auto chain = controller->toolChain();
        chain->insertPhotoToolWithBlueprint(chaintest::tint(), std::nullopt, 0);
        const pf::Size size = chain->originalImageSize();
        // The wash on the left half.
        auto mask = std::make_shared<OVImageContainer>(
            pf::Image::constantColor(pf::Color(1, 1, 1, 1))
                .imageByCroppingToRect(pf::Rect(0, 0, size.width / 2, size.height)),
            true);
        chain->brushPathImageAtIndex(1)->addContentContainer(
            std::make_shared<OVContentContainer>(mask, std::make_shared<OVImageContainer>()));
        bool saved = false;
        document->saveToURL(package, GMDocumentPackage::typeName, pf::Document::SaveOperation::SaveAs,
                            [&](bool ok, const QString& message) {
                                saved = true;
                                check(ok, qPrintable(QStringLiteral("the package is saved: ") + message));
                            });
        waitFor([&] { return saved; });
    }

    GMApplicationDelegate delegate;
    DocumentHandler& handler = delegate.documentHandler();
    delegate.applicationDidFinishLaunching({});
    GMWelcomeWindow* welcome = handler.welcomeWindow();
    pf::Window* window = welcome->window();
    check(waitFor([&] { return window->isVisible(); }), "the welcome window shows at launch");
    settle(600);

    // Under Xvfb the renderer is a software one: the warning lies over the window.
    if (welcome->isWarningShown()) {
        shoot(window, QStringLiteral("01-welcome-warning"));
        QPushButton* dismiss = nullptr;
        for (QPushButton* button : window->findChildren<QPushButton*>())
            if (button->text() == QLatin1String("Continue") && button->isVisible())
                dismiss = button;
        check(dismiss != nullptr, "the warning has its Continue button");
        if (dismiss)
            QTest::mouseClick(dismiss, Qt::LeftButton);
        check(waitFor([&] { return !welcome->isWarningShown(); }), "Continue dismisses the warning");
        settle(500);
    }
    shoot(window, QStringLiteral("02-welcome"));

    // The tutorial tab and back.
    QPushButton* tutorialTab = nullptr;
    QPushButton* picturesTab = nullptr;
    for (QPushButton* button : window->findChildren<QPushButton*>()) {
        if (button->text() == QLatin1String("Tutorial"))
            tutorialTab = button;
        if (button->text() == QLatin1String("Pictures"))
            picturesTab = button;
    }
    check(tutorialTab && picturesTab, "the two tabs exist");
    if (tutorialTab && picturesTab) {
        QTest::mouseClick(tutorialTab, Qt::LeftButton);
        settle(500);
        check(welcome->selectedTab() == 1, "a click on the tutorial tab shows it");
        shoot(window, QStringLiteral("03-welcome-tutorial-tab"));
        QTest::mouseClick(picturesTab, Qt::LeftButton);
        settle(500);
        check(welcome->selectedTab() == 0, "a click on the pictures tab shows them");
    }

    // A photo dragged over the drop target lights it up; dropping opens it.
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(photo)});
    DragAndDropView* target = welcome->dropTarget();
    QDragEnterEvent enter(QPoint(40, 40), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    check(target->isHovered(), "the drop target lights up under a drag");
    shoot(window, QStringLiteral("04-welcome-drag-over"));
    QDropEvent drop(QPointF(40, 40), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    auto dropped = handler.documentForURL(photo);
    check(dropped != nullptr, "the dropped photo opens");
    check(!window->isVisible(), "opening hides the welcome window");
    if (dropped && dropped->window()) {
        waitFor([&] { return dropped->window()->isVisible(); });
        shoot(dropped->window(), QStringLiteral("05-document-dropped-photo"));
        dropped->close();
    }

    // The Open button: the real open panel, which takes the package as one file.
    handler.displayWelcomeScreen();
    settle(300);
    bool panelSeen = false;
    QTimer::singleShot(600, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        panelSeen = true;
        dialog->setDirectory(QFileInfo(package).absolutePath());
        settle(300);
        shoot(dialog, QStringLiteral("06-open-panel"));
        if (auto* name = dialog->findChild<QLineEdit*>()) {
            name->setText(QFileInfo(package).fileName());
            QTest::keyClick(name, Qt::Key_Return);
        }
    });
    QTest::mouseClick(welcome->openButton(), Qt::LeftButton);
    check(panelSeen, "the Open button shows the open panel");
    auto opened = handler.documentForURL(package);
    check(opened != nullptr, "the open panel opens the package it was given");
    if (opened && opened->window()) {
        auto document = std::static_pointer_cast<GMDocument>(opened);
        waitFor([&] { return document->pendingLayerCount() == 0 && opened->window()->isVisible(); });
        settle(500);
        check(document->windowController()->toolChain()->numberOfTools() == 2, "the package's layer is back");
        shoot(opened->window(), QStringLiteral("07-document-package"));
        opened->close();
    }

    // The picture tiles: two recent photos (one saved without a preview) and the samples.
    {
        const QDateTime now = QDateTime::currentDateTimeUtc();
        const char* names[] = {"Holiday", "Sketch"};
        for (int k = 0; k < 2; ++k) {
            const QString kept = makePhoto(sandbox.filePath(QStringLiteral("%1.jpg").arg(names[k])));
            const QString folder =
                GMFileUtilities::handleURLAsShadowCopy(QUrl::fromLocalFile(kept)).toLocalFile();
            QDir().mkpath(folder);
            if (k == 0)
                QImage(kept).save(folder + QStringLiteral("/preview.jpg"), "JPEG", 85);
            GMFileUtilities::setShadowCopyValues(kept, {{"modification_time", now.addSecs(-600 * (k + 1))}});
            handler.noteNewRecentDocumentURL(kept);
        }
    }
    handler.displayWelcomeScreen();
    GMGridViewController* grid = welcome->grid();
    check(waitFor([&] { return window->isVisible() && grid->picturesPending() == 0; }),
          "the tiles' pictures are read");
    settle(600);
    shoot(window, QStringLiteral("08-welcome-tiles"));
    QWindow* handle = window->windowHandle();
    const auto widgetPoint = [&](pf::View* view, pf::Point p) {
        return view->mapTo(window, view->pointToWidget(p)).toPoint();
    };
    const auto moveTo = [&](pf::View* view, pf::Point p) {
        const QPoint at = widgetPoint(view, p);
        QCursor::setPos(window->mapToGlobal(at));
        QTest::mouseMove(handle, at);
        settle(250);
    };
    GMGridItem* sketch = grid->gridItemForContext(sandbox.filePath(QStringLiteral("Sketch.jpg")));
    check(sketch && !sketch->hasPicture(), "a recent photo without a preview has the no-preview tile");
    if (sketch) {
        const pf::Point onRemove(15, sketch->bounds().height() - 15);
        moveTo(sketch, pf::Point(sketch->bounds().width() / 2, sketch->bounds().height() / 2));
        check(sketch->isHovered(), "the pointer over a tile hovers it");
        shoot(window, QStringLiteral("08a-tile-hovered"));
        moveTo(sketch, onRemove);
        check(sketch->removeImageName() == QLatin1String("GridItemRemoveHover"),
              "the remove button lights up");
        shoot(window, QStringLiteral("08b-remove-hovered"));
        QTest::mousePress(handle, Qt::LeftButton, {}, widgetPoint(sketch, onRemove));
        settle(200);
        check(sketch->removeImageName() == QLatin1String("GridItemRemoveDown"),
              "the remove button is pressed");
        shoot(window, QStringLiteral("08c-remove-pressed"));
        // The release asks; Cancel keeps the tile, Remove takes it.
        answerNextAlert(400, QStringLiteral("Cancel"), QStringLiteral("08d-remove-question"));
        QTest::mouseRelease(handle, Qt::LeftButton, {}, widgetPoint(sketch, onRemove));
        settle(400);
        check(grid->gridItemForContext(sandbox.filePath(QStringLiteral("Sketch.jpg"))) == sketch,
              "a cancelled removal keeps the tile");
        shoot(window, QStringLiteral("08e-removal-cancelled"));
        moveTo(sketch, onRemove);
        answerNextAlert(400, QStringLiteral("Remove"), QString());
        QTest::mousePress(handle, Qt::LeftButton, {}, widgetPoint(sketch, onRemove));
        QTest::mouseRelease(handle, Qt::LeftButton, {}, widgetPoint(sketch, onRemove));
        settle(600);
        check(!grid->gridItemForContext(sandbox.filePath(QStringLiteral("Sketch.jpg"))),
              "a confirmed removal takes the tile");
        shoot(window, QStringLiteral("08f-removal-confirmed"));
    }

    // Narrower, the tiles move from three columns to two.
    {
        const pf::Rect wide = window->frame();
        check(grid->layout().lastColumnCount() == 3, "three columns in the window as it opens");
        window->setFrame(pf::Rect(wide.minX(), wide.minY(), wide.width() - 150, wide.height()));
        settle(120);
        shoot(window, QStringLiteral("08g-narrowed-mid-animation"));
        settle(600);
        check(grid->layout().lastColumnCount() == 2, "two columns in the narrower window");
        shoot(window, QStringLiteral("08h-narrowed"));
        window->setFrame(wide);
        settle(600);
    }

    // A sample, by a click on its tile.
    {
        OVGridItem* sample = nullptr;
        for (OVGridItem* tile : grid->gridItemsInSection(welcome->sectionSamples()))
            sample = sample ? sample : tile;
        check(sample != nullptr, "the samples have tiles");
        if (sample) {
            const size_t before = handler.documents().size();
            const QPoint at = widgetPoint(sample, pf::Point(sample->bounds().width() / 2, 60));
            QTest::mouseMove(handle, at);
            QTest::mouseClick(handle, Qt::LeftButton, {}, at);
            check(waitFor([&] { return handler.documents().size() == before + 1; }),
                  "a click opens the sample");
            settle(300);
            check(handler.documents().size() == before + 1, "and opens it once");
            if (handler.documents().size() > before && handler.documents().back()->window()) {
                pf::Window* sampleWindow = handler.documents().back()->window();
                waitFor([&] { return sampleWindow->isVisible(); });
                shoot(sampleWindow, QStringLiteral("08i-document-sample"));
            }
        }
    }

    // A large photo in the editor window: busy from the first moment, its reduced picture as soon as the
    // decoder has one, then the photo to edit.
    {
        const QString large = sandbox.filePath(QStringLiteral("Large.jpg"));
        QImage(QStringLiteral(GLIMORA_TESTDATA_DIR "/portrait-512.png"))
            .scaled(12000, 9000, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
            .save(large, "JPEG", 90);
        GMDocument::setWindowControllerFactory([](GMDocument& document) {
            return std::make_shared<GMEditorWindowController>(document.weak_from_this());
        });
        QString error;
        auto document =
            std::static_pointer_cast<GMDocument>(handler.openDocumentWithContentsOfURL(large, true, &error));
        // Whatever the machine's load, the open must return before the decoder is done, not after.
        check(document && document->isOpening(),
              "opening a large photo hands the window back before decoding");
        check(document && document->window(), qPrintable(QStringLiteral("the large photo opens: ") + error));
        if (document && document->window()) {
            auto controller =
                std::static_pointer_cast<GMEditorWindowController>(document->windowController());
            OVActivityPanel* panel = controller->editor().activityPanel();
            waitFor([&] { return document->window()->isVisible(); });
            settle(450); // the panel slides in
            check(document->isOpening(), "the photo is still being decoded at the first look");
            check(panel && panel->activities().contains(QStringLiteral("Loading")) &&
                      panel->panel()->isVisible(),
                  "the activity indicator shows from the first moment of the open");
            shoot(document->window(), QStringLiteral("10-large-photo-opening"));
            const auto zoom = controller->editor().zoomView();
            check(waitFor([&] { return !zoom->zoomLayer()->contents().isNull(); }),
                  "a reduced picture shows while the photo is decoded");
            check(waitFor([&] { return !document->isOpening(); }, 60000), "the photo is decoded");
            check(controller->toolChain() &&
                      controller->toolChain()->originalImageSize() == pf::Size(12000, 9000),
                  "the photo is edited at its full size");
            settle(800);
            check(panel && panel->activities().isEmpty(),
                  "the activity indicator goes once the photo is open");
            shoot(document->window(), QStringLiteral("11-large-photo-open"));
            document->close();
        }

        // The same photo kept in a package: its own preview at once, the photo decoded in the background.
        const QString package = sandbox.filePath(QStringLiteral("Large.glimora"));
        {
            QFile bytes(large);
            GMDocumentPackage::Contents contents;
            if (bytes.open(QIODevice::ReadOnly))
                contents.originalJPEG = bytes.readAll();
            contents.preview = pf::Bitmap::fromQImage(QImage(large).scaled(1024, 768));
            QString written;
            check(GMDocumentPackage::write(contents, package, &written), qPrintable(written));
        }
        auto kept = std::static_pointer_cast<GMDocument>(
            handler.openDocumentWithContentsOfURL(package, true, &error));
        check(kept && kept->isOpening(), "opening a large package hands the window back before decoding");
        if (kept && kept->window()) {
            auto controller = std::static_pointer_cast<GMEditorWindowController>(kept->windowController());
            waitFor([&] { return kept->window()->isVisible(); });
            settle(450);
            const auto zoom = controller->editor().zoomView();
            check(!zoom->zoomLayer()->contents().isNull(),
                  "the package's preview shows while its photo is decoded");
            shoot(kept->window(), QStringLiteral("11a-large-package-opening"));
            check(waitFor([&] { return !kept->isOpening(); }, 60000), "the package's photo is decoded");
            settle(800);
            check(controller->toolChain() &&
                      controller->toolChain()->originalImageSize() == pf::Size(12000, 9000),
                  "the package's photo is edited at its full size");
            shoot(kept->window(), QStringLiteral("11b-large-package-open"));
            kept->close();
        }
        GMDocument::setWindowControllerFactory(
            [](GMDocument&) { return std::make_shared<GMPreviewWindowController>(); });
    }

    // The preferences, and the question a choice that deletes kept edits asks (answered Cancel).
    {
        const QDateTime now = QDateTime::currentDateTimeUtc();
        for (int k = 0; k < 4; ++k) {
            const QString kept = makePhoto(sandbox.filePath(QStringLiteral("Kept%1.jpg").arg(k)));
            const QUrl folder = GMFileUtilities::handleURLAsShadowCopy(QUrl::fromLocalFile(kept));
            QDir().mkpath(folder.toLocalFile());
            GMFileUtilities::setShadowCopyValues(kept, {{"modification_time", now.addDays(-10 * k - 1)}});
        }
        delegate.showPreferences();
        GMPreferencesWindowController* preferences = delegate.preferencesController();
        pf::Window* preferencesWindow = preferences ? preferences->loadedWindow() : nullptr;
        check(preferencesWindow && waitFor([&] { return preferencesWindow->isVisible(); }),
              "Edit > Preferences shows the preferences");
        if (preferencesWindow) {
            shoot(preferencesWindow, QStringLiteral("12-preferences"));
            bool asked = false;
            answerNextAlert(500, QStringLiteral("Cancel"), QStringLiteral("13-preferences-question"), &asked);
            const int keptBefore = int(GMFileUtilities::shadowCopyDictionary().size());
            preferences->chooseSpan(0);
            check(asked, "a choice that deletes kept edits asks first");
            check(GMFileUtilities::shadowCopyDictionary().size() == keptBefore, "Cancel deletes nothing");
            check(preferences->spanPopUp()->currentIndex() == 5, "Cancel shows the previous choice again");
            preferences->close();
        }
    }

    // The about window, then a click on the welcome window hides it.
    handler.displayWelcomeScreen();
    settle(300);
    if (QAction* about = delegate.action(QStringLiteral("About Glimora")))
        about->trigger();
    pf::Window* aboutBox = delegate.aboutBoxController()->aboutBox();
    check(waitFor([&] { return aboutBox->isVisible(); }), "Help > About Glimora shows the about window");
    settle(300);
    shoot(aboutBox, QStringLiteral("14-about"));
    QTest::mouseClick(window->contentView(), Qt::LeftButton, Qt::NoModifier, QPoint(20, 200));
    check(waitFor([&] { return !aboutBox->isVisible(); }),
          "a click on another window hides the about window");
    shoot(window, QStringLiteral("15-about-hidden-by-click"));

    // The framework's about window.
    {
        OVAboutBoxController* about = OVAboutBoxController::sharedAboutBox();
        about->showWindow();
        check(about->loadedWindow() && waitFor([&] { return about->loadedWindow()->isVisible(); }),
              "the framework's about window shows");
        if (about->loadedWindow())
            shoot(about->loadedWindow(), QStringLiteral("16-framework-about"));
        about->close();
        waitFor([&] { return !about->isWindowLoaded(); });
        OVAboutBoxController::releaseShared();
    }

    // The rating prompt over the welcome window, and each answer.
    {
        QList<QUrl> opened;
        GMLinks::setOpenerForTesting([&](const QUrl& url) {
            opened << url;
            return true;
        });
        OVRateUsController::setModifiersForTesting([] { return Qt::AltModifier; });
        const QUrl page(QStringLiteral("https://example.org/rate"));
        const char* answers[] = {"ask-later", "never-ask", "rate-now"};
        for (int k = 0; k < 3; ++k) {
            window->makeKeyAndOrderFront();
            OVRateUsController::verifyRateUs(page);
            OVRateUsController* prompt = OVRateUsController::shared();
            check(prompt && waitFor([&] { return prompt->isVisible(); }), "Alt at a check shows the prompt");
            if (!prompt)
                continue;
            if (k == 0)
                shoot(window, QStringLiteral("17-rate-prompt"));
            OVButton* button = k == 0   ? prompt->cancelButton()
                               : k == 1 ? prompt->otherButton()
                                        : prompt->approveButton();
            const QPoint centre = button->rect().center();
            QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, centre);
            check(waitFor([&] { return !prompt->isVisible(); }), "an answer closes the prompt");
            shoot(window, QStringLiteral("18-rate-answered-%1").arg(QString::fromLatin1(answers[k])));
        }
        check(opened == QList<QUrl>{page}, "Rate Now opens the rating page");
        OVRateUsController::setModifiersForTesting({});
        GMLinks::setOpenerForTesting({});
        OVRateUsController::resetShared();
    }

    // The questions that keep the user's work, each answered so that nothing is written.
    {
        const QString changed = makePhoto(sandbox.filePath(QStringLiteral("Changed.jpg")));
        QString error;
        auto document = std::static_pointer_cast<GMDocument>(
            handler.openDocumentWithContentsOfURL(changed, true, &error));
        check(document != nullptr, "a photo opens for the questions");
        if (document && waitFor([&] {
                return document->windowController() && document->windowController()->toolChain();
            })) {
            auto chain = document->windowController()->toolChain();
            chain->insertPhotoToolWithBlueprint(chaintest::tint(), std::nullopt, 0);
            settle(400);
            // Another program saves the photo: Save asks before writing over it.
            const QByteArray theirs = [&] {
                QFile file(changed);
                file.open(QIODevice::ReadWrite);
                file.setFileTime(QDateTime::currentDateTime().addSecs(60), QFileDevice::FileModificationTime);
                file.seek(0);
                return file.readAll();
            }();
            bool seen = false;
            answerNextAlert(500, QStringLiteral("Cancel"), QStringLiteral("19-changed-on-disk-question"),
                            &seen);
            document->saveDocument();
            settle(600);
            check(seen, "saving over a photo changed on disk asks first");
            QFile file(changed);
            check(file.open(QIODevice::ReadOnly) && file.readAll() == theirs,
                  "Cancel leaves the other version");
            // Closing a photo whose changes are not in its file asks whether they go in.
            document->setFileModificationDate(document->modificationDateOfFile(changed));
            seen = false;
            answerNextAlert(500, QStringLiteral("Cancel"), QStringLiteral("20-close-photo-question"), &seen);
            document->window()->performClose();
            settle(600);
            check(seen && document->window() && document->window()->isVisible(),
                  "closing an edited photo asks, and Cancel keeps it open");
            document->close();
        }
        // A package whose lossless original is damaged says so when it opens.
        const QString png = sandbox.filePath(QStringLiteral("Lossless.png"));
        QImage(QStringLiteral(GLIMORA_TESTDATA_DIR "/portrait-512.png")).save(png, "PNG");
        const QString damaged = sandbox.filePath(QStringLiteral("Damaged.glimora"));
        if (auto source = handler.openDocumentWithContentsOfURL(png, false, &error)) {
            auto gm = std::static_pointer_cast<GMDocument>(source);
            gm->setWindowController(std::make_shared<GMPreviewWindowController>(false));
            bool saved = false;
            source->saveToURL(damaged, GMDocumentPackage::typeName, pf::Document::SaveOperation::SaveTo,
                              [&](bool, const QString&) { saved = true; });
            waitFor([&] { return saved; });
            source->close();
            QFile::resize(damaged + QStringLiteral("/image.png"), 300);
            bool seen = false;
            answerNextAlert(500, QStringLiteral("OK"), QStringLiteral("21-damaged-original"), &seen);
            auto reopened = handler.openDocumentWithContentsOfURL(damaged, true, &error);
            settle(600);
            check(seen && reopened, "a damaged lossless original is told and the document opens");
            if (reopened)
                reopened->close();
        }
        // A recent photo that was moved: its tile says so and keeps the edits.
        const QString moved = makePhoto(sandbox.filePath(QStringLiteral("Moved.jpg")));
        if (auto source = handler.openDocumentWithContentsOfURL(moved, true, &error)) {
            auto gm = std::static_pointer_cast<GMDocument>(source);
            waitFor([&] { return gm->windowController() && gm->windowController()->toolChain(); });
            gm->windowController()->toolChain()->insertPhotoToolWithBlueprint(chaintest::tint(), std::nullopt,
                                                                              0);
            settle(300);
            bool saved = false;
            source->autosaveDocument([&](bool, const QString&) { saved = true; });
            waitFor([&] { return saved; });
            source->close();
            QFile::rename(moved, sandbox.filePath(QStringLiteral("Moved elsewhere.jpg")));
            // Its tile alone in the recent section, where it can be seen.
            for (const QString& key : GMFileUtilities::shadowCopyDictionary().keys())
                if (!key.endsWith(QStringLiteral("/Moved.jpg")))
                    handler.removeShadowCopyWithPath(key);
            handler.displayWelcomeScreen();
            settle(800);
            // Hovered, the tile shows its title.
            GMGridItem* tile = welcome->grid()->gridItemForContext(moved);
            check(tile && tile->title().contains(QStringLiteral("missing")),
                  "the moved photo's tile says it is missing");
            if (tile) {
                const QPoint at =
                    tile->mapTo(window, tile->pointToWidget(pf::Point(tile->bounds().width() / 2,
                                                                      tile->bounds().height() / 2)))
                        .toPoint();
                QCursor::setPos(window->mapToGlobal(at));
                QTest::mouseMove(window->windowHandle(), at);
                settle(400);
            }
            shoot(window, QStringLiteral("22-missing-photo-tile"));
            bool seen = false;
            answerNextAlert(500, QStringLiteral("OK"), QStringLiteral("23-missing-photo-opened"), &seen);
            handler.gridViewExecuteItemWithContext(welcome->grid(), moved);
            settle(600);
            check(seen, "opening a missing photo's tile says where it is expected");
        }
        // A read-only photo: Save says why it cannot write it and offers Save As.
        const QString locked = makePhoto(sandbox.filePath(QStringLiteral("Read only.jpg")));
        QFile::setPermissions(locked,
                              QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
        if (auto source = handler.openDocumentWithContentsOfURL(locked, true, &error)) {
            auto gm = std::static_pointer_cast<GMDocument>(source);
            waitFor([&] { return gm->windowController() && gm->windowController()->toolChain(); });
            gm->windowController()->toolChain()->insertPhotoToolWithBlueprint(chaintest::tint(), std::nullopt,
                                                                              0);
            settle(300);
            bool seen = false;
            answerNextAlert(500, QStringLiteral("Cancel"), QStringLiteral("24-read-only-save"), &seen);
            source->saveDocument();
            settle(600);
            check(seen, "saving over a read-only photo says why and offers Save As");
            // Saved as a name the panel completes with the kind's extension, over a file of that name.
            makePhoto(sandbox.filePath(QStringLiteral("Read only copy.jpg")));
            pf::FilePanel::setResponder([&](const pf::FilePanel&) {
                return QStringList{sandbox.filePath(QStringLiteral("Read only copy"))};
            });
            bool asked = false;
            answerNextAlert(500, QStringLiteral("Cancel"), QStringLiteral("25-replace-question"), &asked);
            source->saveDocumentAs();
            settle(600);
            pf::FilePanel::setResponder({});
            check(asked, "a save that would replace a file asks, whatever completed its name");
            source->close();
        }
        // A photo too large to keep its colours beyond sRGB: told as it opens.
        pf::ImageFile::setExactCopyLimitForTesting(1);
        QImage wide(480, 360, QImage::Format_RGB32);
        wide.fill(QColor(0, 255, 0));
        wide.setColorSpace(QColorSpace(QColorSpace::AdobeRgb));
        const QString large = sandbox.filePath(QStringLiteral("Wide colours.jpg"));
        wide.save(large, "JPEG", 95);
        bool told = false;
        answerNextAlert(800, QStringLiteral("OK"), QStringLiteral("26-reduced-colours"), &told);
        if (auto reduced = handler.openDocumentWithContentsOfURL(large, true, &error)) {
            settle(1200);
            reduced->close();
        }
        pf::ImageFile::setExactCopyLimitForTesting(0);
        check(told, "a photo held in less than it holds says so as it opens");
    }

    // The tutorial.
    check(welcome->showTutorial(), "the tutorial opens");
    if (welcome->tutorialWindow()) {
        waitFor([&] { return welcome->tutorialWindow()->isVisible(); });
        settle(800);
        shoot(welcome->tutorialWindow(), QStringLiteral("09-tutorial"));
    }

    const auto documents = handler.documents();
    for (const auto& document : documents)
        document->close();
    OVBrushPathImage::waitForPendingWrites();
    return GalleryShots::exitCodeWithCount();
}
