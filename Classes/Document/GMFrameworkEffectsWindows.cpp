#include "Classes/Document/GMFrameworkEffectsWindows.h"

#include "Classes/Document/GMDocument.h"
#include "Classes/Document/GMDocumentWindowController.h"
#include "Classes/Document/GMFrameworkEffectsWindow.h"
#include "Classes/ToolObjects/PhotoToolChain.h"
#include "Platform/Foundation/MainThread.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/UI/Timer.h"
#include "Platform/UI/Window.h"

#include <QFileInfo>
#include <algorithm>

namespace {

// How soon a shown window follows a change of its photo (a stroke, a setting): a run of changes is
// taken once.
constexpr double followDelay = 0.25;
// How often a window looks whether its photo is in.
constexpr double openingPoll = 0.2;

bool isShown(const GMFrameworkEffectsWindow& window)
{
    return window.window() && window.window()->isVisible();
}

} // namespace

GMFrameworkEffectsWindows::GMFrameworkEffectsWindows()
{
    pf::NotificationCenter& center = pf::NotificationCenter::defaultCenter();
    // Any photo's layers changed (the chain posts from the main thread; a stray post from elsewhere
    // is left alone).
    m_observers.push_back(
        center.addObserver(QStringLiteral("OVRCContentDidChange"), nullptr, [this](const pf::Notification&) {
            if (pf::isMainThread())
                scheduleRefresh();
        }));
    // A window taken up again works on its photo as it is now.
    m_observers.push_back(center.addObserver(
        pf::Window::didBecomeKeyNotification, nullptr, [this](const pf::Notification& notification) {
            for (Entry& entry : m_entries)
                if (entry.window->window() && entry.window->window() == notification.sender) {
                    refresh(entry);
                    return;
                }
        }));
}

GMFrameworkEffectsWindows::~GMFrameworkEffectsWindows()
{
    m_observers.clear();
    for (const auto& timer : {m_refreshTimer, m_openingTimer})
        if (timer)
            timer->invalidate();
}

QString GMFrameworkEffectsWindows::pathOf(const pf::Document& photo)
{
    const QString path = photo.fileURL();
    if (path.isEmpty())
        return {};
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.absoluteFilePath() : canonical;
}

pf::Image GMFrameworkEffectsWindows::pictureOf(pf::Document& photo)
{
    auto* document = dynamic_cast<GMDocument*>(&photo);
    const auto controller = document && !document->isOpening() ? document->windowController() : nullptr;
    const GMRenderForSaving render = controller ? controller->previewForSaving() : GMRenderForSaving();
    if (!render)
        return {};
    const std::optional<pf::Bitmap> bitmap = render();
    return bitmap ? pf::Image::fromBitmap(*bitmap) : pf::Image();
}

GMFrameworkEffectsWindows::Entry* GMFrameworkEffectsWindows::entryFor(const GMFrameworkEffectsWindow* window)
{
    for (Entry& entry : m_entries)
        if (entry.window.get() == window)
            return &entry;
    return nullptr;
}

void GMFrameworkEffectsWindows::show(QWidget* front, const std::shared_ptr<pf::Document>& photo)
{
    // An effects window in front stays as it is, its chain with it, over its photo as it is now.
    if (GMFrameworkEffectsWindow* effects = GMFrameworkEffectsWindow::forWindow(front)) {
        if (Entry* entry = entryFor(effects))
            refresh(*entry);
        effects->bringToFront();
        return;
    }
    // A window whose photo has closed and that holds nothing is let go; one with effects is kept.
    std::erase_if(m_entries, [](const Entry& entry) {
        return entry.photo && entry.alive.expired() && entry.window->effects().empty() &&
               !isShown(*entry.window);
    });
    Entry* found = nullptr;
    for (Entry& entry : m_entries) {
        const bool same = photo ? entry.photo == photo.get() && entry.alive.lock() == photo
                                : entry.window.get() == GMFrameworkEffectsWindow::shown();
        if (same) {
            found = &entry;
            break;
        }
    }
    // A photo opened again from its file finds the window it had, with its effects.
    const QString path = photo ? pathOf(*photo) : QString();
    if (!found && !path.isEmpty()) {
        for (Entry& entry : m_entries)
            if (entry.photo && entry.alive.expired() && entry.path == path) {
                entry.photo = photo.get();
                entry.alive = photo;
                entry.taken.reset();
                entry.tookPicture = false;
                found = &entry;
                break;
            }
    }
    if (!found) {
        Entry entry;
        entry.photo = photo.get();
        entry.alive = photo;
        entry.path = path;
        entry.window = std::make_unique<GMFrameworkEffectsWindow>(pf::Image());
        m_entries.push_back(std::move(entry));
        found = &m_entries.back();
    }
    if (found->photo)
        refresh(*found);
    found->window->bringToFront();
}

void GMFrameworkEffectsWindows::refresh(Entry& entry)
{
    GMFrameworkEffectsWindow& window = *entry.window;
    const std::shared_ptr<pf::Document> photo = entry.alive.lock();
    if (!photo) {
        // Closed: the window keeps the picture it has.
        window.setWaitingForPhoto(false);
        return;
    }
    auto* document = dynamic_cast<GMDocument*>(photo.get());
    if (document && document->isOpening()) {
        window.setWaitingForPhoto(true);
        watchOpening();
        return;
    }
    const auto controller = document ? document->windowController() : nullptr;
    const auto chain = controller ? controller->toolChain() : nullptr;
    const std::shared_ptr<const OVRenderSource> state = chain ? chain->renderSource() : nullptr;
    if (entry.tookPicture && state && entry.taken.lock() == state)
        return;
    entry.taken = state;
    entry.tookPicture = true;
    window.setPhoto(pictureOf(*photo));
}

void GMFrameworkEffectsWindows::scheduleRefresh()
{
    if (m_refreshTimer && m_refreshTimer->isValid())
        m_refreshTimer->invalidate();
    m_refreshTimer = pf::Timer::scheduled(
        followDelay, false, [this](pf::Timer&) { refreshShown(); }, m_lifetime.get());
}

void GMFrameworkEffectsWindows::refreshShown()
{
    for (Entry& entry : m_entries)
        if (entry.photo && isShown(*entry.window))
            refresh(entry);
}

void GMFrameworkEffectsWindows::watchOpening()
{
    if (m_openingTimer && m_openingTimer->isValid())
        return;
    m_openingTimer = pf::Timer::scheduled(
        openingPoll, true,
        [this](pf::Timer& timer) {
            bool waiting = false;
            for (Entry& entry : m_entries) {
                if (!entry.window->isWaitingForPhoto())
                    continue;
                refresh(entry);
                waiting = waiting || entry.window->isWaitingForPhoto();
            }
            if (!waiting)
                timer.invalidate();
        },
        m_lifetime.get());
}
