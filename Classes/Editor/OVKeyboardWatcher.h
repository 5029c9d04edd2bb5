#pragma once

#include "Platform/Foundation/ObserverToken.h"

#include <QMetaObject>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class OVKeyboardWatcherDelegate;
namespace pf {
class Document;
class Event;
} // namespace pf

// Watches the application's key-down and modifier-change events while its document is the current
// one, and hands them to its registered watchers (the settings panel, the loupe); a watcher can
// swallow a key-down. Command + Y (key code 16) always goes on, to the menu. Each document window has
// its own watcher; only the current document's reacts.
//
// Modifier keys count only while they are held in the window that has the keys: whenever the keys move
// to another window or program and back (Alt+Tab, a click elsewhere), every watcher is told that no
// modifier is held, since a release that happens elsewhere never reaches this window.
//
// The set of watchers and the monitor are guarded by the watcher's own recursive lock, held while
// watchers are called; a watcher may add or remove watchers while it is being called. Events arrive
// on the main thread.
class OVKeyboardWatcher
{
public:
    // Which document is the current one; tests set it. Without one, the current document is the one whose
    // window (or whose window's parent) is the key window: currentDocument() finds it among the shared
    // document controller's, a watcher asks its own document.
    using CurrentDocumentProvider = std::function<const pf::Document*()>;
    static void setCurrentDocumentProvider(CurrentDocumentProvider provider);
    static const pf::Document* currentDocument();

    // Starts watching at once.
    explicit OVKeyboardWatcher(std::weak_ptr<pf::Document> document);
    ~OVKeyboardWatcher();
    OVKeyboardWatcher(const OVKeyboardWatcher&) = delete;
    OVKeyboardWatcher& operator=(const OVKeyboardWatcher&) = delete;

    // Watchers are not owned; remove one before it goes. Adding one twice keeps one entry.
    void addKeyboardWatcher(OVKeyboardWatcherDelegate* watcher);
    void removeKeyboardWatcher(OVKeyboardWatcherDelegate* watcher);
    void removeAllKeyboardWatchers();
    std::vector<OVKeyboardWatcherDelegate*> keyboardWatchers() const;

    // Installs the event monitor (once, however often called).
    void activateKeyboardWatching();
    void deactivateKeyboardWatching();
    bool isActive() const;

    // What the monitor does with an event: false swallows it.
    bool handleEvent(const pf::Event& event);
    // Tells every watcher that no modifier key is held (the keys went to another window, or came back).
    void releaseModifiers();

private:
    // Whether `document` is the current one now.
    static bool isCurrent(const pf::Document& document);

    std::weak_ptr<pf::Document> m_document;
    pf::ObserverToken m_monitor;
    // The keys moving between windows: our own key window changes and the system's focus.
    std::vector<pf::ObserverToken> m_focusObservers;
    QMetaObject::Connection m_focusConnection;
    std::vector<OVKeyboardWatcherDelegate*> m_watchers;
    bool m_active = false;
    mutable std::recursive_mutex m_lock;
};
