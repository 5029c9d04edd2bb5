#include "Classes/Editor/OVKeyboardWatcher.h"

#include "Classes/Editor/OVKeyboardWatcherDelegate.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/UI/Clock.h"
#include "Platform/UI/Document.h"
#include "Platform/UI/DocumentController.h"
#include "Platform/UI/Event.h"
#include "Platform/UI/EventMonitor.h"
#include "Platform/UI/Window.h"

#include <QGuiApplication>
#include <QWindow>
#include <algorithm>

namespace {

OVKeyboardWatcher::CurrentDocumentProvider& provider()
{
    static OVKeyboardWatcher::CurrentDocumentProvider instance;
    return instance;
}

const pf::Document* documentOfKeyWindow()
{
    const pf::DocumentController* controller = pf::DocumentController::shared();
    const pf::Window* key = pf::Window::keyWindow();
    if (!controller || !key)
        return nullptr;
    for (const auto& document : controller->documents()) {
        for (const pf::Window* window = key; window; window = window->parentWindow()) {
            if (document->window() == window)
                return document.get();
        }
    }
    return nullptr;
}

} // namespace

void OVKeyboardWatcher::setCurrentDocumentProvider(CurrentDocumentProvider provider)
{
    ::provider() = std::move(provider);
}

const pf::Document* OVKeyboardWatcher::currentDocument()
{
    return provider() ? provider()() : documentOfKeyWindow();
}

bool OVKeyboardWatcher::isCurrent(const pf::Document& document)
{
    if (provider())
        return provider()() == &document;
    // Asked of the document itself rather than of the shared controller, which is gone once another
    // controller came and went (a second start handing its files over).
    for (const pf::Window* window = pf::Window::keyWindow(); window; window = window->parentWindow())
        if (document.window() == window)
            return true;
    return false;
}

OVKeyboardWatcher::OVKeyboardWatcher(std::weak_ptr<pf::Document> document) : m_document(std::move(document))
{
    activateKeyboardWatching();
}

OVKeyboardWatcher::~OVKeyboardWatcher()
{
    deactivateKeyboardWatching();
}

void OVKeyboardWatcher::addKeyboardWatcher(OVKeyboardWatcherDelegate* watcher)
{
    std::lock_guard lock(m_lock);
    if (watcher && std::find(m_watchers.begin(), m_watchers.end(), watcher) == m_watchers.end())
        m_watchers.push_back(watcher);
}

void OVKeyboardWatcher::removeKeyboardWatcher(OVKeyboardWatcherDelegate* watcher)
{
    std::lock_guard lock(m_lock);
    std::erase(m_watchers, watcher);
}

void OVKeyboardWatcher::removeAllKeyboardWatchers()
{
    std::lock_guard lock(m_lock);
    m_watchers.clear();
}

std::vector<OVKeyboardWatcherDelegate*> OVKeyboardWatcher::keyboardWatchers() const
{
    std::lock_guard lock(m_lock);
    return m_watchers;
}

void OVKeyboardWatcher::activateKeyboardWatching()
{
    std::lock_guard lock(m_lock);
    if (m_active)
        return;
    m_monitor = pf::EventMonitor::addLocalMonitor(
        pf::eventMask(pf::EventType::KeyDown) | pf::eventMask(pf::EventType::FlagsChanged),
        [this](const pf::Event& event) { return handleEvent(event); });
    // A modifier released while another window or program has the keys is never seen here: each move
    // of the keys ends whatever a held modifier was doing.
    for (const QString& name : {pf::Window::didBecomeKeyNotification, pf::Window::didResignKeyNotification})
        m_focusObservers.push_back(pf::NotificationCenter::defaultCenter().addObserver(
            name, nullptr, [this](const pf::Notification&) { releaseModifiers(); }));
    if (auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        m_focusConnection = QObject::connect(gui, &QGuiApplication::focusWindowChanged, gui,
                                             [this](QWindow*) { releaseModifiers(); });
    m_active = true;
}

void OVKeyboardWatcher::deactivateKeyboardWatching()
{
    std::lock_guard lock(m_lock);
    if (!m_active)
        return;
    m_monitor.reset();
    m_focusObservers.clear();
    QObject::disconnect(m_focusConnection);
    m_active = false;
}

bool OVKeyboardWatcher::isActive() const
{
    std::lock_guard lock(m_lock);
    return m_active;
}

void OVKeyboardWatcher::releaseModifiers()
{
    std::lock_guard lock(m_lock);
    if (!m_active)
        return;
    const pf::Event released = pf::Event::keyEvent(pf::EventType::FlagsChanged, pf::Point(), 0,
                                                   pf::Clock::current().now(), nullptr, {}, {}, false, 0);
    const std::vector<OVKeyboardWatcherDelegate*> watchers = m_watchers;
    for (OVKeyboardWatcherDelegate* watcher : watchers)
        if (std::find(m_watchers.begin(), m_watchers.end(), watcher) != m_watchers.end())
            watcher->keyboardFlagsChangedEvent(released);
}

bool OVKeyboardWatcher::handleEvent(const pf::Event& event)
{
    const std::shared_ptr<pf::Document> document = m_document.lock();
    if (!document || !isCurrent(*document))
        return true;
    std::lock_guard lock(m_lock);
    // Watchers may change the set while they are called: they are called from a copy, each only while
    // it is still registered.
    const std::vector<OVKeyboardWatcherDelegate*> watchers = m_watchers;
    const auto registered = [this](OVKeyboardWatcherDelegate* watcher) {
        return std::find(m_watchers.begin(), m_watchers.end(), watcher) != m_watchers.end();
    };
    switch (event.type()) {
    case pf::EventType::KeyDown: {
        // Redo stays with the menu, whatever a watcher would do with it.
        if ((event.modifierFlags() & pf::Modifier::Command) && event.keyCode() == pf::KeyCode::Y)
            return true;
        bool swallowed = false;
        for (OVKeyboardWatcherDelegate* watcher : watchers) {
            if (registered(watcher))
                swallowed = watcher->keyboardKeyDownEvent(event) || swallowed;
        }
        return !swallowed;
    }
    case pf::EventType::FlagsChanged:
        for (OVKeyboardWatcherDelegate* watcher : watchers) {
            if (registered(watcher))
                watcher->keyboardFlagsChangedEvent(event);
        }
        return true;
    default:
        return true;
    }
}
