#include "Classes/Framework/Toolkit/OVChildSupportWindow.h"
#include "Classes/Framework/Toolkit/OVFontLoader.h"
#include "Classes/Framework/Toolkit/OVFrameLessWindow.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/UI/View.h"
#include "Tests/WindowDrag.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

using pf::Point;
using pf::Rect;

class Recorder : public pf::View
{
public:
    using View::View;
    std::function<void()> onPress;
    void mouseDown(const pf::Event&) override { onPress(); }
};

// A parent window with a child panel floating over its lower left corner.
struct Pair
{
    explicit Pair(unsigned parentStyle = pf::Window::Titled | pf::Window::Closable)
        : parent(Rect(100, 100, 300, 200), parentStyle),
          child(new OVChildSupportWindow(Rect(100, 100, 120, 80), pf::Window::Borderless)),
          other(Rect(500, 100, 100, 100))
    {
        parent.addChildWindow(child);
        parent.show();
    }
    OVChildSupportWindow parent;
    OVChildSupportWindow* child;
    pf::Window other;
};

TEST(ChildSupportWindow, TheParentIsKeyWhileItsChildIs)
{
    Pair pair;
    pair.child->makeKeyWindow();
    EXPECT_TRUE(pair.child->isKeyWindow());
    EXPECT_TRUE(pair.parent.isKeyWindow()) << "drawn active while its panel has the keyboard";
    pair.other.makeKeyWindow();
    EXPECT_FALSE(pair.parent.isKeyWindow()) << "asked again after the child resigned";
    EXPECT_FALSE(pair.child->canBecomeMainWindow());
    EXPECT_TRUE(pair.parent.canBecomeMainWindow());
    EXPECT_TRUE(pair.child->canBecomeKeyWindow()) << "also borderless";

    // Children asking each other back do not loop.
    OVChildSupportWindow a(Rect(0, 0, 50, 50)), b(Rect(0, 0, 20, 20));
    a.addChildWindow(&b);
    EXPECT_FALSE(a.isKeyWindow());
    a.removeChildWindow(&b);
}

TEST(ChildSupportWindow, TheCloseCommandOfAChildActsOnItsParent)
{
    QAction close(QStringLiteral("Close"));
    pf::Window::markAsCloseCommand(&close);
    QAction other(QStringLiteral("Other"));
    struct Case
    {
        unsigned parentStyle;
        bool enabled;
    };
    for (const Case& c :
         {Case{pf::Window::Titled | pf::Window::Closable, true}, Case{pf::Window::Titled, false}}) {
        Pair pair(c.parentStyle);
        pair.child->setIsChildWindow(true);
        EXPECT_EQ(pair.child->validateMenuItem(&close), c.enabled) << "as the parent answers";
        EXPECT_TRUE(pair.child->validateMenuItem(&other));
    }

    Pair pair;
    pair.child->setIsChildWindow(true);
    pair.child->makeKeyWindow();
    int closing = 0;
    pf::ObserverToken token = pf::NotificationCenter::defaultCenter().addObserver(
        pf::Window::willCloseNotification, &pair.parent, [&](const pf::Notification&) { ++closing; });
    pair.child->performClose();
    EXPECT_EQ(closing, 1);
    EXPECT_FALSE(pair.parent.isVisible());

    // Without a parent the flag changes nothing: the window closes itself.
    OVChildSupportWindow alone(Rect(0, 0, 50, 50), pf::Window::Borderless);
    alone.setIsChildWindow(true);
    alone.show();
    EXPECT_FALSE(alone.validateMenuItem(&close)) << "borderless: no close";
    alone.performClose();
    EXPECT_FALSE(alone.isVisible());
}

TEST(ChildSupportWindow, AClickIntoTheParentTakesTheKeyboardBackFirst)
{
    Pair pair;
    auto* view = new Recorder(Rect(200, 100, 80, 80));
    pair.parent.contentView()->addSubview(view);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&pair.parent));
    pair.child->makeKeyWindow();
    pf::Window* keyAtPress = nullptr;
    view->onPress = [&] { keyAtPress = pf::Window::keyWindow(); };
    const QPoint at = view->mapTo(&pair.parent, view->pointToWidget(Point(40, 40))).toPoint();
    QTest::mouseClick(pair.parent.windowHandle(), Qt::LeftButton, {}, at);
    EXPECT_EQ(keyAtPress, &pair.parent);
}

TEST(FrameLessWindow, IsBorderlessTransparentAndMovedByItsBackground)
{
    OVFrameLessWindow window(Rect(100, 100, 200, 150));
    EXPECT_EQ(window.styleMask(), unsigned(pf::Window::Borderless));
    EXPECT_TRUE(window.hasShadow());
    EXPECT_FALSE(window.isOpaque());
    EXPECT_TRUE(window.isMovableByWindowBackground());
    EXPECT_TRUE(window.canBecomeKeyWindow());
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const Rect before = window.frame();
    dragWindowBackground(window, QPoint(50, 50), QPoint(80, 40));
    // A display server moves the window a little later.
    (void)QTest::qWaitFor([&] { return window.frame().origin == before.origin + Point(30, 10); }, 1000);
    EXPECT_EQ(window.frame().origin, before.origin + Point(30, 10));
}

TEST(FontLoader, RegistersEveryReadableFontAndReportsTheOthers)
{
    const QString dejaVu = QStringLiteral("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
    if (!QFile::exists(dejaVu))
        GTEST_SKIP() << "fonts-dejavu-core is not installed";
    QTemporaryDir dir;
    const QString good = dir.filePath(QStringLiteral("Good.ttf"));
    const QString broken = dir.filePath(QStringLiteral("Broken.ttf"));
    ASSERT_TRUE(QFile::copy(dejaVu, good));
    QFile garbage(broken);
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly) && garbage.write("not a font") > 0);
    garbage.close();
    const QString missing = dir.filePath(QStringLiteral("Missing.ttf"));

    pf::LogCapture log;
    EXPECT_EQ(OVFontLoader::loadLocalFonts({good}), std::nullopt);
    EXPECT_EQ(OVFontLoader::loadLocalFonts({good, missing}),
              QStringLiteral("File missing: %1\n").arg(missing));
    EXPECT_EQ(OVFontLoader::loadLocalFonts({broken, good}),
              QStringLiteral("File loading problem: %1\n").arg(broken));
    EXPECT_TRUE(log.contains(QStringLiteral("Error: ")));

    // The application's "Fonts.bundle": its fonts are registered, a broken one is reported.
    const QString bundle = pf::Bundle::main().resourcePath() + QStringLiteral("/Fonts.bundle");
    ASSERT_TRUE(QDir().mkpath(bundle));
    ASSERT_TRUE(QFile::copy(dejaVu, bundle + QStringLiteral("/DejaVuSans.ttf")));
    log.clear();
    OVFontLoader::loadFontsBundle();
    EXPECT_TRUE(log.lines().isEmpty()) << log.lines().join(u'\n').toStdString();
    ASSERT_TRUE(QFile::copy(broken, bundle + QStringLiteral("/Broken.ttf")));
    OVFontLoader::loadFontsBundle();
    EXPECT_TRUE(
        log.contains(QStringLiteral("Warning: Problems during loading Fonts!\nFile loading problem: ")));
    QDir(bundle).removeRecursively();
    EXPECT_TRUE(QFontDatabase::families().contains(QStringLiteral("DejaVu Sans")));
}

} // namespace
