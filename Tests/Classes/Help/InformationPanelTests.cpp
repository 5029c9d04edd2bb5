#include "Classes/Framework/Toolkit/OVButton.h"
#include "Classes/Framework/Toolkit/OVImageView.h"
#include "Classes/Help/OVHelpActions.h"
#include "Classes/Help/OVInformationPanel.h"
#include "Classes/Help/OVMovieController.h"
#include "Classes/Help/OVRichTextView.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/PropertyList.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/Media/FakeMovie.h"
#include "Platform/UI/SteppedClock.h"
#include "Platform/UI/Window.h"
#include "Tests/ChildProcess.h"

#include "HelpFolderTest.h"
#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// A help folder made for the test, with a small real movie where one is needed.
class InformationPanelTest : public HelpFolderTest
{
protected:
    void prepare() override
    {
        OVInformationPanel::setInformationFolderForTesting(m_folder.path());
        OVInformationPanel::resetAllDontShows();
    }
    void TearDown() override { OVInformationPanel::setInformationFolderForTesting(QString()); }

    // A half-second movie, 64 x 48; false when no encoder is installed.
    bool makeMovie(const QString& relative)
    {
        const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
        if (ffmpeg.isEmpty())
            return false;
        ChildProcess encoder;
        const bool started = encoder.start(
            ffmpeg,
            {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-f"), QStringLiteral("lavfi"),
             QStringLiteral("-i"), QStringLiteral("testsrc=size=64x48:rate=25"), QStringLiteral("-t"),
             QStringLiteral("0.5"), QStringLiteral("-c:v"), QStringLiteral("libx264"),
             QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p"), QStringLiteral("-threads"),
             QStringLiteral("1"), m_folder.filePath(relative)});
        return started && encoder.waitForFinished(60000) && encoder.exitCode() == 0;
    }
};

TEST_F(InformationPanelTest, LayoutFollowsTheContent)
{
    write(QStringLiteral("Text.rtf"), "{\\rtf1 Some words of help.}");
    struct Case
    {
        const char* name;
        pf::Size movie; // empty: none
        pf::Size image;
        bool text;
        double width;        // of the container
        pf::Rect movieFrame; // in the container
    };
    const Case cases[] = {
        {"text alone takes the full width", {}, {}, true, -1, {}},
        {"a narrow movie keeps its size in a 480 wide topic", {320, 240}, {}, false, 480, {0, 0, 320, 240}},
        {"a wide movie is scaled down, aspect kept", {3000, 1000}, {}, false, -1, {}},
        {"a movie of no width takes no room", {0, 240}, {}, false, 480, {0, 0, 0, 0}},
        {"an image of no width takes no room", {}, {0, 0}, false, 480, {}},
        {"an image wider than the movie widens the topic",
         {320, 240},
         {600, 100},
         false,
         600,
         {0, 104, 320, 240}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        OVInformationPanel panel(QStringLiteral("Nothing"));
        const double maxWidth = panel.maxSize().width;
        if (c.movie.width > 0 || c.movie.height > 0)
            panel.setMovie(std::make_unique<pf::FakeMovie>(5, 25, c.movie));
        if (c.image.width > 0)
            panel.setImage(QImage(int(c.image.width), int(c.image.height), QImage::Format_RGB32));
        if (c.text)
            panel.setTextURL(m_folder.filePath(QStringLiteral("Text.rtf")));
        panel.updateLayoutInstantly(true);
        const pf::Rect box = panel.container()->frame();
        if (c.width > 0)
            EXPECT_DOUBLE_EQ(box.size.width, c.width);
        else
            EXPECT_DOUBLE_EQ(box.size.width, maxWidth);
        if (c.text) {
            EXPECT_GT(box.size.height, 0);
        }
        if (c.movie.width > 3000 - 1) {
            const pf::Rect frame = panel.movieController()->view()->frame();
            EXPECT_DOUBLE_EQ(frame.size.width, maxWidth);
            EXPECT_NEAR(frame.size.height, maxWidth / 3, 1e-9);
        } else if (c.movie.width > 0) {
            EXPECT_EQ(panel.movieController()->view()->frame(), c.movieFrame);
        }
        if (c.movie.width == 0 && c.movie.height > 0) {
            EXPECT_DOUBLE_EQ(box.size.height, 0);
        }
        // The panel's own window fits the content (to the whole point that a window can take).
        const pf::Size window = panel.loadedWindow()->contentView()->bounds().size;
        EXPECT_NEAR(window.width, box.size.width + panel.diff().width, 0.5);
        EXPECT_NEAR(window.height, box.size.height + panel.diff().height, 0.5);
    }
}

TEST_F(InformationPanelTest, SeveralChangesCostOneLayout)
{
    write(QStringLiteral("Text.rtf"), "{\\rtf1 words}");
    OVInformationPanel panel(QStringLiteral("Nothing"));
    const int before = panel.layoutCount();
    panel.setImage(QImage(50, 50, QImage::Format_RGB32));
    panel.setTextURL(m_folder.filePath(QStringLiteral("Text.rtf")));
    panel.setMovie(std::make_unique<pf::FakeMovie>(5, 25, pf::Size(100, 50)));
    EXPECT_EQ(panel.layoutCount(), before);
    m_clock.advance(0.01);
    EXPECT_EQ(panel.layoutCount(), before + 1);
    m_clock.advance(1);
    EXPECT_EQ(panel.layoutCount(), before + 1);
}

TEST_F(InformationPanelTest, TopicFilesAreFoundByName)
{
    write(QStringLiteral("Both.rtf"), "{\\rtf1 plain}");
    write(QStringLiteral("Both.rtfd/TXT.rtf"), "{\\rtf1 folder}");
    // A subtitle file that would log a warning if it were read.
    write(QStringLiteral("en.lproj/Both.srt"), "2\n1,0 --> 2,0\nx\n");
    pf::LogCapture log;
    OVInformationPanel both(QStringLiteral("Both"));
    EXPECT_TRUE(both.textURL().endsWith(QStringLiteral("Both.rtfd")));
    EXPECT_EQ(both.textView()->document()->toPlainText(), QStringLiteral("folder"));
    EXPECT_EQ(both.movieController(), nullptr);
    EXPECT_FALSE(log.contains(QStringLiteral("Parsing fails"))) << "no movie, so no subtitles are read";

    if (!makeMovie(QStringLiteral("Clip.mov")))
        GTEST_SKIP() << "ffmpeg is not installed";
    write(QStringLiteral("en.lproj/Clip.srt"), "1\n00:00:00,000 --> 00:00:00,400\nHello\n");
    write(QStringLiteral("de.lproj/Clip.srt"), "1\n00:00:00,000 --> 00:00:00,400\nHallo\n");
    struct Case
    {
        const char* language;
        bool shown;
        QString firstCue;
    };
    for (const Case& c :
         {Case{"en", false, QStringLiteral("Hello")}, Case{"de_DE", true, QStringLiteral("Hallo")},
          Case{"fr", false, QStringLiteral("Hello")}}) {
        OVInformationPanel::setInformationFolderForTesting(m_folder.path(), QString::fromLatin1(c.language));
        OVInformationPanel clip(QStringLiteral("Clip"));
        ASSERT_NE(clip.movieController(), nullptr) << c.language;
        EXPECT_EQ(clip.movieController()->showSubtitle(), c.shown) << c.language;
        ASSERT_EQ(clip.movieController()->subtitles().size(), 1);
        EXPECT_EQ(clip.movieController()->subtitles().first()->string(), c.firstCue);
        EXPECT_EQ(clip.container()->frame().size.width, 480);
    }
}

TEST_F(InformationPanelTest, ActionsAreOnlyThoseRegisteredByName)
{
    int opened = 0;
    OVHelpActions::registerAction(QStringLiteral("openSample"), [&] { ++opened; });
    write(QStringLiteral("Known.ActionButton"),
          "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict>"
          "<key>title</key><string>Open the sample</string><key>description</key><string>Try it</string>"
          "<key>action</key><string>openSample</string></dict></plist>");
    write(QStringLiteral("Unknown.ActionButton"),
          "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict>"
          "<key>action</key><string>deleteAllDocuments:</string></dict></plist>");
    OVInformationPanel known(QStringLiteral("Known"));
    ASSERT_EQ(known.actionView()->superview(), known.container());
    EXPECT_TRUE(known.actionButton()->isEnabled());
    known.actionButton()->setButtonState(6);
    EXPECT_EQ(opened, 1);

    pf::LogCapture log;
    OVInformationPanel unknown(QStringLiteral("Unknown"));
    EXPECT_FALSE(unknown.actionButton()->isEnabled());
    EXPECT_TRUE(log.contains(
        QStringLiteral("Warning: Help topic \"Unknown\" names the unknown action \"deleteAllDocuments:\"")));
    unknown.actionButton()->setButtonState(6);
    EXPECT_EQ(opened, 1);
    OVHelpActions::unregisterAction(QStringLiteral("openSample"));
}

TEST_F(InformationPanelTest, ShowingOnceAndNotAgain)
{
    write(QStringLiteral("Topic.rtf"), "{\\rtf1 words}");
    pf::Window parent(pf::Rect(100, 100, 1000, 700));
    const QString topic = QStringLiteral("Topic");
    OVInformationPanel* first = OVInformationPanel::showInformationForTitle(topic, &parent);
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->isVisible());
    EXPECT_EQ(OVInformationPanel::showInformationForTitle(topic, &parent), nullptr) << "once per run";
    first->dontShowCheckbox()->setChecked(true);
    first->cancel(); // cancel records nothing
    EXPECT_TRUE(
        pf::UserDefaults::standard().dictionaryForKey(OVInformationPanel::dontShowAgainKey).isEmpty());
    EXPECT_TRUE(OVInformationPanel::openPanels().isEmpty());

    OVInformationPanel::resetAllDontShows();
    OVInformationPanel* second = OVInformationPanel::showInformationForTitle(topic, &parent);
    ASSERT_NE(second, nullptr);
    second->dontShowCheckbox()->setChecked(true);
    second->closeSheet();
    EXPECT_EQ(
        pf::UserDefaults::standard().dictionaryForKey(OVInformationPanel::dontShowAgainKey).value(topic), 1);
    EXPECT_FALSE(OVInformationPanel::shouldShowMessageWithTitle(topic));
    OVInformationPanel::resetAllDontShows();
    EXPECT_TRUE(OVInformationPanel::shouldShowMessageWithTitle(topic));
    QCoreApplication::processEvents();
}

// Mended: a sheet stayed counted open (and owned) after the window it was shown over closed with it up
// (a document closed with its first-run sheet), and windows opened later met it still there. It goes with
// its window, whether the window is kept or deleted, and records nothing.
TEST_F(InformationPanelTest, ASheetGoesWithTheWindowItWasShownOver)
{
    write(QStringLiteral("Topic.rtf"), "{\\rtf1 words}");
    const QString topic = QStringLiteral("Topic");
    for (const bool deleted : {false, true}) {
        SCOPED_TRACE(deleted ? "window deleted" : "window closed");
        OVInformationPanel::resetAllDontShows();
        auto parent = std::make_unique<pf::Window>(pf::Rect(100, 100, 1000, 700));
        parent->makeKeyAndOrderFront();
        QPointer<OVInformationPanel> shown = OVInformationPanel::showInformationForTitle(topic, parent.get());
        ASSERT_TRUE(shown);
        shown->dontShowCheckbox()->setChecked(true);
        parent->close();
        if (deleted)
            parent.reset();
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(OVInformationPanel::openPanels().isEmpty());
        EXPECT_FALSE(shown) << "let go";
        EXPECT_TRUE(
            pf::UserDefaults::standard().dictionaryForKey(OVInformationPanel::dontShowAgainKey).isEmpty());
    }
    OVInformationPanel::resetAllDontShows();
}

TEST_F(InformationPanelTest, EndingTheSheetPausesThePlayingMovie)
{
    pf::Window parent(pf::Rect(100, 100, 1000, 700));
    OVInformationPanel panel(QStringLiteral("Nothing"));
    auto movie = std::make_unique<pf::FakeMovie>(5, 25, pf::Size(320, 240));
    pf::FakeMovie* fake = movie.get();
    panel.setMovie(std::move(movie));
    panel.showOverWindow(&parent);
    panel.movieController()->togglePlayPause();
    ASSERT_TRUE(panel.movieController()->isPlaying());
    panel.cancel();
    EXPECT_FALSE(panel.isVisible());
    EXPECT_FALSE(panel.movieController()->isPlaying());
    EXPECT_EQ(fake->pauseCalls, 1);
    // A narrow parent still leaves the content room.
    EXPECT_GE(panel.maxSize().width, 640);
}

TEST_F(InformationPanelTest, ASheetFitsOnTheScreen)
{
    QByteArray text = "{\\rtf1 ";
    for (int i = 0; i < 20; ++i)
        text += "Words of help that fill some lines. ";
    write(QStringLiteral("Tall.rtf"), text + "}");
    struct Case
    {
        const char* what;
        pf::Size movie;
        double parentTopFromScreenTop;
    };
    for (const Case& c : {Case{"a large movie is narrowed until OK is in reach", {1920, 1200}, 0},
                          Case{"a sheet under a lower parent leaves it room", {1920, 1200}, 100},
                          Case{"a small movie keeps its size", {320, 200}, 0}}) {
        SCOPED_TRACE(c.what);
        const QRect usable = QGuiApplication::primaryScreen()->availableGeometry();
        const double screenHeight = QGuiApplication::primaryScreen()->geometry().height();
        const double top = usable.y() + c.parentTopFromScreenTop;
        pf::Window parent(pf::Rect(0, screenHeight - top - 500, 1600, 500));
        const double available = usable.y() + usable.height() - top - 20;
        OVInformationPanel panel(QStringLiteral("Tall"));
        panel.setMovie(std::make_unique<pf::FakeMovie>(5, 25, c.movie));
        panel.showOverWindow(&parent);
        const double height = panel.loadedWindow()->frame().size.height;
        const pf::Rect movie = panel.movieController()->view()->frame();
        if (c.movie.width > 1000) {
            EXPECT_LE(height, available);
            EXPECT_LT(movie.size.width, 1000);
            EXPECT_NEAR(movie.size.height / movie.size.width, 0.625, 0.01);
        } else {
            EXPECT_DOUBLE_EQ(movie.size.width, 320);
        }
        panel.cancel();
    }
    QCoreApplication::processEvents();
}

} // namespace

namespace {

// The shipped topics: each reads, with its title and subtitle from the help folder's strings.
TEST(HelpContent, EveryShippedTopicLoads)
{
    pf::SteppedClock clock;
    OVInformationPanel::setInformationFolderForTesting(
        QDir(pf::Bundle::main().resourcePath()).filePath(QStringLiteral("Informations")));
    const auto topics = pf::PropertyList::fromFile(OVInformationPanel::informationBundle().pathForResource(
        QStringLiteral("HelpInformations"), QStringLiteral("plist")));
    ASSERT_TRUE(topics);
    const QVariantList names = topics->toList();
    ASSERT_EQ(names.size(), 5);
    pf::LogCapture log;
    for (const QVariant& name : names) {
        OVInformationPanel panel(name.toString());
        SCOPED_TRACE(name.toString().toStdString());
        EXPECT_NE(OVInformationPanel::localizedString(name.toString()), name.toString());
        EXPECT_NE(OVInformationPanel::localizedString(name.toString() + QStringLiteral("Sub")),
                  name.toString() + QStringLiteral("Sub"));
        EXPECT_FALSE(panel.textURL().isEmpty());
        EXPECT_GT(panel.textView()->document()->toPlainText().size(), 100);
    }
    OVInformationPanel layers(QStringLiteral("Layers"));
    EXPECT_TRUE(layers.textURL().endsWith(QStringLiteral(".rtfd")));
    EXPECT_TRUE(layers.textView()->document()->toPlainText().contains(QChar::ObjectReplacementCharacter));
    // The sample action is the application's: without it registered, the button is refused.
    OVInformationPanel retouching(QStringLiteral("Retouching"));
    EXPECT_EQ(retouching.actionView()->superview(), retouching.container());
    const QStringList warnings = log.lines().filter(QStringLiteral("Warning:"));
    EXPECT_EQ(warnings.size(), 2) << warnings.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(warnings.filter(QStringLiteral("\"openSample\"")).size(), 2);
    OVInformationPanel::setInformationFolderForTesting(QString());
}

} // namespace

namespace {

// Text is measured when first laid out, before anything has drawn it.
TEST(RichTextView, MeasuresTextNotYetLaidOut)
{
    OVRichTextView view(pf::Rect(0, 0, 100, 100));
    view.document()->setPlainText(QStringLiteral("A line of help text that wraps when narrow."));
    const pf::Size wide = view.usedSizeForWidth(2000);
    EXPECT_GT(wide.width, 50);
    EXPECT_LT(wide.width, 2000);
    const pf::Size narrow = view.usedSizeForWidth(120);
    EXPECT_LE(narrow.width, 120);
    EXPECT_GT(narrow.height, wide.height);
}

} // namespace
