#include "Classes/Editor/OVKeyboardWatcher.h"
#include "Classes/Editor/OVKeyboardWatcherDelegate.h"
#include "Platform/UI/Document.h"
#include "Platform/UI/Event.h"
#include "Platform/UI/Window.h"

#include <QTest>
#include <gtest/gtest.h>

namespace {

class PlainDocument : public pf::Document
{
public:
    bool readFromURL(const QString&, const QString&, QString*) override { return true; }
    bool writeToURL(const QString&, const QString&, SaveOperation, const QString&, QString*) override
    {
        return true;
    }
};

struct Watcher : OVKeyboardWatcherDelegate
{
    QString name;
    QStringList* log;
    bool swallows = false;
    std::function<void()> whenCalled;

    Watcher(QString name, QStringList* log, bool swallows = false)
        : name(std::move(name)), log(log), swallows(swallows)
    {}
    bool keyboardKeyDownEvent(const pf::Event& event) override
    {
        *log << QStringLiteral("%1 key %2").arg(name).arg(event.keyCode());
        if (whenCalled)
            whenCalled();
        return swallows;
    }
    void keyboardFlagsChangedEvent(const pf::Event& event) override
    {
        *log << QStringLiteral("%1 flags %2")
                    .arg(name)
                    .arg(event.modifierFlags() & pf::Modifier::Option ? "option" : "none");
        if (whenCalled)
            whenCalled();
    }
};

pf::Event key(int code, unsigned flags = 0)
{
    return pf::Event::keyEvent(pf::EventType::KeyDown, pf::Point(), flags, 0, nullptr, QStringLiteral("k"),
                               QStringLiteral("k"), false, code);
}

// Two documents, each with its own watcher; the test decides which one is current.
struct Documents
{
    std::shared_ptr<PlainDocument> first = std::make_shared<PlainDocument>();
    std::shared_ptr<PlainDocument> second = std::make_shared<PlainDocument>();
    const pf::Document* current = nullptr;
    Documents()
    {
        OVKeyboardWatcher::setCurrentDocumentProvider([this] { return current; });
    }
    ~Documents() { OVKeyboardWatcher::setCurrentDocumentProvider(nullptr); }
};

} // namespace

TEST(OVKeyboardWatcher, OnlyTheCurrentDocumentsWatchersSeeKeys)
{
    Documents documents;
    QStringList log;
    Watcher a(QStringLiteral("first"), &log, true), b(QStringLiteral("second"), &log, true);
    OVKeyboardWatcher firstWatcher(documents.first), secondWatcher(documents.second);
    firstWatcher.addKeyboardWatcher(&a);
    secondWatcher.addKeyboardWatcher(&b);
    for (const pf::Document* current :
         {(const pf::Document*)documents.first.get(), (const pf::Document*)documents.second.get(),
          (const pf::Document*)nullptr}) {
        documents.current = current;
        log.clear();
        const bool firstPasses = firstWatcher.handleEvent(key(pf::KeyCode::E));
        const bool secondPasses = secondWatcher.handleEvent(key(pf::KeyCode::E));
        EXPECT_EQ(firstPasses, current != documents.first.get());
        EXPECT_EQ(secondPasses, current != documents.second.get());
        EXPECT_EQ(log.size(), current ? 1 : 0);
    }
}

// A key swallowed by one watcher is still shown to every other; Ctrl+Y (redo) always goes on, unseen.
TEST(OVKeyboardWatcher, SwallowedKeysReachEveryWatcherAndRedoGoesPast)
{
    Documents documents;
    documents.current = documents.first.get();
    QStringList log;
    Watcher a(QStringLiteral("a"), &log, true), b(QStringLiteral("b"), &log);
    OVKeyboardWatcher watcher(documents.first);
    watcher.addKeyboardWatcher(&a);
    watcher.addKeyboardWatcher(&b);
    watcher.addKeyboardWatcher(&a);
    EXPECT_FALSE(watcher.handleEvent(key(pf::KeyCode::E)));
    EXPECT_EQ(log, (QStringList{"a key 14", "b key 14"}));
    log.clear();
    EXPECT_TRUE(watcher.handleEvent(key(pf::KeyCode::Y, pf::Modifier::Command)));
    EXPECT_TRUE(log.isEmpty());
    EXPECT_FALSE(watcher.handleEvent(key(pf::KeyCode::Y)));
}

// A watcher may remove itself or another while it is being called; a removed one is not called.
TEST(OVKeyboardWatcher, WatchersMayChangeTheSetWhileCalled)
{
    Documents documents;
    documents.current = documents.first.get();
    QStringList log;
    OVKeyboardWatcher watcher(documents.first);
    auto a = std::make_unique<Watcher>(QStringLiteral("a"), &log);
    auto b = std::make_unique<Watcher>(QStringLiteral("b"), &log);
    Watcher c(QStringLiteral("c"), &log);
    a->whenCalled = [&] {
        watcher.removeKeyboardWatcher(a.get());
        watcher.removeKeyboardWatcher(b.get());
        b.reset();
        watcher.addKeyboardWatcher(&c);
    };
    watcher.addKeyboardWatcher(a.get());
    watcher.addKeyboardWatcher(b.get());
    EXPECT_TRUE(watcher.handleEvent(key(pf::KeyCode::E)));
    EXPECT_EQ(log, QStringList{"a key 14"});
    log.clear();
    watcher.handleEvent(key(pf::KeyCode::E));
    EXPECT_EQ(log, QStringList{"c key 14"});
}

// Real key input: Option's press and release arrive as changes of the modifier flags, once however
// often watching was switched on, and not at all once it is off.
TEST(OVKeyboardWatcher, WatchesTheApplicationsKeysThroughOneMonitor)
{
    Documents documents;
    documents.current = documents.first.get();
    pf::Window window(pf::Rect(0, 0, 200, 100));
    window.makeKeyAndOrderFront();
    QStringList log;
    Watcher watcher(QStringLiteral("w"), &log);
    OVKeyboardWatcher keyboard(documents.first);
    keyboard.activateKeyboardWatching();
    keyboard.addKeyboardWatcher(&watcher);
    // The window has the keys before they are typed (its coming to the front says nothing is held).
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QCoreApplication::processEvents();
    log.clear();
    QTest::keyPress(window.windowHandle(), Qt::Key_Alt);
    QTest::keyRelease(window.windowHandle(), Qt::Key_Alt);
    QTest::keyClick(window.windowHandle(), Qt::Key_E);
    EXPECT_EQ(log, (QStringList{"w flags option", "w flags none", "w key 14"}));
    keyboard.deactivateKeyboardWatching();
    EXPECT_FALSE(keyboard.isActive());
    log.clear();
    QTest::keyClick(window.windowHandle(), Qt::Key_E);
    EXPECT_TRUE(log.isEmpty());
}

// Mended: without a provider the current document was looked up in the shared document controller, which
// is gone once another controller came and went (a second start handing its files over), and no key
// reached a watcher any more. A watcher asks its own document whether its window is the key window.
TEST(OVKeyboardWatcher, TheKeyWindowsDocumentWatchesWithoutASharedController)
{
    auto first = std::make_shared<PlainDocument>();
    auto second = std::make_shared<PlainDocument>();
    pf::Window firstWindow(pf::Rect(0, 0, 200, 100)), secondWindow(pf::Rect(220, 0, 200, 100));
    first->setWindow(&firstWindow);
    second->setWindow(&secondWindow);
    QStringList log;
    Watcher a(QStringLiteral("first"), &log), b(QStringLiteral("second"), &log);
    OVKeyboardWatcher firstKeys(first), secondKeys(second);
    firstKeys.addKeyboardWatcher(&a);
    secondKeys.addKeyboardWatcher(&b);
    for (pf::Window* key : {&firstWindow, &secondWindow}) {
        key->makeKeyAndOrderFront();
        // A window server makes the window active in its own time, and the keys moving tell every
        // watcher that nothing is held (a turn later): only the key presses are looked at.
        EXPECT_TRUE(QTest::qWaitForWindowActive(key->windowHandle()));
        QCoreApplication::processEvents();
        log.clear();
        QTest::keyClick(key->windowHandle(), Qt::Key_E);
        EXPECT_EQ(log.filter(QStringLiteral(" key ")),
                  QStringList{(key == &firstWindow ? QStringLiteral("first") : QStringLiteral("second")) +
                              QStringLiteral(" key 14")});
    }
    first->setWindow(nullptr);
    second->setWindow(nullptr);
}
