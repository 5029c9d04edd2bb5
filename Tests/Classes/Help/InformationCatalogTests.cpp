#include "Classes/Framework/Toolkit/OVButton.h"
#include "Classes/Framework/Toolkit/OVListView.h"
#include "Classes/Framework/Toolkit/OVShadowedScrollView.h"
#include "Classes/Help/OVInformationCatalog.h"
#include "Classes/Help/OVInformationCatalogDelegate.h"
#include "Classes/Help/OVInformationListEntry.h"
#include "Classes/Help/OVInformationPanel.h"
#include "Classes/Help/OVMovieController.h"
#include "Platform/Foundation/PropertyList.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/Media/FakeMovie.h"
#include "Platform/UI/ClipView.h"
#include "Platform/UI/SplitView.h"
#include "Platform/UI/SteppedClock.h"
#include "Platform/UI/TextField.h"
#include "Platform/UI/Window.h"

#include "HelpFolderTest.h"
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// A help folder made for the test: topics A, B and C, C with one paragraph long enough to scroll.
class InformationCatalogTest : public HelpFolderTest
{
protected:
    void prepare() override
    {
        writePlist(QStringLiteral("HelpInformations.plist"), QVariantList{"A", "B", "C"});
        writePlist(QStringLiteral("en.lproj/Localizable.plist"),
                   QVariantMap{{"A", "Alpha"}, {"ASub", "First things"}, {"B", "Beta"}, {"C", "Gamma"}});
        write(QStringLiteral("A.rtf"), "{\\rtf1 A short topic.}");
        write(QStringLiteral("B.rtf"), "{\\rtf1 Another short topic.}");
        QByteArray tall = "{\\rtf1 ";
        for (int i = 0; i < 400; ++i)
            tall += "Words of a long topic that wrap. ";
        write(QStringLiteral("C.rtf"), tall + "}");
        OVInformationPanel::setInformationFolderForTesting(m_folder.path());
        OVInformationCatalog::resetSharedCatalogForTesting();
    }
    void TearDown() override
    {
        OVInformationCatalog::resetSharedCatalogForTesting();
        OVInformationPanel::setInformationFolderForTesting(QString());
        m_clock.advance(0.1);
        QCoreApplication::processEvents();
    }

    void writePlist(const QString& relative, const QVariant& value)
    {
        const auto data = pf::PropertyList::toData(value, pf::PropertyList::Format::Xml);
        ASSERT_TRUE(data);
        write(relative, *data);
    }
    static QStringList namesTopToBottom(OVListView* list)
    {
        QList<OVListEntryView*> entries = list->entries();
        std::sort(entries.begin(), entries.end(), [](OVListEntryView* a, OVListEntryView* b) {
            return a->frame().minY() > b->frame().minY();
        });
        QStringList names;
        for (OVListEntryView* entry : entries)
            names << qobject_cast<OVInformationListEntry*>(entry)->infoName();
        return names;
    }
    static QString shownTopic(OVInformationCatalog& catalog)
    {
        OVInformationPanel* panel = catalog.selectedPanel();
        pf::View* document = catalog.infoScrollView()->documentView();
        return panel && panel->container()->superview() == document && document->subviews().size() == 1
                   ? panel->tag()
                   : QString();
    }
};

TEST_F(InformationCatalogTest, ListsTheTopicsInFileOrderAndAlwaysShowsOne)
{
    OVInformationCatalog catalog(std::make_shared<QStringList>(QStringList{"A", "B", "C"}));
    ASSERT_NE(catalog.window(), nullptr);
    EXPECT_EQ(catalog.window()->title(), QStringLiteral("Tips & Tricks"));
    OVListView* list = catalog.infoList();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(namesTopToBottom(list), (QStringList{"A", "B", "C"}));
    EXPECT_EQ(shownTopic(catalog), QStringLiteral("A"));
    EXPECT_EQ(catalog.infoTitle()->stringValue(), QStringLiteral("Alpha"));
    EXPECT_EQ(catalog.infoSubtitle()->stringValue(), QStringLiteral("First things"));
    // The row shows the translated texts, as tall as its head whether open or not.
    auto* first = qobject_cast<OVInformationListEntry*>(list->selectedEntry());
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->rowView()->title(), QStringLiteral("Alpha"));
    EXPECT_DOUBLE_EQ(first->preferredHeight(), OVListEntryView::headHeight);

    struct Step
    {
        const char* what;
        unsigned select; // OVListView::notFound: clear the selection
        const char* shown;
        const char* title;
        const char* subtitle;
    };
    const Step steps[] = {
        {"another topic", 1, "B", "Beta", "BSub"},
        {"a topic without texts shows its keys", 0, "C", "Gamma", "CSub"},
        {"no selection selects the first topic again", OVListView::notFound, "A", "Alpha", "First things"},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        if (s.select == OVListView::notFound)
            list->setSelectedEntry(nullptr);
        else
            list->setSelectedIndex(s.select);
        EXPECT_EQ(shownTopic(catalog), QString::fromLatin1(s.shown));
        EXPECT_NE(list->selectedEntry(), nullptr);
        EXPECT_EQ(catalog.infoTitle()->stringValue(), QString::fromLatin1(s.title));
        EXPECT_EQ(catalog.infoSubtitle()->stringValue(), QString::fromLatin1(s.subtitle));
    }
    // Topics shown before went back to their own panels, whole.
    for (OVListEntryView* entry : list->entries()) {
        auto* row = qobject_cast<OVInformationListEntry*>(entry);
        if (row->existingInfoPanel()) {
            EXPECT_NE(row->existingInfoPanel()->container(), nullptr) << row->infoName().toStdString();
        }
    }
}

TEST_F(InformationCatalogTest, TopicsSitAtTheTopAndScrollBackWhenChanged)
{
    OVInformationCatalog catalog(std::make_shared<QStringList>(QStringList{"A", "B", "C"}));
    ASSERT_NE(catalog.window(), nullptr);
    OVShadowedScrollView* scroll = catalog.infoScrollView();
    pf::ClipView* clip = scroll->contentView();
    pf::View* document = scroll->documentView();
    const auto topOfDocument = [&] { return document->frame().height() - clip->bounds().height(); };

    // A short topic: the document is the pane's height, the content at its top, inset 20 on the left.
    const pf::Rect a = catalog.selectedPanel()->container()->frame();
    EXPECT_DOUBLE_EQ(document->frame().height(), clip->bounds().height());
    EXPECT_DOUBLE_EQ(a.minX(), 20);
    EXPECT_DOUBLE_EQ(a.maxY(), document->frame().height());
    EXPECT_LE(a.width(), clip->bounds().width() - 40);

    // A tall one: the document grows by the content and a margin, and the pane shows its top.
    catalog.infoList()->setSelectedIndex(0);
    const pf::Rect c = catalog.selectedPanel()->container()->frame();
    ASSERT_GT(c.height(), clip->bounds().height());
    EXPECT_DOUBLE_EQ(document->frame().height(), c.height() + 20);
    EXPECT_DOUBLE_EQ(clip->bounds().minY(), topOfDocument());
    EXPECT_DOUBLE_EQ(scroll->contentHeight(), c.height());

    // Scrolled down, then another topic: back at the top.
    clip->setBoundsOrigin(pf::Point(0, 0));
    catalog.infoList()->setSelectedIndex(1);
    EXPECT_DOUBLE_EQ(clip->bounds().minY(), topOfDocument());
    catalog.infoList()->setSelectedIndex(0);
    EXPECT_DOUBLE_EQ(clip->bounds().minY(), topOfDocument());

    // A wider window lays the topic out again for the new width.
    catalog.window()->setContentSize(pf::Size(1300, 600));
    EXPECT_DOUBLE_EQ(document->frame().width(), clip->bounds().width());
    EXPECT_LT(catalog.selectedPanel()->container()->frame().height(), c.height());
}

TEST_F(InformationCatalogTest, DividerLimits)
{
    OVInformationCatalog catalog(std::make_shared<QStringList>(QStringList{"A"}));
    ASSERT_NE(catalog.window(), nullptr);
    pf::SplitView* split = catalog.splitView();
    const auto panes = [&] { return split->panes(); };
    const double t = split->dividerThickness();
    split->setFrameSize(pf::Size(900, 600));

    struct Drag
    {
        const char* what;
        double to, expected;
    };
    for (const Drag& d : {Drag{"below 200 is refused", 120, 200}, Drag{"in between", 320, 320},
                          Drag{"the content keeps 300 points", 800, 900 - t - 300}}) {
        SCOPED_TRACE(d.what);
        split->setPositionOfDivider(d.to, 0);
        EXPECT_DOUBLE_EQ(panes()[0]->frame().width(), d.expected);
        EXPECT_DOUBLE_EQ(panes()[1]->frame().minX(), d.expected + t);
        EXPECT_DOUBLE_EQ(panes()[1]->frame().maxX(), 900);
    }

    split->setPositionOfDivider(260, 0);
    struct Resize
    {
        const char* what;
        double width, left;
    };
    for (const Resize& r : {Resize{"wider: the list keeps its width", 1200, 260},
                            Resize{"narrow: the list gives way to the content", 520, 520 - t - 300},
                            Resize{"too narrow for both: the list's minimum wins", 420, 200},
                            Resize{"narrower than the list: no negative width", 150, 200}}) {
        SCOPED_TRACE(r.what);
        split->setFrameSize(pf::Size(r.width, 600));
        EXPECT_DOUBLE_EQ(panes()[0]->frame().width(), r.left);
        EXPECT_GE(panes()[1]->frame().width(), 0);
        EXPECT_DOUBLE_EQ(panes()[1]->frame().minX(), r.left + t);
        EXPECT_DOUBLE_EQ(panes()[1]->frame().height(), 600);
    }
}

struct Owner : OVInformationCatalogDelegate
{
    bool takesGetStarted = false;
    int getStarted = 0, closed = 0;
    bool infoCatalogGetStarted(OVInformationCatalog*) override
    {
        ++getStarted;
        return takesGetStarted;
    }
    void infoCatalogDidClose(OVInformationCatalog*) override { ++closed; }
};

TEST_F(InformationCatalogTest, GetStartedClosesUnlessTheDelegateTakesIt)
{
    for (const bool takes : {false, true}) {
        SCOPED_TRACE(takes ? "delegate takes it" : "delegate declines");
        OVInformationCatalog catalog(std::make_shared<QStringList>(QStringList{"A"}));
        Owner owner;
        owner.takesGetStarted = takes;
        catalog.setDelegate(&owner);
        EXPECT_EQ(catalog.getStartedButton(), nullptr) << "asking does not load the window";
        catalog.showWindow();
        ASSERT_NE(catalog.getStartedButton(), nullptr);
        catalog.getStartedButton()->setButtonState(6);
        m_clock.advance(0.01);
        QCoreApplication::processEvents();
        EXPECT_EQ(owner.getStarted, 1);
        EXPECT_EQ(catalog.isWindowLoaded(), takes);
        EXPECT_EQ(owner.closed, takes ? 0 : 1);
    }
    // Without a delegate the button closes the window.
    OVInformationCatalog alone(std::make_shared<QStringList>(QStringList{"A"}));
    alone.showWindow();
    alone.getStarted();
    m_clock.advance(0.01);
    EXPECT_FALSE(alone.isWindowLoaded());
}

TEST_F(InformationCatalogTest, SharedCatalogRebuildsWithAddedNames)
{
    OVInformationCatalog::showSharedInformationCatalog();
    OVInformationCatalog* catalog = OVInformationCatalog::sharedInformationCatalog();
    ASSERT_TRUE(catalog->isWindowLoaded());
    EXPECT_EQ(namesTopToBottom(catalog->infoList()), (QStringList{"A", "B", "C"}));
    OVInformationCatalog::addInformation(QStringLiteral("D"));
    EXPECT_EQ(catalog->infoList()->count(), 3u) << "the open window keeps its list";
    catalog->setWindowTitle(QStringLiteral("Help"));
    EXPECT_EQ(catalog->window()->title(), QStringLiteral("Help"));
    catalog->close();
    m_clock.advance(0.01);
    ASSERT_FALSE(catalog->isWindowLoaded());
    OVInformationCatalog::showSharedInformationCatalog();
    EXPECT_EQ(OVInformationCatalog::sharedInformationCatalog(), catalog);
    EXPECT_EQ(namesTopToBottom(catalog->infoList()), (QStringList{"A", "B", "C", "D"}));
    EXPECT_EQ(catalog->window()->title(), QStringLiteral("Help"));
}

TEST_F(InformationCatalogTest, OpeningARowMovesTheFocusLaterAndSafely)
{
    OVInformationCatalog catalog(std::make_shared<QStringList>(QStringList{"A", "B"}));
    catalog.showWindow();
    OVListView* list = catalog.infoList();
    ASSERT_NE(list, nullptr);
    auto* b = qobject_cast<OVInformationListEntry*>(list->entryAtIndex(0));
    // The open flow: the panel shows while its row is open and hides (pausing a movie) when it closes.
    catalog.listViewWillOpenEntry(list, b);
    catalog.listViewDidOpenEntry(list, b);
    EXPECT_TRUE(b->infoPanel()->isVisible());
    catalog.listViewWillCloseEntry(list, b);
    EXPECT_FALSE(b->infoPanel()->isVisible());
    // Choosing another topic closes the shown one's row, which pauses its movie, even one started while
    // the row was still opening.
    auto* a = qobject_cast<OVInformationListEntry*>(list->entryAtIndex(1));
    auto movie = std::make_unique<pf::FakeMovie>(5, 25, pf::Size(320, 200));
    pf::FakeMovie* fake = movie.get();
    a->infoPanel()->setMovie(std::move(movie));
    a->infoPanel()->movieController()->togglePlayPause();
    ASSERT_TRUE(a->infoPanel()->movieController()->isPlaying());
    list->setSelectedIndex(0);
    m_clock.advance(1);
    EXPECT_FALSE(a->infoPanel()->movieController()->isPlaying());
    EXPECT_EQ(fake->pauseCalls, 1);
    EXPECT_EQ(shownTopic(catalog), QStringLiteral("B"));
    // The queued focus move meets a panel that went with its window.
    catalog.listViewWillOpenEntry(list, b);
    catalog.forceCloseWindow();
    m_clock.advance(0.01);
    QCoreApplication::processEvents();
    EXPECT_FALSE(catalog.isWindowLoaded());
    EXPECT_EQ(catalog.infoList(), nullptr);
}

TEST_F(InformationCatalogTest, NoTopicsGiveAnEmptyList)
{
    QFile::remove(m_folder.filePath(QStringLiteral("HelpInformations.plist")));
    OVInformationCatalog::resetSharedCatalogForTesting();
    OVInformationCatalog::showSharedInformationCatalog();
    OVInformationCatalog* catalog = OVInformationCatalog::sharedInformationCatalog();
    ASSERT_NE(catalog->infoList(), nullptr);
    EXPECT_EQ(catalog->infoList()->count(), 0u);
    EXPECT_EQ(catalog->selectedPanel(), nullptr);
}

} // namespace
