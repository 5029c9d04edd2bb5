#include "Classes/Document/DocumentHandler.h"
#include "Classes/Document/GMApplicationDelegate.h"
#include "Classes/Document/GMEditorWindowController.h"
#include "Classes/Document/GMGridItem.h"
#include "Classes/Document/GMGridViewController.h"
#include "Classes/Document/GMPreferencesWindowController.h"
#include "Classes/Document/GMWindowCascade.h"
#include "Classes/Editor/GMWindowController.h"
#include "Classes/Frames/OVFrameBuilder.h"
#include "Classes/Framework/Toolkit/OVBoxView.h"
#include "Classes/Help/OVInformationCatalog.h"
#include "Classes/Help/OVInformationPanel.h"
#include "Classes/ToolObjects/GMBlueprintCatalog.h"
#include "Classes/ToolObjects/GMFileUtilities.h"
#include "Classes/ToolObjects/OVBrushFramework/OVBrushPathImage.h"
#include "Classes/ToolObjects/PhotoToolChain.h"
#include "DocumentTestSupport.h"
#include "Platform/Foundation/FileSystem.h"
#include "Platform/Foundation/UndoManager.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/UI/Alert.h"
#include "Platform/UI/FilePanel.h"
#include "Platform/UI/SteppedClock.h"
#include "Tests/ChildProcess.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>

using namespace doctest;

namespace {

// Live previews, alerts noted by their message alone, and photos written as their names say.
class Menus : public WorkingAreaTest
{
protected:
    Menus()
    {
        m_alertsWithDetail = false;
        m_livePreviews = true;
        m_photoFormat = nullptr;
    }
    void SetUp() override
    {
        WorkingAreaTest::SetUp();
        if (HasFatalFailure())
            return;
        pf::UserDefaults::standard().removeObject("RecentDocuments");
        pf::UserDefaults::standard().removeObject(GMDocument::savedOverPhotoNoteKey);
    }
    void TearDown() override
    {
        pf::FilePanel::setResponder({});
        WorkingAreaTest::TearDown();
    }
};

// Opens a photo as the open panel does and waits until its editor window shows it, layers and all;
// null (with a failure) when it does not open.
std::shared_ptr<GMDocument> openInEditor(DocumentHandler& handler, const QString& path)
{
    QString error;
    const auto document =
        std::static_pointer_cast<GMDocument>(handler.openDocumentWithContentsOfURL(path, true, &error));
    if (!document) {
        ADD_FAILURE() << error.toStdString();
        return nullptr;
    }
    if (!spinUntil([&] {
            return document->window() && document->window()->isVisible() && document->windowController() &&
                   document->windowController()->toolChain() && !document->isOpening() &&
                   document->pendingLayerCount() == 0;
        })) {
        ADD_FAILURE() << "the editor window did not show the photo";
        return nullptr;
    }
    return document;
}

QMenuBar* barOf(QWidget* window)
{
    auto* pfWindow = qobject_cast<pf::Window*>(window);
    return pfWindow ? qobject_cast<QMenuBar*>(pfWindow->menuBar()) : nullptr;
}

QMenu* menuOf(QMenuBar* bar, const QString& title)
{
    for (QAction* top : bar->actions())
        if (top->menu() && top->menu()->objectName() == title)
            return top->menu();
    return nullptr;
}

QAction* itemOf(QMenuBar* bar, const QString& title, const QString& item)
{
    QMenu* menu = bar ? menuOf(bar, title) : nullptr;
    if (!menu)
        return nullptr;
    for (QAction* action : menu->actions())
        if (action->objectName() == item)
            return action;
    return nullptr;
}

void front(pf::Window* window)
{
    // On a display server the window becomes the active one some events later, and a request made
    // while another window's older one is still on its way is lost: it is asked again, as a person
    // clicks a window again that did not come to the front. The window counts as in front once it
    // stays there a moment: another window's activation still on its way may arrive just after.
    const auto inFront = [&] { return window->isVisible() && QApplication::activeWindow() == window; };
    for (int attempt = 0; attempt < 10; ++attempt) {
        window->makeKeyAndOrderFront();
        window->activateWindow();
        if (spinUntil(inFront, 200) && !spinUntil([&] { return !inFront(); }, 100))
            break;
    }
    QCoreApplication::processEvents();
}

} // namespace

// Every window of the application carries the menu bar. Its items apply where they can (Save with a
// document in front, Revert once it is edited, Undo and Redo naming the step), and each one does what
// it says: the state after every row is read from the menus as a person opening them sees it.
TEST_F(Menus, EveryWindowCarriesTheMenusWithItemsEnabledWhereTheyApply)
{
    GMApplicationDelegate delegate;
    DocumentHandler& handler = delegate.documentHandler();
    handler.setGraphicsInfoForTesting({true, true, qint64(1) << 30, 1, "test"});
    handler.displayWelcomeScreen();
    pf::Window* welcome = handler.welcomeWindow()->window();
    ASSERT_TRUE(spinUntil([&] { return welcome->isVisible(); }));
    QMenuBar* welcomeBar = barOf(welcome);
    ASSERT_TRUE(welcomeBar);
    QStringList titles;
    for (QAction* top : welcomeBar->actions())
        titles << top->menu()->objectName();
    EXPECT_EQ(titles, (QStringList{"File", "Edit", "View", "Extras", "Window", "Help"}));
    EXPECT_GT(welcome->contentView()->frame().maxY(), 0);
    EXPECT_LE(welcome->contentView()->frame().height() + welcomeBar->height(), welcome->height())
        << "the bar lies above the content, not over it";
    EXPECT_EQ(itemOf(welcomeBar, "File", "Save")->shortcut(), QKeySequence::Save) << "shortcuts are shown";

    const QString picture = photo("menus.png");
    QString error;
    auto document = handler.openDocumentWithContentsOfURL(picture, true, &error);
    ASSERT_TRUE(document) << error.toStdString();
    auto gm = std::static_pointer_cast<GMDocument>(document);
    ASSERT_TRUE(spinUntil([&] { return document->window() && document->window()->isVisible(); }));
    QMenuBar* documentBar = barOf(document->window());
    ASSERT_TRUE(documentBar) << "the document's window has the bar too";
    auto chain = gm->windowController()->toolChain();

    const auto state = [&](QMenuBar* bar) {
        // Opening the menus brings them up to date, as a click on the bar does.
        for (QAction* top : bar->actions())
            emit top->menu()->aboutToShow();
        QMap<QString, bool> enabled;
        for (const char* title : {"File", "Edit", "View", "Window"})
            for (QAction* action : menuOf(bar, title)->actions())
                if (!action->isSeparator())
                    enabled.insert(action->objectName(), action->isEnabled());
        return enabled;
    };
    struct Row
    {
        const char* what;
        std::function<void()> act;
        QStringList on, off;
        QString undoText, redoText;
    };
    const Row rows[] = {
        {"the welcome window in front",
         [&] { front(welcome); },
         {"New", "Open…", "Quit", "Welcome Window", "Preferences…"},
         {"Save", "Save As…", "Export…", "Print…", "Revert to Saved", "Undo", "Redo", "Zoom In",
          "Actual Size"},
         "Undo",
         "Redo"},
        {"the unedited document in front",
         [&] { front(document->window()); },
         {"Save", "Save As…", "Export…", "Print…"},
         {"Revert to Saved", "Undo", "Redo"},
         "Undo",
         "Redo"},
        {"an effect added",
         [&] { chain->insertPhotoToolWithBlueprint(chaintest::grey(), std::nullopt, 0); },
         {"Undo", "Revert to Saved", "Save"},
         {"Redo"},
         "Undo Insert Effect",
         "Redo"},
        {"Edit ▸ Undo",
         [&] { itemOf(documentBar, "Edit", "Undo")->trigger(); },
         {"Redo", "Save"},
         {"Undo"},
         "Undo",
         "Redo Insert Effect"},
        {"Edit ▸ Redo",
         [&] { itemOf(documentBar, "Edit", "Redo")->trigger(); },
         {"Undo"},
         {"Redo"},
         "Undo Insert Effect",
         "Redo"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        row.act();
        QCoreApplication::processEvents();
        QMenuBar* bar = QString(row.what).startsWith("the welcome") ? welcomeBar : documentBar;
        const QMap<QString, bool> enabled = state(bar);
        for (const QString& item : row.on)
            EXPECT_TRUE(enabled.value(item, false)) << item.toStdString();
        for (const QString& item : row.off)
            EXPECT_FALSE(enabled.value(item, true)) << item.toStdString();
        EXPECT_EQ(itemOf(bar, "Edit", "Undo")->text(), row.undoText);
        EXPECT_EQ(itemOf(bar, "Edit", "Redo")->text(), row.redoText);
    }
    EXPECT_EQ(chain->numberOfTools(), 2) << "Undo and Redo from the menu took the step back and again";

    // Save writes the picture; the note comes once.
    itemOf(documentBar, "File", "Save")->trigger();
    // The save begins once the busy panel has slid in.
    spinUntil([&] { return !document->isDocumentEdited() && !document->isSaving(); });
    EXPECT_FALSE(document->isDocumentEdited()) << m_alerts.join('\n').toStdString();
    EXPECT_EQ(m_alerts.filter("now holds your retouched picture").size(), 1);
    // Save As and Export offer the save panel.
    QStringList panels;
    pf::FilePanel::setResponder([&](const pf::FilePanel& panel) {
        panels << panel.title;
        return QStringList();
    });
    itemOf(documentBar, "File", "Save As…")->trigger();
    itemOf(documentBar, "File", "Export…")->trigger();
    EXPECT_EQ(panels, (QStringList{"Save As", "Export"}));
    // Preferences shows the retention choices, as the controller holds them.
    itemOf(documentBar, "Edit", "Preferences…")->trigger();
    GMPreferencesWindowController* preferences = delegate.preferencesController();
    ASSERT_TRUE(preferences);
    EXPECT_TRUE(preferences->isVisible());
    EXPECT_EQ(preferences->spanPopUp()->count(), 6) << "four spans, a separator, Forever";
    // Mended: the dialog carried a menu bar of its own; its shortcuts work without one.
    EXPECT_FALSE(barOf(preferences->window()));
    EXPECT_TRUE(preferences->window()->actions().contains(delegate.action("Quit")));
    preferences->close();
    EXPECT_FALSE(preferences->isVisible());
    // Window ▸ Welcome Window brings it back to the front; File ▸ Close closes the front document.
    welcome->orderOut();
    itemOf(documentBar, "Window", "Welcome Window")->trigger();
    EXPECT_TRUE(welcome->isVisible());
    // A person sees the welcome window come up before turning back to the document. On a display
    // server a window takes the activation only once it is mapped, and that overtakes a request made
    // for another window in the meantime.
    EXPECT_TRUE(spinUntil([&] { return QApplication::activeWindow() == welcome; }))
        << "the welcome window comes to the front";
    EXPECT_EQ(pf::Window::keyWindow(), welcome);
    front(document->window());
    itemOf(documentBar, "File", "Close")->trigger();
    ASSERT_TRUE(spinUntil([&] { return handler.documents().empty(); }));
    // Clear Recent empties the list, and then has nothing to clear.
    EXPECT_FALSE(handler.recentDocumentURLs().isEmpty());
    itemOf(welcomeBar, "File", "Clear Recent")->trigger();
    EXPECT_TRUE(handler.recentDocumentURLs().isEmpty());
    EXPECT_FALSE(state(welcomeBar).value("Clear Recent", true));
    welcome->orderOut();
}

// A window that outlives the delegate that gave it its menus (a shared window, the delegate replaced)
// takes the next delegate's: the old bar's menus would be empty, its Window menu reading documents
// that are gone.
TEST_F(Menus, AWindowThatOutlivesItsDelegateCarriesTheNextOnesMenus)
{
    pf::Window window;
    {
        GMApplicationDelegate first;
        window.show(); // equipped as it shows
        ASSERT_TRUE(itemOf(barOf(&window), "Edit", "Undo"));
        window.hide();
    }
    EXPECT_FALSE(barOf(&window)) << "the bar goes with its delegate";
    GMApplicationDelegate second;
    window.show(); // equipped as it shows
    QAction* undo = itemOf(barOf(&window), "Edit", "Undo");
    EXPECT_EQ(undo, second.action("Undo"));
    EXPECT_TRUE(window.actions().contains(second.action("Undo"))) << "its shortcut works in the window";
    QMenu* windows = menuOf(barOf(&window), "Window");
    ASSERT_TRUE(windows);
    emit windows->aboutToShow(); // lists the documents of the delegate that is there
}

// A recent document's tile shows its preview with its name and date, and opens on a click. The open panel
// offers what opens, documents first.
TEST_F(Menus, WelcomeTilesAndOpenPanelOfferWhatAPersonExpects)
{
    DocumentHandler handler;
    handler.setGraphicsInfoForTesting({true, true, qint64(1) << 30, 1, "test"});
    handler.awakeFromNib();
    const QString picture = photo("listed.jpg");
    {
        auto document = handler.openDocumentWithContentsOfURL(picture, false, nullptr);
        ASSERT_TRUE(document);
        document->makeWindowControllers();
        ASSERT_TRUE(save(*document, picture, "jpeg", pf::Document::SaveOperation::Autosave).succeeded);
        document->close();
    }
    handler.displayWelcomeScreen();
    pf::Window* window = handler.welcomeWindow()->window();
    GMGridViewController* grid = handler.welcomeWindow()->grid();
    ASSERT_TRUE(spinUntil([&] { return window->isVisible() && grid->picturesPending() == 0; }));
    const QString context = QFileInfo(picture).absoluteFilePath();
    GMGridItem* tile = grid->gridItemForContext(context);
    ASSERT_TRUE(tile);
    EXPECT_TRUE(tile->hasPicture()) << "the preview of the save";
    EXPECT_TRUE(tile->title().startsWith(QStringLiteral("listed \u2014 ")))
        << "the name set apart from the date";
    EXPECT_FALSE(tile->title().contains('\n')) << "one line under the picture";
    auto* heading =
        dynamic_cast<OVBoxView*>(grid->backgroundOfSection(handler.welcomeWindow()->sectionRecent()));
    ASSERT_TRUE(heading);
    EXPECT_EQ(heading->title(), "RECENT PICTURES");
    EXPECT_TRUE(heading->isVisible());

    // A real click on the tile, through the window, opens the picture once.
    QCoreApplication::processEvents();
    const QPoint at = tile->mapTo(window, tile->rect().center());
    QTest::mouseMove(window->windowHandle(), at);
    QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, at);
    ASSERT_TRUE(spinUntil([&] { return !handler.documents().empty(); })) << "a click opens";
    EXPECT_EQ(handler.documents().size(), 1u);
    handler.documents().front()->close();
    handler.welcomeWindow()->setRecentItems({});
    EXPECT_TRUE(heading->isHidden() && heading->title().isEmpty()) << "no heading over no pictures";

    QList<pf::FilePanel::FileType> offered;
    pf::FilePanel::setResponder([&](const pf::FilePanel& panel) {
        offered = panel.fileTypes;
        return QStringList();
    });
    handler.openDocument();
    ASSERT_GE(offered.size(), 4);
    EXPECT_TRUE(offered[0].extensions.contains("glimora") && offered[0].extensions.contains("jpg") &&
                offered[0].extensions.contains("png"))
        << "first, everything that opens together";
    EXPECT_EQ(offered[1].extensions, QStringList{"glimora"}) << "then the document type";
    for (const auto& type : offered)
        EXPECT_FALSE(type.extensions.contains("*")) << "no bare All Files";
    handler.welcomeWindow()->window()->orderOut();
}

// The editor window opens where the last one was closed, unless that place is no longer on a screen.
TEST(EditorWindowFrame, ARememberedFrameIsUsedOnlyWhereItCanBeSeen)
{
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const QSize minimum(screen.width() / 4, screen.height() / 4);
    const QSize size(screen.width() / 2, screen.height() / 2);
    struct Case
    {
        QString stored;
        bool used;
    };
    const auto frame = [](int x, int y, QSize s) {
        return QStringLiteral("%1 %2 %3 %4").arg(x).arg(y).arg(s.width()).arg(s.height());
    };
    const Case cases[] = {
        {frame(screen.x() + 10, screen.y() + 10, size), true},
        {frame(screen.right() + 5000, screen.y(), size), false}, // on a screen that is gone
        {frame(screen.x() + 10, screen.y() - 2000, size), false},
        {frame(screen.x(), screen.y(), minimum / 2), false}, // smaller than the window may be
        {"10 20 wide", false},
        {"", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored.toStdString());
        pf::UserDefaults::standard().setString(GMEditorWindowController::frameKey, c.stored);
        EXPECT_EQ(!GMEditorWindowController::rememberedFrame(minimum).isNull(), c.used);
    }
    pf::UserDefaults::standard().removeObject(GMEditorWindowController::frameKey);
}

// Mended: File ▸ Export proposed the application's own document kind for an untitled photo (a sample).
// An export hands a picture on: it proposes the photo's kind, chosen from the menu of the window.
TEST_F(Menus, ExportProposesThePhotosKind)
{
    GMApplicationDelegate delegate;
    DocumentHandler& handler = capableHandler(delegate);
    struct Case
    {
        const char* what;
        const char* file;
        bool untitled;
        QString proposed; // the first extension of the type chosen in the panel
    };
    const Case cases[] = {
        {"a JPEG photo", "export.jpg", false, "jpg"},
        {"a PNG photo", "export.png", false, "png"},
        {"untitled, from a JPEG sample", "sample.jpg", true, "jpg"},
        {"untitled, from a PNG", "sample.png", true, "png"},
    };
    m_photoFormat = nullptr; // each written as its name says
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString path = photo(QString::fromLatin1(c.file));
        std::shared_ptr<pf::Document> document;
        if (c.untitled) {
            auto untitled = std::make_shared<GMDocument>();
            untitled->setDocumentController(&handler);
            ASSERT_TRUE(untitled->readSampleImage(path, nullptr));
            untitled->setFileType(GMDocumentPackage::typeName);
            handler.addDocument(untitled);
            untitled->showWindows();
            document = untitled;
        } else {
            QString error;
            document = handler.openDocumentWithContentsOfURL(path, true, &error);
            ASSERT_TRUE(document) << error.toStdString();
        }
        ASSERT_TRUE(spinUntil([&] { return document->window() && document->window()->isVisible(); }));
        QString proposed;
        pf::FilePanel::setResponder([&](const pf::FilePanel& panel) {
            proposed = panel.fileTypes.value(panel.selectedFileType).extensions.value(0);
            return QStringList();
        });
        front(document->window());
        itemOf(barOf(document->window()), "File", "Export…")->trigger();
        EXPECT_EQ(proposed, c.proposed);
        pf::FilePanel::setResponder({});
        document->close();
    }
}

// Mended: Tips & Tricks and the Frame Builder opened low at the screen's left, wherever the window they
// were asked from stood. Each opens centred over that window, within the screen, from its menu item.
TEST_F(Menus, WindowsFromTheMenusOpenOverTheWindowTheyWereAskedFrom)
{
    GMApplicationDelegate delegate;
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    struct Case
    {
        const char* item;
        std::function<pf::Window*()> opened;
    };
    const Case cases[] = {
        {"Tips & Tricks", [] { return OVInformationCatalog::sharedInformationCatalog()->window(); }},
        {"Frame Builder…", [] { return OVFrameBuilder::sharedFrameBuilder().window(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.item);
        pf::Window front(pf::Rect(0, 0, 1100, 700));
        front.setGeometry(QRect(screen.topLeft() + QPoint(screen.width() / 2 - 450, 40), QSize(1100, 700))
                              .intersected(screen));
        front.makeKeyAndOrderFront();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&front));
        QAction* item = delegate.action(QString::fromUtf8(c.item).replace("&", "&&"));
        if (!item)
            item = delegate.action(QString::fromUtf8(c.item));
        ASSERT_TRUE(item);
        item->trigger();
        pf::Window* opened = c.opened();
        ASSERT_TRUE(opened && QTest::qWaitForWindowExposed(opened));
        // Over the window in front (the screen of a test may be smaller than the window): its title bar
        // within the screen, and centred on that window wherever the screen leaves room (give or take the
        // menu bar, which the window takes on as it shows).
        const QRect frame = opened->frameGeometry(), under = front.frameGeometry();
        EXPECT_TRUE(frame.contains(under.center()));
        EXPECT_GE(frame.top(), screen.top());
        EXPECT_GE(frame.left(), screen.left());
        if (frame.width() <= screen.width()) {
            EXPECT_TRUE(frame.right() <= screen.right() &&
                        (std::abs(frame.center().x() - under.center().x()) <= 4 ||
                         frame.right() == screen.right() || frame.left() == screen.left()));
        }
        if (frame.height() <= screen.height()) {
            EXPECT_TRUE(frame.bottom() <= screen.bottom() &&
                        (std::abs(frame.center().y() - under.center().y()) <= 24 ||
                         frame.bottom() == screen.bottom() || frame.top() == screen.top()));
        }
        opened->close();
        QCoreApplication::processEvents();
    }
}

// Help ▸ Reset Tips says what it did: nothing on screen changes by it.
TEST_F(Menus, ResetTipsSaysWhatItDid)
{
    GMApplicationDelegate delegate;
    pf::UserDefaults::standard().setValue(QStringLiteral("DontShowAgain"), QVariantMap{{"Retouching", 1}});
    ASSERT_FALSE(OVInformationPanel::shouldShowMessageWithTitle(QStringLiteral("Retouching")));
    delegate.action("Reset Tips")->trigger();
    EXPECT_TRUE(OVInformationPanel::shouldShowMessageWithTitle(QStringLiteral("Retouching")));
    EXPECT_EQ(m_alerts, QStringList{"The tips will show again"});
}

// A new document window steps down and right of one it would cover, and starts again at the top left
// of the screen when it would reach past it.
TEST(EditorWindowCascade, ANewWindowShowsTheTitleBarsOfThoseBeneath)
{
    const QRect available(0, 30, 1200, 800);
    const QRect frame(100, 100, 600, 400);
    const int step = GMWindowCascade::step;
    struct Case
    {
        const char* what;
        QRect frame;
        QList<QPoint> others;
        QPoint expected;
    };
    const Case cases[] = {
        {"alone", frame, {}, {100, 100}},
        {"elsewhere on the screen", frame, {{500, 300}}, {100, 100}},
        {"over one", frame, {{100, 100}}, {100 + step, 100 + step}},
        {"over one a few pixels off", frame, {{104, 97}}, {100 + step, 100 + step}},
        {"over a cascade of two",
         frame,
         {{100 + step, 100 + step}, {100, 100}},
         {100 + 2 * step, 100 + 2 * step}},
        {"at the bottom of the screen", QRect(100, 430, 600, 400), {{100, 430}}, {0, 30}},
        {"at the bottom, the top left taken",
         QRect(100, 430, 600, 400),
         {{100, 430}, {0, 30}},
         {step, 30 + step}},
        // Mended: a window larger than the screen went back to its top left at every step, onto the
        // window already there. Its title bar kept on the screen, it is compared with the others there.
        {"larger than the screen, over a cascade of two",
         QRect(-50, -20, 1300, 900),
         {{0, 30}, {step, 30 + step}},
         {2 * step, 30 + 2 * step}},
        {"larger than the screen, alone", QRect(-50, -20, 1300, 900), {}, {0, 30}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(GMWindowCascade::cascadedOrigin(c.frame, c.others, available), c.expected);
    }
}

// Mended: from the seventh window on a cascade started again with the window's content, not its frame, at
// the screen's top left, and the window manager's title bar lay above the screen, out of reach (and that
// place was remembered for the next run). Windows of real sizes on real screens, each framed with a
// title bar: every title bar of the cascade lies on the screen, and a window found above it (restored
// from an earlier run) is moved onto it.
TEST(EditorWindowCascade, EveryTitleBarStaysOnTheScreen)
{
    struct Case
    {
        QRect available;
        QSize window;
        QMargins frame;
    };
    const Case cases[] = {
        {QRect(0, 0, 1280, 800), QSize(1100, 700), QMargins(1, 29, 1, 1)},
        {QRect(0, 24, 1920, 1056), QSize(1280, 800), QMargins(4, 30, 4, 4)},
        {QRect(0, 0, 1024, 768), QSize(900, 560), QMargins(0, 22, 0, 0)},
        {QRect(1920, 0, 1440, 900), QSize(1200, 760), QMargins(2, 26, 2, 2)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.window.width() << " x " << c.window.height() << " on "
                                        << c.available.width() << " x " << c.available.height());
        QList<QPoint> others;
        QRect frame(c.available.topLeft() + QPoint(c.frame.left() + 40, c.frame.top() + 30), c.window);
        for (int i = 0; i < 12; ++i) {
            const QPoint at = GMWindowCascade::cascadedOrigin(frame, others, c.available, c.frame);
            const QRect outer = QRect(at, c.window).marginsAdded(c.frame);
            EXPECT_GE(outer.top(), c.available.top()) << "window " << i + 1;
            EXPECT_GE(outer.left(), c.available.left()) << "window " << i + 1;
            others << at;
        }
    }

    // Mended: a window wider than its screen (the editor's smallest window on a small screen) kept its
    // left end past the screen's left edge, and with it the menus and the title bar's buttons.
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const QSize small(600, 400), wide(screen.width() + 160, 400);
    struct Placed
    {
        const char* what;
        QSize size;
        QPoint at;
        QPoint expected;
    };
    const Placed placed[] = {
        {"on the screen", small, screen.topLeft() + QPoint(50, 60), screen.topLeft() + QPoint(50, 60)},
        {"above it", small, screen.topLeft() + QPoint(50, -25), screen.topLeft() + QPoint(50, 0)},
        {"past its left edge", small, screen.topLeft() + QPoint(-30, 10), screen.topLeft() + QPoint(0, 10)},
        {"wider than the screen, past its left edge", wide, screen.topLeft() + QPoint(-80, 20),
         screen.topLeft() + QPoint(0, 20)},
        {"wider than the screen, above it and past its left edge", wide, screen.topLeft() + QPoint(-81, -30),
         screen.topLeft()},
        {"wider than the screen, its right end past the screen", wide, screen.topLeft() + QPoint(0, 40),
         screen.topLeft() + QPoint(0, 40)},
    };
    for (const Placed& p : placed) {
        SCOPED_TRACE(p.what);
        pf::Window window(pf::Rect(0, 0, 600, 400));
        window.setMinimumSize(p.size);
        window.setGeometry(QRect(p.at, p.size));
        GMWindowCascade::keepTitleBarOnScreen(&window);
        // The frame's corner (without a window manager, the content's) is where it must be.
        EXPECT_EQ(window.frameGeometry().topLeft(), p.expected);
    }
}

// Mended: a cascade started again at the screen's top left put new windows within half a step of
// earlier ones (1440 x 1000: the seventh over the sixth's place, the eighth and ninth exactly on the
// fourth and fifth; 1280 x 800: two places in turn), hiding their title bars entirely. Windows of real
// sizes framed as a window manager frames them: none lands on the place of one before it while the
// screen has a free place.
TEST(EditorWindowCascade, NoWindowLandsOnAnotherWhileTheScreenHasRoom)
{
    struct Case
    {
        const char* what;
        QRect available;
        QRect first; // the first window's content rectangle
        QMargins frame;
        int windows;
    };
    const Case cases[] = {
        {"1440 x 1000, 1280 x 800 windows", QRect(0, 0, 1440, 1000), QRect(79, 99, 1280, 800),
         QMargins(1, 20, 1, 1), 9},
        {"1920 x 1080, 1280 x 800 windows", QRect(0, 0, 1920, 1080), QRect(319, 139, 1280, 800),
         QMargins(1, 20, 1, 1), 12},
        {"1280 x 800, 1240 x 740 windows", QRect(0, 0, 1280, 800), QRect(19, 29, 1240, 740),
         QMargins(1, 20, 1, 1), 4},
        {"1024 x 768 below a panel, 900 x 560 windows", QRect(0, 32, 1024, 736), QRect(62, 120, 900, 560),
         QMargins(4, 30, 4, 4), 12},
        {"a second screen, 1200 x 760 windows", QRect(1920, 0, 1440, 900), QRect(2040, 60, 1200, 760),
         QMargins(2, 26, 2, 2), 12},
        // The editor's smallest window, centred on a small screen: larger than it both ways.
        {"800 x 600, 960 x 640 windows", QRect(0, 0, 800, 600), QRect(-80, -20, 960, 640),
         QMargins(1, 20, 1, 1), 6},
    };
    const int half = GMWindowCascade::step / 2;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QList<QPoint> others;
        for (int i = 0; i < c.windows; ++i) {
            const QPoint at = GMWindowCascade::cascadedOrigin(c.first, others, c.available, c.frame);
            for (const QPoint& other : others)
                EXPECT_FALSE(std::abs(other.x() - at.x()) < half && std::abs(other.y() - at.y()) < half)
                    << "window " << i + 1 << " at " << at.x() << "," << at.y() << " covers the one at "
                    << other.x() << "," << other.y();
            // On the screen, or at least its title bar where the window is larger than the screen.
            const QRect outer = QRect(at, c.first.size()).marginsAdded(c.frame);
            EXPECT_TRUE(c.available.contains(outer) ||
                        (outer.top() >= c.available.top() && outer.left() >= c.available.left() &&
                         !c.available.contains(QRect(c.available.topLeft(), outer.size()))))
                << "window " << i + 1 << " leaves the screen";
            others << at;
        }
    }
}

// Mended: editor windows restored together each asked for the first-run sheet after their first event,
// and it could come up in several. It shows once a run, over the window in front; and each window of the
// run steps aside from those before it, though no window's frame is remembered yet.
TEST_F(Menus, WindowsRestoredTogetherShowTheFirstRunSheetOnceOverTheFrontOne)
{
    GMApplicationDelegate delegate;
    DocumentHandler& handler = capableHandler(delegate);
    GMDocument::setWindowControllerFactory([](GMDocument& document) {
        return std::make_shared<GMEditorWindowController>(document.weak_from_this());
    });
    // Sheets an earlier test left open are not this run's.
    for (OVInformationPanel* panel : OVInformationPanel::openPanels())
        panel->cancel();
    pf::UserDefaults& defaults = pf::UserDefaults::standard();
    defaults.removeObject(GMEditorWindowController::frameKey);
    const QVariant dontShow = defaults.value(OVInformationPanel::dontShowAgainKey);
    OVInformationPanel::resetAllDontShows();
    QVariantList open;
    for (const char* name : {"first.png", "second.png", "third.png"})
        open << QVariantMap{{"url", photo(name)}, {"edited", false}};
    defaults.setValue("OpenDocuments", open);
    defaults.setBool("SessionRunning", false);

    ASSERT_EQ(handler.reopenDocumentsOfLastSession(), 3);
    const auto documents = handler.documents();
    ASSERT_EQ(documents.size(), 3u);
    ASSERT_TRUE(spinUntil([&] {
        return std::all_of(documents.begin(), documents.end(), [](const auto& document) {
            return document->window() && document->window()->isVisible();
        });
    }));
    // Every window has had its first events.
    spinUntil([] { return false; }, 1500);
    const QList<OVInformationPanel*> sheets = OVInformationPanel::openPanels();
    ASSERT_EQ(sheets.size(), 1);
    ASSERT_TRUE(sheets.first()->loadedWindow());
    EXPECT_EQ(sheets.first()->loadedWindow()->parentWindow(), documents.back()->window())
        << "over the window in front";
    for (size_t i = 0; i < documents.size(); ++i)
        for (size_t j = i + 1; j < documents.size(); ++j) {
            const QPoint d =
                documents[j]->window()->geometry().topLeft() - documents[i]->window()->geometry().topLeft();
            EXPECT_TRUE(std::abs(d.x()) >= GMWindowCascade::step / 2 ||
                        std::abs(d.y()) >= GMWindowCascade::step / 2)
                << i << " and " << j << " lie on one another";
        }
    sheets.first()->cancel();
    for (const auto& document : documents)
        document->close();
    defaults.setValue(OVInformationPanel::dontShowAgainKey, dontShow);
    // A sheet asked for by a window that came to the front while the others closed goes with this test:
    // left open, the next test (or this one repeated) would count it as its own.
    spinUntil([] { return false; }, 200);
    for (OVInformationPanel* panel : OVInformationPanel::openPanels())
        panel->cancel();
}

// The Window menu lists the open documents as their title bars name them, the edited one marked and the
// front one checked; choosing one brings its window to the front.
TEST_F(Menus, TheWindowMenuListsTheOpenDocumentsAndBringsOneToTheFront)
{
    GMApplicationDelegate delegate;
    DocumentHandler& handler = delegate.documentHandler();
    handler.setGraphicsInfoForTesting({true, true, qint64(1) << 30, 1, "test"});
    std::vector<std::shared_ptr<pf::Document>> documents;
    for (const char* name : {"first.png", "second.png"}) {
        QString error;
        documents.push_back(handler.openDocumentWithContentsOfURL(photo(name), true, &error));
        ASSERT_TRUE(documents.back()) << error.toStdString();
        ASSERT_TRUE(
            spinUntil([&] { return documents.back()->window() && documents.back()->window()->isVisible(); }));
    }
    auto chain = std::static_pointer_cast<GMDocument>(documents[1])->windowController()->toolChain();
    chain->insertPhotoToolWithBlueprint(chaintest::grey(), std::nullopt, 0);
    front(documents[1]->window());
    QCoreApplication::processEvents();

    QMenu* menu = menuOf(barOf(documents[0]->window()), "Window");
    ASSERT_TRUE(menu);
    const auto listed = [&] {
        emit menu->aboutToShow();
        QStringList items;
        for (QAction* action : menu->actions())
            if (!action->isSeparator() && action->isCheckable())
                items << action->text() + (action->isChecked() ? " (front)" : "");
        return items;
    };
    EXPECT_EQ(listed(), (QStringList{"first", "second* (front)"}));
    EXPECT_EQ(listed().size(), 2) << "opening the menu again lists each once";
    for (QAction* action : menu->actions())
        if (action->text() == "first")
            action->trigger();
    QCoreApplication::processEvents();
    EXPECT_TRUE(documents[0]->window()->isKeyWindow());
    EXPECT_EQ(listed(), (QStringList{"first (front)", "second*"}));
    documents[1]->updateChangeCount(pf::Document::Change::Cleared);
    for (const auto& document : documents)
        document->close();
}

// Quit writes every document's changes as closing would, remembers them for the next launch, closes
// every window and ends the process: with two documents and with three, one of them untitled.
TEST_F(Menus, QuitWritesEveryDocumentClosesEveryWindowAndEnds)
{
    for (int count : {2, 3}) {
        SCOPED_TRACE(count);
        QTemporaryDir area;
        const QString defaults = area.filePath("defaults.conf");
        QStringList photos;
        for (int i = 0; i < count - 1; ++i)
            photos << photo(QStringLiteral("quit-%1-%2.jpg").arg(count).arg(i));
        ChildProcess child;
        ASSERT_TRUE(child.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=MenusChild.Quit"},
                                {{"GLIMORA_QUIT_PHOTOS", photos.join('\n')},
                                 {"PF_APPLICATION_SUPPORT_DIR", area.filePath("app")},
                                 {"PF_USER_DEFAULTS_FILE", defaults}}));
        const bool ended = spinUntil([&] { return !child.isRunning(); }, 60000);
        ASSERT_TRUE(ended) << "the process ends\n" << child.errors().toStdString();
        EXPECT_EQ(child.exitCode(), 0) << child.output().toStdString() << child.errors().toStdString();
        EXPECT_TRUE(child.output().contains("windows closed: yes")) << child.output().toStdString();

        // Every picture's edits are in its shadow copy; the untitled one was autosaved; all are
        // remembered for the next launch.
        pf::FileSystem::setApplicationSupportDirectoryForTesting(area.filePath("app"));
        const QVariantMap registry = GMFileUtilities::shadowCopyDictionary();
        for (const QString& path : photos)
            EXPECT_TRUE(registry.contains(GMDocument::shadowCopyKey(path))) << path.toStdString();
        pf::UserDefaults remembered(defaults);
        const QVariantList open = remembered.arrayForKey("OpenDocuments");
        EXPECT_EQ(open.size(), count);
        int untitled = 0;
        for (const QVariant& entry : open)
            if (entry.toMap().contains("autosave")) {
                ++untitled;
                EXPECT_TRUE(QFileInfo(entry.toMap().value("autosave").toString()).isDir());
            }
        EXPECT_EQ(untitled, 1);
        pf::FileSystem::setApplicationSupportDirectoryForTesting(m_dir.filePath("app"));
    }
}

// Mended: quitting with Don't Save put the editor windows away and then kept each photo's changes only
// once its window's busy panel had slid in (0.6 s, unseen), and the process ended that much later. Work
// behind a window put away waits for no slide: with no time passing, the changes are kept and the quit
// goes on.
TEST_F(Menus, QuittingKeepsTheChangesWithoutWaitingForASlideNoOneSees)
{
    GMApplicationDelegate delegate;
    DocumentHandler& handler = capableHandler(delegate);
    GMDocument::setWindowControllerFactory([](GMDocument& document) {
        return std::make_shared<GMEditorWindowController>(document.weak_from_this());
    });
    // A person who has seen the first window's help sheet (whatever tests before reset).
    pf::UserDefaults& defaults = pf::UserDefaults::standard();
    const QVariant dontShow = defaults.value(OVInformationPanel::dontShowAgainKey);
    defaults.setValue(OVInformationPanel::dontShowAgainKey,
                      QVariantMap{{GMEditorWindowController::firstRunTopic, 1}});
    const auto restore =
        qScopeGuard([&] { defaults.setValue(OVInformationPanel::dontShowAgainKey, dontShow); });
    const QString path = photo("unseen.png");
    const auto document = openInEditor(handler, path);
    ASSERT_TRUE(document);
    document->windowController()->toolChain()->insertPhotoToolWithBlueprint(chaintest::grey(), std::nullopt,
                                                                            0);
    QCoreApplication::processEvents();
    ASSERT_TRUE(document->isDocumentEdited());
    pf::Alert::setResponder([&](const pf::Alert& alert) {
        m_alerts << alert.messageText;
        return pf::Alert::firstButtonReturn +
               int(std::max<qsizetype>(0, alert.buttons().indexOf(QStringLiteral("Don't Save"))));
    });
    std::optional<bool> quits;
    bool keptAtOnce = false;
    {
        // From here on no time passes but what the test steps: none.
        pf::SteppedClock clock;
        handler.reviewUnsavedDocumentsAndQuit([&](bool answer) { quits = answer; });
        EXPECT_FALSE(document->window()->isVisible()) << "the window goes at once";
        spinUntil(
            [&] {
                clock.advance(0);
                return quits.has_value();
            },
            10000);
        keptAtOnce = quits.has_value();
        // What was scheduled on this clock (the unseen panel's slides) ends before it goes, leaving no
        // animation half run for the tests after.
        clock.advance(2);
    }
    ASSERT_TRUE(keptAtOnce) << "the changes were kept only once time passed for the busy panel";
    ASSERT_TRUE(quits.has_value());
    EXPECT_TRUE(*quits) << m_alerts.join('\n').toStdString();
    EXPECT_EQ(m_alerts.size(), 1) << m_alerts.join('\n').toStdString();
    EXPECT_TRUE(GMFileUtilities::shadowCopyDictionary().contains(GMDocument::shadowCopyKey(path)))
        << "the changes are kept";
    document->close();
}

// Mended: quitting with Don't Save waited for every mask snapshot still being written, also for those
// nobody keeps: a healed spot undone just before Ctrl+Q (its colour picture took seconds to write over a
// large photo) held the process that long after the answer. The changes kept are written first; a
// snapshot nobody keeps is skipped, never written after its folder went, and the next start opens what
// was kept.
TEST_F(Menus, QuittingDoesNotWaitForASnapshotNobodyKeeps)
{
    GMApplicationDelegate delegate;
    DocumentHandler& handler = capableHandler(delegate);
    GMDocument::setWindowControllerFactory([](GMDocument& document) {
        return std::make_shared<GMEditorWindowController>(document.weak_from_this());
    });
    // The shipped healing effect, and a person who has seen the first window's help sheet.
    GMDocument::setBlueprintCatalog(&GMBlueprintCatalog::sharedInstance());
    pf::UserDefaults& defaults = pf::UserDefaults::standard();
    const QVariant dontShow = defaults.value(OVInformationPanel::dontShowAgainKey);
    defaults.setValue(OVInformationPanel::dontShowAgainKey,
                      QVariantMap{{GMEditorWindowController::firstRunTopic, 1}});
    // A write held as a slow one is, until the test lets it go (or long after any quit should be over).
    std::mutex gateMutex;
    std::condition_variable gateOpened;
    bool released = false, held = false, heldTooLong = false;
    OVBrushPathImage::setWriteGateForTesting([&] {
        std::unique_lock lock(gateMutex);
        held = true;
        if (!gateOpened.wait_for(lock, std::chrono::seconds(8), [&] { return released; }))
            heldTooLong = true;
    });
    const auto release = [&] {
        std::lock_guard lock(gateMutex);
        released = true;
        gateOpened.notify_all();
    };
    const auto restore = qScopeGuard([&] {
        release();
        OVBrushPathImage::waitForPendingWrites();
        OVBrushPathImage::setWriteGateForTesting({});
        defaults.setValue(OVInformationPanel::dontShowAgainKey, dontShow);
        GMDocument::setBlueprintCatalog(&doctest::catalog());
    });
    {
        // Until the spot to keep is healed, writes go through.
        std::lock_guard lock(gateMutex);
        released = true;
    }
    m_photoSize = QSize(300, 200);
    const QString path = photo("spots.jpg");
    const auto document = openInEditor(handler, path);
    ASSERT_TRUE(document);
    auto* editorWindow = dynamic_cast<GMEditorWindowController*>(document->windowController().get());
    ASSERT_TRUE(editorWindow);
    GMWindowController& editor = editorWindow->editor();
    // "Heal Blemishes" chosen in the effects browser, then strokes of its brush over the canvas.
    editor.effectBrowserControllerAddPhotoTool(nullptr, QStringLiteral("BlemishHealing"));
    const auto chain = document->windowController()->toolChain();
    ASSERT_EQ(chain->numberOfTools(), 2);
    const auto mask = chain->brushPathImageAtIndex(1);
    const auto heal = [&](pf::Point spot) {
        const qsizetype before = mask->segmentImageNames().size();
        editor.drawSenderBrushDownAtPoint(nullptr, spot);
        for (int i = 1; i <= 3; ++i)
            editor.drawSenderBrushDraggedAtPoint(nullptr, pf::Point(spot.x + i * 0.01, spot.y));
        editor.drawSenderBrushUpAtPoint(nullptr, pf::Point(spot.x + 0.03, spot.y));
        return spinUntil([&] { return mask->segmentImageNames().size() > before; });
    };
    ASSERT_TRUE(heal(pf::Point(0.3, 0.4)));
    OVBrushPathImage::waitForPendingWrites();
    QTest::qWait(100);
    const QString kept = mask->segmentImageNames().last();
    {
        std::lock_guard lock(gateMutex);
        released = false;
    }
    ASSERT_TRUE(heal(pf::Point(0.6, 0.6)));
    const QString undone = mask->segmentImageNames().last();
    ASSERT_TRUE(spinUntil([&] {
        std::lock_guard lock(gateMutex);
        return held;
    }));
    delegate.action("Undo")->trigger();
    ASSERT_EQ(mask->segmentImageNames().last(), kept);

    pf::Alert::setResponder([&](const pf::Alert& alert) {
        m_alerts << alert.messageText;
        return pf::Alert::firstButtonReturn +
               int(std::max<qsizetype>(0, alert.buttons().indexOf(QStringLiteral("Don't Save"))));
    });
    delegate.action("Quit")->trigger();
    ASSERT_TRUE(spinUntil([&] { return handler.documents().empty(); })) << m_alerts.join('\n').toStdString();
    // The quit ends the main loop, which the application's main runs (here: for one turn, which also lets
    // the modal loops of the tests after run again), and then does what the application does as it ends.
    QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
    EXPECT_EQ(QCoreApplication::exec(), 0);
    delegate.applicationWillTerminate();
    {
        std::lock_guard lock(gateMutex);
        EXPECT_FALSE(heldTooLong) << "the quit waited for the undone stroke's snapshot";
    }
    release();
    OVBrushPathImage::waitForPendingWrites();
    EXPECT_FALSE(QFileInfo::exists(OVBrushPathImage::urlForFileName(undone)))
        << "the skipped snapshot was written after all";
    EXPECT_EQ(m_alerts.size(), 1) << m_alerts.join('\n').toStdString();

    // The next start: the healed spot kept, and nothing else taken for a record of work.
    EXPECT_FALSE(handler.previousSessionDidNotQuit());
    EXPECT_TRUE(QDir(pf::DocumentController::recoveryFolder())
                    .entryList(QDir::AllEntries | QDir::NoDotAndDotDot)
                    .isEmpty());
    QString error;
    const auto again =
        std::static_pointer_cast<GMDocument>(handler.openDocumentWithContentsOfURL(path, true, &error));
    ASSERT_TRUE(again) << error.toStdString();
    ASSERT_TRUE(spinUntil([&] {
        return again->windowController() && again->windowController()->toolChain() && !again->isOpening() &&
               again->pendingLayerCount() == 0;
    }));
    const auto reopened = again->windowController()->toolChain();
    ASSERT_EQ(reopened->numberOfTools(), 2);
    const OVContentContainerPtr healed = reopened->brushPathImageAtIndex(1)->contentContainer();
    ASSERT_TRUE(healed);
    EXPECT_FALSE(healed->additionalImageContainer()->bitmap().isNull()) << "the healed spot is kept";
    pf::Alert::setResponder([](const pf::Alert&) { return pf::Alert::firstButtonReturn + 2; });
    again->close();
}

// Run by the test above in a process of its own: opens the photos and a sample, edits each, quits.
TEST(MenusChild, Quit)
{
    const QString photos = qEnvironmentVariable("GLIMORA_QUIT_PHOTOS");
    if (photos.isEmpty())
        GTEST_SKIP() << "run by QuitWritesEveryDocumentClosesEveryWindowAndEnds";
    prepareChildProcess();
    GMApplicationDelegate delegate;
    DocumentHandler& handler = capableHandler(delegate);
    for (const QString& path : photos.split('\n')) {
        QString error;
        ASSERT_TRUE(handler.openDocumentWithContentsOfURL(path, true, &error)) << error.toStdString();
    }
    const QString sample = QFileInfo(photos.split('\n').first()).absolutePath() + "/sample-copy.jpg";
    QFile::copy(photos.split('\n').first(), sample);
    auto untitled = std::make_shared<GMDocument>();
    untitled->setDocumentController(&handler);
    ASSERT_TRUE(untitled->readSampleImage(sample, nullptr));
    untitled->setFileType(GMDocumentPackage::typeName);
    handler.addDocument(untitled);
    untitled->showWindows();
    for (const auto& document : handler.documents()) {
        auto gm = std::static_pointer_cast<GMDocument>(document);
        ASSERT_TRUE(spinUntil([&] { return gm->windowController() && gm->windowController()->toolChain(); }));
        gm->windowController()->toolChain()->insertPhotoToolWithBlueprint(chaintest::grey(), std::nullopt, 0);
    }
    QCoreApplication::processEvents();
    QList<QPointer<QWidget>> windows;
    for (const auto& document : handler.documents())
        windows << QPointer<QWidget>(document->window());
    delegate.action("Quit")->trigger();
    const int code = QCoreApplication::exec();
    bool closed = true;
    for (const auto& window : windows)
        closed = closed && (!window || !window->isVisible());
    std::printf("windows closed: %s\n", closed ? "yes" : "no");
    std::fflush(stdout);
    EXPECT_EQ(code, 0);
}

// Mended: a photo that does not decode (a JPEG cut short behind a sound header) chosen in File ▸ Open
// showed nothing: a large one's failure was a sheet of its editor window, which closed with it. Every
// failure to open is shown where the user sees it, small photos (read at once) and large ones (read in
// the background) alike, and the welcome window is back.
TEST_F(Menus, AFailureToOpenIsShownWhereTheUserSeesIt)
{
    GMApplicationDelegate delegate;
    DocumentHandler& handler = capableHandler(delegate);
    GMDocument::setWindowControllerFactory([](GMDocument& document) {
        return std::make_shared<GMEditorWindowController>(document.weak_from_this());
    });
    handler.displayWelcomeScreen();
    pf::Window* welcome = handler.welcomeWindow()->window();
    ASSERT_TRUE(spinUntil([&] { return welcome->isVisible(); }));
    // The real alerts, as the user meets them: an alert counts once it is on screen, over no window or
    // over one that is (a sheet of a window that went is seen by no one), and stays long enough to read.
    pf::Alert::setResponder({});
    QStringList seen;
    QPointer<QMessageBox> showing;
    QElapsedTimer shownFor;
    QTimer look;
    look.setInterval(20);
    QObject::connect(&look, &QTimer::timeout, [&] {
        QMessageBox* box = nullptr;
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* candidate = qobject_cast<QMessageBox*>(widget);
                candidate && candidate->isVisible() &&
                (!candidate->parentWidget() || candidate->parentWidget()->window()->isVisible()))
                box = candidate;
        if (box != showing) {
            showing = box;
            shownFor.start();
        } else if (box && shownFor.elapsed() > 300) {
            seen << box->text();
            box->buttons().first()->click();
            showing = nullptr;
        }
    });
    look.start();
    const struct
    {
        const char* what;
        QSize size;
    } cases[] = {
        {"a small photo, read at once", QSize(64, 48)},
        {"a large photo, read in the background", QSize(2400, 1700)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const QString path = m_dir.filePath(QStringLiteral("cut-%1.jpg").arg(c.size.width()));
        QImage picture(c.size, QImage::Format_RGB32);
        for (int y = 0; y < c.size.height(); ++y)
            for (int x = 0; x < c.size.width(); ++x)
                picture.setPixel(x, y, qRgb(x * 255 / c.size.width(), y * 255 / c.size.height(), 90));
        ASSERT_TRUE(picture.save(path, "JPEG", 90));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.resize(file.size() / 3)) << "cut short behind its header";
        file.close();
        pf::FilePanel::setResponder([&](const pf::FilePanel&) { return QStringList{path}; });
        seen.clear();
        itemOf(barOf(welcome), "File", "Open…")->trigger();
        EXPECT_TRUE(spinUntil([&] { return !seen.isEmpty(); }, 20000)) << "no alert was seen";
        EXPECT_EQ(seen,
                  QStringList{QStringLiteral("“%1” could not be opened.").arg(QFileInfo(path).fileName())});
        EXPECT_TRUE(spinUntil([&] { return handler.documents().empty(); }));
        EXPECT_TRUE(spinUntil([&] { return welcome->isVisible(); })) << "the welcome window is back";
    }
    look.stop();
    welcome->orderOut();
}
