#include "Classes/Document/DocumentHandler.h"
#include "Classes/Document/GMApplicationDelegate.h"
#include "Classes/Document/GMLinks.h"
#include "Classes/Document/OVRateUsController.h"
#include "Classes/Document/OVSystemInfo.h"
#include "Classes/Framework/Toolkit/OVButton.h"
#include "DocumentTestSupport.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/UI/SteppedClock.h"
#include "Platform/UI/Window.h"

#include <QAction>
#include <QLabel>
#include <QTextDocument>
#include <QTextEdit>
#include <gtest/gtest.h>

using namespace doctest;

namespace {

struct Recorder : OVNoteDelegate
{
    void noteWasClosedByButton(OVNoteController*, OVButton* button) override { pressed.append(button); }
    QList<OVButton*> pressed;
};

pf::Window* shownWindow(double width = 900, double height = 600)
{
    auto* window = new pf::Window(pf::Rect(100, 100, width, height));
    window->setReleasedWhenClosed(true);
    window->makeKeyAndOrderFront();
    spinUntil([&] { return window->isVisible(); }, 2000);
    return window;
}

class RatingPrompt : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (const char* key : {"rate.neverAsk", "rate.timesStarted", "rate.ratedVersion"})
            pf::UserDefaults::standard().removeObject(QString::fromLatin1(key));
        GMLinks::setOpenerForTesting([this](const QUrl& url) {
            m_opened << url;
            return true;
        });
        OVRateUsController::setModifiersForTesting([this] { return m_modifiers; });
        m_parent = shownWindow();
        m_version = QCoreApplication::applicationVersion();
        QCoreApplication::setApplicationVersion(QStringLiteral("2.4.1"));
    }
    void TearDown() override
    {
        OVRateUsController::resetShared();
        OVRateUsController::setModifiersForTesting({});
        GMLinks::setOpenerForTesting({});
        if (m_parent)
            m_parent->close();
        QCoreApplication::setApplicationVersion(m_version);
    }
    // One launch's check; whether the prompt came up over the parent.
    bool check()
    {
        OVRateUsController::resetShared();
        OVRateUsController::verifyRateUs(m_url);
        OVRateUsController* prompt = OVRateUsController::shared();
        return prompt && prompt->parentWindow() == m_parent.data() && prompt->isVisible();
    }
    // The checks until the prompt shows (0 when it did not within `limit`).
    int checksUntilShown(int limit = 12)
    {
        for (int k = 1; k <= limit; ++k)
            if (check())
                return k;
        return 0;
    }
    void answer(OVButton* (OVNoteController::*button)() const)
    {
        OVRateUsController* prompt = OVRateUsController::shared();
        ASSERT_TRUE(prompt);
        (prompt->*button)()->sendAction();
    }

    QPointer<pf::Window> m_parent;
    QUrl m_url{QStringLiteral("https://example.org/rate")};
    QList<QUrl> m_opened;
    Qt::KeyboardModifiers m_modifiers = Qt::NoModifier;
    QString m_version;
};

} // namespace

TEST(Note, SizesToItsButtonsAndTextWithinTheTextLimits)
{
    struct Row
    {
        const char* what;
        QString cancel, other, approve;
        int lines;
        double textHeight; // expected clamped text height; 0: the text's own
    };
    const QString longTitle = QStringLiteral("A much longer title than any button needs");
    const QList<Row> rows{
        {"short text, short buttons", "No", "Later", "Yes", 1, 50},
        {"long text", "No", "Later", "Yes", 80, 300},
        {"middling text", "No", "Later", "Yes", 7, 0},
        {"wide buttons", longTitle, longTitle, longTitle, 1, 50},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        OVNoteController note;
        ASSERT_TRUE(note.window());
        note.titleTF()->setText(QStringLiteral("Title"));
        note.cancelButton()->setTitle(row.cancel);
        note.otherButton()->setTitle(row.other);
        note.approveButton()->setTitle(row.approve);
        QStringList lines;
        for (int k = 0; k < row.lines; ++k)
            lines << QStringLiteral("Line %1 of the note's text.").arg(k);
        QTextDocument text;
        text.setPlainText(lines.join(u'\n'));
        note.setText(text);
        note.adjustWindowSize();

        const auto w = [](OVButton* b) { return std::ceil(std::max(b->intrinsicContentSize().width, 60.0)); };
        const double width = std::max(350.0, w(note.cancelButton()) + 32 + 8 + w(note.otherButton()) + 8 +
                                                 w(note.approveButton()) + 39);
        EXPECT_DOUBLE_EQ(note.window()->frame().size.width, width);
        const double own = note.textHeightForWidth(width - 49 - 32) + 5;
        const double textHeight = row.textHeight > 0 ? row.textHeight : own;
        if (row.textHeight == 0) {
            EXPECT_TRUE(own > 50 && own < 300) << own;
        }
        const double buttonHeight =
            std::ceil(std::max(note.approveButton()->intrinsicContentSize().height, 22.0));
        const double titleHeight = std::ceil(note.titleTF()->sizeHint().height());
        EXPECT_DOUBLE_EQ(note.window()->frame().size.height,
                         buttonHeight + 53 + 28 + textHeight + titleHeight + 77 + 8);
        // The text fills the room it was given, and the buttons do not overlap.
        EXPECT_EQ(note.textView()->height(), int(textHeight));
        EXPECT_LE(note.otherButton()->frame().maxX() + 8, note.approveButton()->frame().origin.x + 0.5);
    }
}

TEST(Note, StaysOnItsParentsTopAtItsFractionAndGoesWithIt)
{
    pf::Window* parent = shownWindow(900, 600);
    Recorder recorder;
    OVNoteController note;
    note.setDelegate(&recorder);
    ASSERT_TRUE(note.window());
    note.adjustWindowSize();
    const auto expectPlaced = [&](const char* when) {
        SCOPED_TRACE(when);
        const pf::Rect p = parent->frame(), n = note.window()->frame();
        EXPECT_DOUBLE_EQ(n.maxY(), p.origin.y + parent->contentHeight()) << "the top meets the content top";
        const double x = std::clamp(p.origin.x + 0.7 * p.size.width - n.size.width + 66, p.origin.x,
                                    p.maxX() - n.size.width);
        EXPECT_DOUBLE_EQ(n.origin.x, x);
        EXPECT_GE(n.origin.x, p.origin.x);
        EXPECT_LE(n.maxX(), p.maxX());
    };
    note.attachToWindow(parent, 0.7);
    EXPECT_EQ(note.window()->parentWindow(), parent);
    EXPECT_TRUE(note.window()->isKeyWindow());
    expectPlaced("attached");
    parent->setFrame(pf::Rect(120, 80, 1200, 700));
    spinUntil([] { return false; }, 50);
    expectPlaced("widened");
    parent->setFrame(pf::Rect(120, 80, 420, 700));
    spinUntil([] { return false; }, 50);
    expectPlaced("narrower than the anchor allows");

    // A button closes it and says which.
    note.approveButton()->sendAction();
    EXPECT_EQ(recorder.pressed, QList<OVButton*>{note.approveButton()});
    EXPECT_FALSE(note.isVisible());
    EXPECT_EQ(note.parentWindow(), nullptr);

    // Closing the parent closes the note.
    OVNoteController second;
    ASSERT_TRUE(second.window());
    second.attachToWindow(parent, 0.2);
    ASSERT_TRUE(second.isVisible());
    parent->close();
    EXPECT_FALSE(second.isVisible());
    EXPECT_EQ(second.parentWindow(), nullptr);
    EXPECT_TRUE(recorder.pressed.size() == 1) << "closing with the parent presses nothing";
}

TEST_F(RatingPrompt, ShowsAtTheFifthCheckAndRemembersTheAnswer)
{
    EXPECT_EQ(checksUntilShown(), 5);
    OVRateUsController* prompt = OVRateUsController::shared();
    EXPECT_EQ(prompt->titleTF()->text(), QStringLiteral("Spread the word!"));
    EXPECT_EQ(prompt->cancelButton()->title(), QStringLiteral("Ask Later"));
    EXPECT_EQ(prompt->otherButton()->title(), QStringLiteral("Never Ask"));
    EXPECT_EQ(prompt->approveButton()->title(), QStringLiteral("Rate Now"));
    EXPECT_TRUE(prompt->textView()->toPlainText().contains("rating")) << "the RateUs text";
    EXPECT_TRUE(check()) << "every later check shows it until answered";

    answer(&OVNoteController::cancelButton);
    EXPECT_EQ(pf::UserDefaults::standard().integerForKey("rate.timesStarted"), 0);
    EXPECT_EQ(checksUntilShown(), 5) << "Ask Later: five checks later";

    answer(&OVNoteController::approveButton);
    EXPECT_EQ(m_opened, QList<QUrl>{m_url});
    EXPECT_EQ(pf::UserDefaults::standard().stringForKey("rate.ratedVersion"), "2.4.1");
    EXPECT_EQ(checksUntilShown(), 0) << "Rate Now: never again";
    pf::UserDefaults::standard().setString("rate.ratedVersion", "0.0.0.1");
    EXPECT_EQ(checksUntilShown(), 0) << "not for a new version either";

    // Alt resets the answer and shows the prompt at once.
    m_modifiers = Qt::AltModifier;
    EXPECT_TRUE(check());
    m_modifiers = Qt::NoModifier;
    answer(&OVNoteController::otherButton);
    EXPECT_TRUE(pf::UserDefaults::standard().boolForKey("rate.neverAsk"));
    EXPECT_EQ(checksUntilShown(), 0) << "Never Ask: never again";
    pf::UserDefaults::standard().setString("rate.ratedVersion", "0.0.0.1");
    EXPECT_EQ(checksUntilShown(), 0) << "not for a new version either";
    m_modifiers = Qt::AltModifier;
    EXPECT_TRUE(check()) << "Alt overrides Never Ask too";
    EXPECT_FALSE(pf::UserDefaults::standard().boolForKey("rate.neverAsk"));
}

TEST_F(RatingPrompt, WithoutAKeyWindowRetriesEveryTwoSecondsOnTheTopLevelWindow)
{
    pf::SteppedClock clock;
    m_parent->resignKeyWindow();
    ASSERT_EQ(pf::Window::keyWindow(), nullptr);
    m_modifiers = Qt::AltModifier;
    OVRateUsController::verifyRateUs(m_url);
    OVRateUsController* prompt = OVRateUsController::shared();
    ASSERT_TRUE(prompt);
    EXPECT_TRUE(prompt->isWaitingForKeyWindow());
    clock.advance(1.9);
    EXPECT_TRUE(prompt->isWaitingForKeyWindow());
    clock.advance(0.2);
    EXPECT_TRUE(prompt->isWaitingForKeyWindow()) << "still no key window at 2 s: waits again";
    // An overlay becomes key: the prompt goes over its owner, not into the overlay.
    auto* overlay = new pf::Window(pf::Rect(150, 150, 200, 120), pf::Window::Borderless);
    m_parent->addChildWindow(overlay);
    overlay->makeKeyAndOrderFront();
    ASSERT_EQ(pf::Window::keyWindow(), overlay);
    clock.advance(2.0);
    EXPECT_FALSE(prompt->isWaitingForKeyWindow());
    EXPECT_EQ(prompt->parentWindow(), m_parent.data());
    EXPECT_DOUBLE_EQ(prompt->locationFix(), 0.7);
}

TEST_F(RatingPrompt, GoingToTheProductPageCountsAsRated)
{
    GMLinks::setTableForTesting({{"ProductPage", m_url.toString()}});
    for (int path = 0; path < 2; ++path) {
        pf::UserDefaults::standard().removeObject("rate.ratedVersion");
        if (path == 0) {
            DocumentHandler handler;
            handler.welcomeWindowOpenLink("ProductPage");
        } else {
            GMApplicationDelegate delegate;
            QAction* rate = delegate.action("Rate Glimora");
            ASSERT_TRUE(rate);
            EXPECT_TRUE(rate->isVisible());
            rate->trigger();
        }
        EXPECT_EQ(pf::UserDefaults::standard().stringForKey("rate.ratedVersion"), "2.4.1") << path;
        EXPECT_EQ(checksUntilShown(), 0) << path;
    }
    EXPECT_EQ(m_opened.size(), 2);
    GMLinks::setTableForTesting({});
}

TEST_F(RatingPrompt, OneCheckPerLaunchWhenTheFirstWindowIsKeyAndOnlyWithAPage)
{
    for (bool page : {false, true}) {
        SCOPED_TRACE(page);
        GMLinks::setTableForTesting({{"ProductPage", page ? m_url.toString() : QString()}});
        pf::UserDefaults::standard().setInteger("rate.timesStarted", 3);
        GMApplicationDelegate delegate;
        delegate.watchFirstKeyWindowForRating();
        m_parent->resignKeyWindow();
        m_parent->makeKeyWindow();
        pf::Window other(pf::Rect(40, 40, 300, 200));
        other.makeKeyAndOrderFront();
        m_parent->makeKeyWindow();
        spinUntil([] { return false; }, 100);
        EXPECT_EQ(pf::UserDefaults::standard().integerForKey("rate.timesStarted"), page ? 4 : 3);
        EXPECT_EQ(OVRateUsController::shared(), nullptr) << "the fourth check shows nothing";
        other.close();
    }
    GMLinks::setTableForTesting({});
}
