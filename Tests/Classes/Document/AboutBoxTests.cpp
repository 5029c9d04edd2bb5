#include "Classes/Document/GMAboutBoxController.h"
#include "Classes/Document/GMApplicationDelegate.h"
#include "Classes/Document/GMLinks.h"
#include "Classes/Document/OVAboutBoxController.h"
#include "Classes/Framework/Toolkit/OVButton.h"
#include "Classes/Framework/Toolkit/OVImageView.h"
#include "DocumentTestSupport.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/UI/NamedImage.h"
#include "Platform/UI/RichText.h"
#include "Platform/UI/Window.h"

#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QTest>
#include <QTextDocument>
#include <gtest/gtest.h>

using namespace doctest;

namespace {

class AboutBox : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_version = QCoreApplication::applicationVersion();
        QCoreApplication::setApplicationVersion(QStringLiteral("3.1.4"));
    }
    void TearDown() override { QCoreApplication::setApplicationVersion(m_version); }
    QString m_version;
};

void mouse(QWidget* widget, QEvent::Type type, QPointF local)
{
    QMouseEvent event(type, local, widget->mapToGlobal(local), Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &event);
}

} // namespace

TEST_F(AboutBox, ProductBoxIsMadeOnceCentredDraggedAndHiddenByAnotherKeyWindow)
{
    GMApplicationDelegate delegate;
    QAction* about = delegate.action("About Glimora");
    ASSERT_TRUE(about);
    about->trigger();
    GMAboutBoxController* controller = delegate.aboutBoxController();
    pf::Window* box = controller->aboutBox();
    ASSERT_TRUE(box);
    EXPECT_TRUE(box->isVisible());
    EXPECT_TRUE(box->isKeyWindow());
    EXPECT_EQ(box->frame().size, pf::Size(760, 480)) << "the picture's size";
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE((box->geometry().center() - screen.center()).manhattanLength(), 2);

    // The texts: the credits as read, the version on one line of its own under them.
    ASSERT_TRUE(controller->credits());
    EXPECT_TRUE(controller->credits()->toPlainText().contains("OpenCV"));
    EXPECT_TRUE(controller->credits()->toPlainText().contains("public domain")) << "the portraits' source";
    EXPECT_EQ(controller->version()->toPlainText(), "Version 3.1.4");
    const pf::Rect version = controller->versionFrame(), credits = controller->creditsFrame();
    EXPECT_EQ(version, pf::Rect(505, 82, 200, 18));
    EXPECT_FALSE(version.intersects(credits)) << "the version view does not cover the credits";
    EXPECT_EQ(controller->version()->documentLayout()->documentSize().height() <= 18, true);

    // Dragging anywhere on the picture moves the window.
    auto* picture = dynamic_cast<OVImageView*>(box->contentView());
    ASSERT_TRUE(picture);
    EXPECT_TRUE(picture->dragsWindow());
    const pf::Point before = box->frame().origin;
    mouse(picture, QEvent::MouseButtonPress, QPointF(600, 200)); // over the credits too
    mouse(picture, QEvent::MouseMove, QPointF(640, 230));
    mouse(picture, QEvent::MouseButtonRelease, QPointF(640, 230));
    EXPECT_NEAR(box->frame().origin.x - before.x, 40, 1);
    EXPECT_NEAR(box->frame().origin.y - before.y, -30, 1);

    // Another window becoming key hides it; the menu item shows the same window again, centred.
    pf::Window other(pf::Rect(50, 50, 300, 200));
    other.makeKeyAndOrderFront();
    EXPECT_FALSE(box->isVisible());
    about->trigger();
    EXPECT_EQ(controller->aboutBox(), box) << "made once";
    EXPECT_TRUE(box->isVisible());
    EXPECT_LE((box->geometry().center() - screen.center()).manhattanLength(), 2);
    other.close();

    // Escape given to the window, and a click on its close button, close it too.
    about->trigger();
    ASSERT_TRUE(box->isVisible());
    QTest::keyClick(box->windowHandle(), Qt::Key_Escape);
    EXPECT_FALSE(box->isVisible()) << "Escape";
    about->trigger();
    ASSERT_TRUE(box->isVisible());
    OVButton* close = controller->closeButton();
    ASSERT_TRUE(close);
    EXPECT_GT(close->frame().minX(), controller->creditsFrame().maxX())
        << "beside the card, not over the credits";
    const QPoint onClose = close->mapTo(box, close->rect().center() + QPoint(2, 1));
    QTest::mouseMove(box->windowHandle(), onClose);
    QTest::mouseClick(box->windowHandle(), Qt::LeftButton, {}, onClose);
    EXPECT_FALSE(box->isVisible()) << "the close button";
}

TEST_F(AboutBox, FrameworkBoxShowsItsTextVersionAndLinksAndIsRebuiltAfterClosing)
{
    for (bool addresses : {false, true}) {
        SCOPED_TRACE(addresses);
        GMLinks::setTableForTesting(addresses ? QVariantMap{{"HomePage", "https://example.org"},
                                                            {"ProductPage", "https://example.org/app"}}
                                              : QVariantMap{{"HomePage", ""}});
        OVAboutBoxController* about = OVAboutBoxController::sharedAboutBox();
        EXPECT_EQ(OVAboutBoxController::sharedAboutBox(), about);
        about->showWindow();
        pf::Window* first = about->loadedWindow();
        ASSERT_TRUE(first);
        EXPECT_TRUE(about->textView()->toPlainText().contains("framework"));
        EXPECT_EQ(about->versionTF()->text(), "3.1.4");
        EXPECT_EQ(about->homePageButton()->isHidden(), !addresses);
        EXPECT_EQ(about->appPageButton()->isHidden(), !addresses);

        about->close();
        ASSERT_TRUE(spinUntil([&] { return !about->isWindowLoaded(); }, 3000)) << "closing drops the window";
        EXPECT_EQ(about->textView(), nullptr);
        about->showWindow();
        ASSERT_TRUE(about->loadedWindow());
        EXPECT_TRUE(about->textView()->toPlainText().contains("framework")) << "built again";
        about->close();
        spinUntil([&] { return !about->isWindowLoaded(); }, 3000);
    }
    GMLinks::setTableForTesting({});
    OVAboutBoxController::releaseShared();
}

TEST(WelcomeResources, EveryPictureAndTextTheseWindowsNameLoads)
{
    const struct
    {
        const char* name;
        QSize size; // in points; empty: any
    } pictures[] = {{"AboutBackground", QSize(760, 480)}, {"GridItemNoPreview", QSize()}};
    for (const auto& picture : pictures) {
        const QImage image = pf::NamedImage::image(QString::fromLatin1(picture.name));
        ASSERT_FALSE(image.isNull()) << picture.name;
        if (!picture.size.isEmpty()) {
            EXPECT_EQ((image.deviceIndependentSize().toSize()), picture.size) << picture.name;
        }
    }
    const struct
    {
        const char* name;
        const char* contains;
    } texts[] = {{"Credits", "licence"}, {"AboutBoxText", "framework"}, {"RateUs", "rating"}};
    for (const auto& text : texts) {
        const QString path = pf::Bundle::main().pathForResource(QString::fromLatin1(text.name), "rtf");
        ASSERT_FALSE(path.isEmpty()) << text.name;
        QTextDocument document;
        QString error;
        ASSERT_TRUE(pf::RichText::readFile(path, &document, &error))
            << text.name << ": " << error.toStdString();
        EXPECT_TRUE(document.toPlainText().contains(QString::fromLatin1(text.contains))) << text.name;
        EXPECT_FALSE(document.toPlainText().contains('\\')) << text.name << ": no control word shows";
    }
}
