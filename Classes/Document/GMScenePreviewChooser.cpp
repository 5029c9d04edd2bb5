#include "Classes/Document/GMScenePreviewChooser.h"

#include "Classes/Document/GMScenePreviewWindow.h"
#include "Classes/Frames/OVImageCatalog.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/UI/Alert.h"
#include "Platform/UI/Timer.h"
#include "Platform/UI/View.h"
#include "Platform/UI/Window.h"

GMScenePreviewChooser& GMScenePreviewChooser::shared()
{
    static GMScenePreviewChooser* chooser = new GMScenePreviewChooser();
    return *chooser;
}

GMScenePreviewChooser::~GMScenePreviewChooser()
{
    OVImageCatalog::sharedImageCatalog().closeForDelegate(this);
}

void GMScenePreviewChooser::chooseBackground(pf::View* canvas, const pf::Image& picture)
{
    if (!canvas || picture.isNull())
        return;
    m_picture = picture;
    OVImageCatalog& catalog = OVImageCatalog::sharedImageCatalog();
    for (int i = 0; i < catalog.categoryCount(); ++i)
        if (catalog.categoryName(i) == QLatin1String("Backgrounds"))
            catalog.setActiveCategory(i);
    catalog.showRight(true, canvas, this);
}

bool GMScenePreviewChooser::isChoosing() const
{
    return OVImageCatalog::sharedImageCatalog().delegate() == this;
}

std::vector<GMScenePreviewWindow*> GMScenePreviewChooser::openPreviews() const
{
    std::vector<GMScenePreviewWindow*> previews;
    for (const Preview& preview : m_previews)
        previews.push_back(preview.window.get());
    return previews;
}

void GMScenePreviewChooser::imageCatalogSelectImageWithPath(OVImageCatalog*, const QString& path)
{
    QString problem;
    const pf::Image background = pf::Image::fromFile(path, &problem);
    if (background.isNull()) {
        pf::Alert alert;
        alert.messageText = QStringLiteral("The background could not be opened.");
        alert.informativeText = problem.isEmpty() ? path : problem;
        alert.runModal();
        return;
    }
    auto window = std::make_unique<GMScenePreviewWindow>(background, m_picture);
    GMScenePreviewWindow* preview = window.get();
    Preview entry;
    entry.window = std::move(window);
    if (pf::Window* shown = preview->window()) {
        // Let go of the preview once its window has closed, after the close has been handled.
        entry.closing = pf::NotificationCenter::defaultCenter().addObserver(
            pf::Window::willCloseNotification, shown, [this, preview](const pf::Notification&) {
                pf::Timer::afterThisEvent([this, preview] { release(preview); });
            });
        shown->makeKeyAndOrderFront();
    }
    m_previews.push_back(std::move(entry));
}

void GMScenePreviewChooser::imageCatalogDidClose(OVImageCatalog*)
{
    m_picture = pf::Image();
}

void GMScenePreviewChooser::release(GMScenePreviewWindow* preview)
{
    for (auto it = m_previews.begin(); it != m_previews.end(); ++it)
        if (it->window.get() == preview) {
            m_previews.erase(it);
            return;
        }
}
