#include "Classes/Document/DocumentHandler.h"
#include "Classes/Document/GMApplicationDelegate.h"
#include "Classes/Document/GMScenePreviewChooser.h"
#include "Classes/Document/GMScenePreviewWindow.h"
#include "Classes/Frames/OVImageCatalog.h"
#include "Classes/Frames/OVWindowDrawer.h"
#include "Classes/Framework/Toolkit/OVGridItem.h"
#include "Classes/Framework/Toolkit/OVGridViewController.h"
#include "DocumentTestSupport.h"
#include "Platform/Foundation/FileSystem.h"
#include "Platform/Foundation/UserDefaults.h"

#include <QAction>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace doctest;

// Extras ▸ Scene Preview… opens the catalog on the backgrounds over the document's window; the background
// chosen there opens a scene preview of the document's picture, let go when its window closes.
TEST(GMScenePreviewChooser, TheMenuItemOpensTheCatalogAndAChoiceOpensAScene)
{
    QTemporaryDir dir;
    const QString previous = pf::FileSystem::applicationSupportDirectory();
    pf::FileSystem::setApplicationSupportDirectoryForTesting(dir.filePath("app"));
    pf::UserDefaults::standard().removeObject("RecentDocuments");
    GMDocument::setWindowControllerFactory(
        [](GMDocument&) { return std::make_shared<GMPreviewWindowController>(true); });
    {
        GMApplicationDelegate delegate;
        DocumentHandler& handler = delegate.documentHandler();
        handler.setGraphicsInfoForTesting({true, true, qint64(1) << 30, 1, "test"});
        const QString photo = dir.filePath("scene.png");
        QImage image(60, 40, QImage::Format_RGB32);
        image.fill(QColor(200, 90, 60));
        ASSERT_TRUE(image.save(photo));
        QString error;
        auto document = handler.openDocumentWithContentsOfURL(photo, true, &error);
        ASSERT_TRUE(document) << error.toStdString();
        ASSERT_TRUE(spinUntil([&] { return document->window() && document->window()->isVisible(); }));
        pf::Window* window = document->window();
        window->makeKeyAndOrderFront();
        QCoreApplication::processEvents();

        QAction* item = menuItem(window, QStringLiteral("Extras"), QStringLiteral("Scene Preview…"));
        ASSERT_NE(item, nullptr);
        EXPECT_TRUE(item->isEnabled());
        item->trigger();
        GMScenePreviewChooser& chooser = GMScenePreviewChooser::shared();
        OVImageCatalog& catalog = OVImageCatalog::sharedImageCatalog();
        ASSERT_TRUE(chooser.isChoosing());
        EXPECT_EQ(catalog.categoryName(catalog.activeCategory()), QStringLiteral("Backgrounds"));
        ASSERT_NE(catalog.windowDrawer(), nullptr);
        EXPECT_TRUE(catalog.windowDrawer()->isOpen());
        EXPECT_EQ(catalog.focusView()->window(), window);

        const QList<OVGridItem*> backgrounds =
            catalog.gridViewController()->gridItemsInSection(catalog.mainSection());
        ASSERT_EQ(backgrounds.size(), 4) << "the four studio backdrops";
        const QString chosen = backgrounds.first()->context().toString();
        EXPECT_TRUE(QFileInfo(chosen).isFile());
        catalog.gridViewExecuteItemWithContext(catalog.gridViewController(), chosen);
        EXPECT_FALSE(chooser.isChoosing());
        ASSERT_EQ(chooser.openPreviews().size(), 1u);
        GMScenePreviewWindow* preview = chooser.openPreviews().front();
        EXPECT_FALSE(preview->sceneImage().isNull());
        // The backdrops are 1600 x 1067: the scene is fitted inside 1280 x 800.
        EXPECT_EQ(preview->sceneSize(), pf::Size(1200, 800));
        EXPECT_TRUE(preview->window()->isVisible());

        preview->window()->close();
        EXPECT_TRUE(spinUntil([&] { return chooser.openPreviews().empty(); }, 5000));
        document->close();
        spinUntil([] { return false; }, 300);
    }
    GMDocument::setWindowControllerFactory({});
    pf::FileSystem::setApplicationSupportDirectoryForTesting(previous);
}
