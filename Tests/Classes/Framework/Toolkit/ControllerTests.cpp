#include "Classes/Framework/Toolkit/OVViewController.h"
#include "Classes/Framework/Toolkit/OVWindowController.h"
#include "Platform/Foundation/ArchiveClassRegistry.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/KeyedArchiver.h"
#include "Platform/Foundation/KeyedUnarchiver.h"
#include "Platform/Foundation/Localization.h"
#include "Platform/Foundation/Log.h"
#include "Platform/UI/InterfaceRegistry.h"
#include "Platform/UI/SteppedClock.h"

#include <QApplication>
#include <QPointer>
#include <gtest/gtest.h>
#include <memory>

namespace {

using pf::InterfaceRegistry;

// An interface of a view with one extra top-level object; the application object comes along as well,
// as it may in any interface. Counts how often it is built.
struct ViewInterface
{
    int builds = 0;
    QPointer<QObject> lastExtra;

    InterfaceRegistry::Builder builder()
    {
        return [this](QObject*, const pf::Bundle&) {
            ++builds;
            auto* view = new pf::View(pf::Rect(0, 0, 10, 10));
            auto* extra = new QObject();
            lastExtra = extra;
            pf::Interface interface;
            interface.outlets.insert(QStringLiteral("view"), view);
            interface.topLevelObjects = {view, extra, QCoreApplication::instance()};
            return interface;
        };
    }
};

class Panel : public OVViewController
{
public:
    using OVViewController::OVViewController;
    QString className() const override { return QStringLiteral("TestPanel"); }
};

class SubPanel : public Panel
{
public:
    QString className() const override { return QStringLiteral("TestSubPanel"); }
};

TEST(OVViewController, LoadsTheInterfaceOfItsOwnClassOnlyAndKeepsItsObjects)
{
    ViewInterface parent, own;
    InterfaceRegistry::registerInterface(QStringLiteral("TestPanel"), parent.builder());
    SubPanel controller;
    {
        pf::LogCapture log;
        EXPECT_EQ(controller.view(), nullptr);
        EXPECT_TRUE(log.contains(QStringLiteral("Warning: TestSubPanel could not load view from")));
        EXPECT_TRUE(log.contains(QStringLiteral("in TestSubPanel")));
    }
    EXPECT_EQ(parent.builds, 0);
    EXPECT_FALSE(controller.isViewLoaded());

    // Every request tries again; the application object is never kept.
    InterfaceRegistry::registerInterface(QStringLiteral("TestSubPanel"), own.builder());
    pf::View* first = controller.view();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(controller.view(), first);
    EXPECT_EQ(own.builds, 1);
    ASSERT_EQ(controller.topLevelObjects().size(), 1u);
    EXPECT_EQ(controller.topLevelObjects()[0], own.lastExtra.data());

    // Letting the view go releases the interface's other objects; the next request builds it afresh.
    QPointer<QObject> extra = own.lastExtra;
    controller.setView(nullptr);
    EXPECT_TRUE(extra.isNull());
    EXPECT_NE(controller.view(), nullptr);
    EXPECT_EQ(own.builds, 2);
    InterfaceRegistry::unregisterInterface(QStringLiteral("TestPanel"));
    InterfaceRegistry::unregisterInterface(QStringLiteral("TestSubPanel"));
}

// Archives keep the name and bundle only: encoding builds nothing, and a decoded controller builds its
// view on the first request.
TEST(OVViewController, ArchivesNameAndBundleWithoutLoading)
{
    using PanelPtr = std::shared_ptr<Panel>;
    pf::ArchiveClassRegistry::registerClass<PanelPtr>(
        QStringLiteral("TestArchivedPanel"), {QStringLiteral("NSObject")},
        [](const PanelPtr& panel, pf::KeyedArchiver& coder) { panel->encodeWithCoder(coder); },
        [](pf::KeyedUnarchiver& coder) {
            auto panel = std::make_shared<Panel>();
            panel->decodeWithCoder(coder);
            return panel;
        });
    ViewInterface interface;
    InterfaceRegistry::registerInterface(QStringLiteral("Stored"), interface.builder());
    auto original = std::make_shared<Panel>(QStringLiteral("Stored"));
    QString error;
    const auto data =
        pf::KeyedArchiver::archivedData({{QStringLiteral("root"), QVariant::fromValue(original)}}, &error);
    ASSERT_TRUE(data) << error.toStdString();
    EXPECT_FALSE(original->isViewLoaded());
    EXPECT_EQ(interface.builds, 0);

    const auto root = pf::KeyedUnarchiver::unarchive(*data, &error);
    ASSERT_TRUE(root) << error.toStdString();
    const auto decoded = root->value(QStringLiteral("root")).value<PanelPtr>();
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->nibName(), QStringLiteral("Stored"));
    EXPECT_EQ(&decoded->nibBundle(), &pf::Bundle::main());
    EXPECT_FALSE(decoded->isViewLoaded());
    EXPECT_NE(decoded->view(), nullptr);
    EXPECT_EQ(interface.builds, 1);
    InterfaceRegistry::unregisterInterface(QStringLiteral("Stored"));
    pf::ArchiveClassRegistry::unregisterClass(QStringLiteral("TestArchivedPanel"));
}

// A chain of window controllers: C derives from B, B from A.
class ControllerA : public OVWindowController
{
public:
    QStringList classChain() const override
    {
        return QStringList{QStringLiteral("TestA")} + OVWindowController::classChain();
    }
    int didLoad = 0, didClose = 0;
    void windowDidLoad() override { ++didLoad; }
    void windowDidClose() override { ++didClose; }
};
class ControllerB : public ControllerA
{
public:
    QStringList classChain() const override
    {
        return QStringList{QStringLiteral("TestB")} + ControllerA::classChain();
    }
};
class ControllerC : public ControllerB
{
public:
    QStringList classChain() const override
    {
        return QStringList{QStringLiteral("TestC")} + ControllerB::classChain();
    }
};

InterfaceRegistry::Builder windowBuilder(const QString& title, QPointer<QObject>* extra = nullptr)
{
    return [title, extra](QObject*, const pf::Bundle&) {
        auto* window = new pf::Window(pf::Rect(100, 100, 200, 100));
        window->setTitle(title);
        pf::Interface interface;
        interface.outlets.insert(QStringLiteral("window"), window);
        auto* other = new QObject();
        if (extra)
            *extra = other;
        interface.topLevelObjects = {QCoreApplication::instance(), window, other};
        return interface;
    };
}

TEST(OVWindowController, FindsTheNearestAncestorsInterfaceElseTheBaseName)
{
    const struct
    {
        QStringList registered;
        QString expected;
    } cases[] = {
        {{QStringLiteral("TestA"), QStringLiteral("TestB"), QStringLiteral("TestC")},
         QStringLiteral("TestC")},
        {{QStringLiteral("TestA"), QStringLiteral("TestB")}, QStringLiteral("TestB")},
        {{QStringLiteral("TestA")}, QStringLiteral("TestA")},
        {{}, QStringLiteral("OVWindowController")},
    };
    for (const auto& c : cases) {
        for (const QString& name : c.registered)
            InterfaceRegistry::registerInterface(name, windowBuilder(name));
        ControllerC controller;
        EXPECT_EQ(controller.nibName(), c.expected);
        for (const QString& name : c.registered)
            InterfaceRegistry::unregisterInterface(name);
    }
}

TEST(OVWindowController, WarnsAndRetriesThenTranslatesTheTitleOnce)
{
    ControllerB controller;
    {
        pf::LogCapture log;
        EXPECT_FALSE(controller.isVisible());
        controller.close();
        EXPECT_FALSE(controller.isWindowLoaded()); // neither builds the window
        EXPECT_EQ(controller.window(), nullptr);
        EXPECT_TRUE(log.contains(QStringLiteral("Warning: TestB could not load window from")));
        EXPECT_TRUE(log.contains(QStringLiteral("in OVWindowController.nib")));
    }
    EXPECT_EQ(controller.didLoad, 0);

    QPointer<QObject> extra;
    InterfaceRegistry::registerInterface(QStringLiteral("TestA"),
                                         windowBuilder(QStringLiteral("Settings"), &extra));
    pf::Localization::setLanguageForTesting(QStringLiteral("de_CH"));
    pf::Window* window = controller.window();
    pf::Localization::setLanguageForTesting(QStringLiteral("en"));
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->title(), QStringLiteral("Einstellungen"));
    EXPECT_EQ(controller.didLoad, 1);
    EXPECT_EQ(controller.topLevelObjects(), std::vector<QObject*>{extra.data()});

    // Setting the same window again lets the interface's other objects go.
    controller.setWindow(window);
    EXPECT_TRUE(extra.isNull());
    EXPECT_EQ(controller.window(), window);
    InterfaceRegistry::unregisterInterface(QStringLiteral("TestA"));
}

// windowDidClose runs once per close, after the window is off screen, on a later turn.
TEST(OVWindowController, DidCloseRunsOnceOnALaterTurn)
{
    pf::SteppedClock clock;
    InterfaceRegistry::registerInterface(QStringLiteral("TestA"), windowBuilder(QStringLiteral("Closing")));
    ControllerA controller;
    controller.showWindow();
    ASSERT_TRUE(controller.isVisible());
    controller.close();
    EXPECT_FALSE(controller.isVisible());
    EXPECT_EQ(controller.didClose, 0);
    clock.advance(0);
    EXPECT_EQ(controller.didClose, 1);
    clock.advance(1);
    EXPECT_EQ(controller.didClose, 1);
    // A controller gone before the turn is not called.
    auto* transient = new ControllerA();
    transient->showWindow();
    transient->forceCloseWindow();
    delete transient;
    clock.advance(0);
    InterfaceRegistry::unregisterInterface(QStringLiteral("TestA"));
}

} // namespace
