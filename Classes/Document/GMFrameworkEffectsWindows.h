#pragma once

#include "Platform/Foundation/ObserverToken.h"

#include <QObject>
#include <QString>
#include <memory>
#include <vector>

class GMFrameworkEffectsWindow;
class OVRenderSource;
class QWidget;
namespace pf {
class Document;
class Image;
class Timer;
} // namespace pf

// The framework effects windows of the photos: one per photo (and one over no photo), each kept with
// its chain of effects while the application runs. A window works on its photo as it is now: it takes
// the photo again when it changed (when the window is chosen again or becomes key, and a moment after
// a change while it is shown), a photo still opening shows once it is in, and a photo closed and
// opened again from the same file finds its window and effects again. Main thread only.
class GMFrameworkEffectsWindows
{
public:
    GMFrameworkEffectsWindows();
    ~GMFrameworkEffectsWindows();
    GMFrameworkEffectsWindows(const GMFrameworkEffectsWindows&) = delete;
    GMFrameworkEffectsWindows& operator=(const GMFrameworkEffectsWindows&) = delete;

    // Extras ▸ Framework Effects…, with `front` the window in front and `photo` the document of the
    // photo in front (null over anything else): the photo's own window, with its effects, in front.
    void show(QWidget* front, const std::shared_ptr<pf::Document>& photo);

    // The picture a photo's document would save, fitted in 1024 x 1024; null while there is none (a
    // document without an editor, or one still opening).
    static pf::Image pictureOf(pf::Document& photo);

private:
    struct Entry
    {
        const pf::Document* photo = nullptr;
        std::weak_ptr<pf::Document> alive;
        // The photo's file, by which it is known again when it is opened anew.
        QString path;
        // The state of the photo's layers the window's picture was taken from.
        std::weak_ptr<const OVRenderSource> taken;
        bool tookPicture = false;
        std::unique_ptr<GMFrameworkEffectsWindow> window;
    };

    // Takes the photo again when it changed since the window's picture was taken.
    void refresh(Entry& entry);
    // The windows shown follow their photos a moment after a change of them.
    void scheduleRefresh();
    void refreshShown();
    // While a photo is opening its window looks again now and then.
    void watchOpening();
    Entry* entryFor(const GMFrameworkEffectsWindow* window);
    static QString pathOf(const pf::Document& photo);

    std::vector<Entry> m_entries;
    std::vector<pf::ObserverToken> m_observers;
    std::shared_ptr<pf::Timer> m_refreshTimer;
    std::shared_ptr<pf::Timer> m_openingTimer;
    // Owns the timers' callbacks: none runs once this is gone.
    std::unique_ptr<QObject> m_lifetime = std::make_unique<QObject>();
};
