#include "Classes/Framework/Toolkit/AttributedStringORVExtension.h"
#include "Classes/Framework/Toolkit/LayerORVExtension.h"
#include "Classes/Framework/Toolkit/OVCIImageLayer.h"
#include "Classes/Framework/Toolkit/OVLocalizeHelper.h"
#include "Classes/Framework/Toolkit/ObjectORVExtension.h"
#include "Classes/Framework/Toolkit/PopUpButtonORVExtension.h"
#include "Classes/Framework/Toolkit/ScrollViewORVExtension.h"
#include "Classes/Framework/Toolkit/WindowORVExtension.h"
#include "Platform/Foundation/KeyValueCoding.h"
#include "Platform/Foundation/Log.h"
#include "Platform/UI/Menu.h"
#include "Platform/UI/SteppedClock.h"
#include "Platform/UI/View.h"
#include "Platform/UI/ViewAnimator.h"
#include "Platform/UI/Window.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QPainter>
#include <QTest>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <thread>

namespace {

using pf::Point;
using pf::Rect;
using pf::Size;

// A menu as text: "Title", "[Header]" (disabled), "  Title|grey part" (indented), "---".
QStringList describe(const pf::Menu& menu)
{
    QStringList lines;
    for (const QAction* item : menu.actions()) {
        if (item->isSeparator()) {
            lines.append(QStringLiteral("---"));
            continue;
        }
        QString line = QString(pf::Menu::indentationLevel(item) * 2, u' ');
        const QString trailing = pf::Menu::trailingPart(item);
        const QString title = pf::Menu::title(item);
        line += trailing.isEmpty() ? title : title.chopped(trailing.size() + 1) + u'|' + trailing;
        lines.append(item->isEnabled() ? line : u'[' + line + u']');
    }
    return lines;
}

TEST(PopUpEntries, HeadersSeparatorsAndCategorisedItems)
{
    struct Case
    {
        QStringList entries;
        QStringList menu;
    };
    const Case cases[] = {
        {{"Plain", "Colours-", "ColoursWarm", "ColoursCold", "-", "Other"},
         {"Plain", "[Colours]", "  Warm|Colours", "  Cold|Colours", "---", "Other"}},
        // An entry that does not begin with the header is plain and ends the category.
        {{"Tones-", "Sepia", "TonesDeep"}, {"[Tones]", "Sepia", "TonesDeep"}},
        // Equal titles in different categories both stay; an empty entry is left out.
        {{"Warm-", "WarmSoft", "", "Cold-", "ColdSoft", "Plain", "Plain"},
         {"[Warm]", "  Soft|Warm", "[Cold]", "  Soft|Cold", "Plain", "Plain"}},
        // The header is the translation that ends in "-", and items match the translated header.
        {{"Frames-", "FramesOak"}, {"[Rahmen]", "  Eiche|Rahmen"}},
        // A spaced header: its entries' separator is no part of their titles.
        {{"Wood -", "Wood - Light Oak", "Wood -Walnut", "Metal -", "Metal - Gold Leaf"},
         {"[Wood]", "  Light Oak|Wood", "  Walnut|Wood", "[Metal]", "  Gold Leaf|Metal"}},
    };
    pf::LogCapture log;
    for (const Case& c : cases) {
        OVLocalizeHelper::setLocalizedString(QStringLiteral("Rahmen-"), QStringLiteral("Frames-"));
        OVLocalizeHelper::setLocalizedString(QStringLiteral("RahmenEiche"), QStringLiteral("FramesOak"));
        pf::Menu menu;
        PopUpButtonORVExtension::addEntries(menu, c.entries);
        EXPECT_EQ(describe(menu), c.menu) << c.entries.join(u',').toStdString();
    }
    OVLocalizeHelper::setLocalizedString({}, QStringLiteral("Frames-"));
    OVLocalizeHelper::setLocalizedString({}, QStringLiteral("FramesOak"));
    EXPECT_EQ(log.lines().filter(QStringLiteral("Warning: ")).size(), 1) << "the empty entry";
}

pf::AttributedString text(const QString& string)
{
    return pf::AttributedString(string, {pf::systemFont(13), Qt::black});
}

double drawnWidth(const QString& string)
{
    return text(string).size().width;
}

// Drops one character at a time, as the rule reads, to check the bisection against.
QString truncatedStepwise(const QString& string, int width)
{
    if (drawnWidth(string) <= width)
        return string;
    QString copy = string.left(std::max<qsizetype>(0, string.size() - 2)) + QStringLiteral("\u2026");
    while (drawnWidth(copy) > width && copy.size() > 1)
        copy.remove(copy.size() - 2, 1);
    return copy;
}

TEST(TextTruncation, KeepsTheLongestBeginningThatFitsAndStopsAtTheEllipsis)
{
    struct Case
    {
        QString string;
        double width;
        QString expected;
    };
    const Case cases[] = {
        {"abcdef", drawnWidth("abc\u2026"), "abc\u2026"},
        {"abcdef", drawnWidth("abcdef"), "abcdef"},
        {"ab", drawnWidth("ab") - 1, "\u2026"},
        {"a", 1, "\u2026"},      // one character: the ellipsis alone
        {"abcdef", 1, "\u2026"}, // narrower than the ellipsis: it alone, not an endless loop
        {"", 0, ""},
    };
    for (const Case& c : cases) {
        const pf::AttributedString result =
            AttributedStringORVExtension::truncatedStringWithWidth(text(c.string), int(std::floor(c.width)));
        EXPECT_EQ(result.string(), c.expected) << c.string.toStdString() << " to " << c.width;
    }

    // The ellipsis takes the attributes of the last character kept.
    pf::AttributedString coloured(QStringLiteral("abc"), {pf::systemFont(13), Qt::red});
    coloured.append(QStringLiteral("defghij"), {pf::systemFont(13), Qt::blue});
    const pf::AttributedString cut =
        AttributedStringORVExtension::truncatedStringWithWidth(coloured, int(drawnWidth("abcde\u2026")));
    ASSERT_EQ(cut.string(), "abcde\u2026");
    EXPECT_EQ(cut.attributesAt(5).color, QColor(Qt::blue));
    EXPECT_EQ(cut.attributesAt(2).color, QColor(Qt::red));

    // Bisection finds what dropping one character at a time finds, at every width.
    const QString sentence = QStringLiteral("The quick brown fox jumps over the lazy dog, twice.");
    for (int width = 0; width <= int(drawnWidth(sentence)) + 2; width += 3)
        EXPECT_EQ(AttributedStringORVExtension::truncatedStringWithWidth(text(sentence), width).string(),
                  truncatedStepwise(sentence, width))
            << "width " << width;
}

TEST(TextMeasuring, HeightsCountWholeLinesAndSizesLeaveOutTheEmptyLastLine)
{
    const QFontMetricsF metrics(pf::systemFont(13));
    const double line = metrics.ascent() + metrics.descent() + metrics.leading();
    EXPECT_EQ(AttributedStringORVExtension::heightForWidth(text(""), 100), std::ceil(line));
    EXPECT_EQ(AttributedStringORVExtension::heightForWidth(text("word"), 100), std::ceil(line));
    const double wordWidth = drawnWidth("word word") - 1; // one word per line
    EXPECT_EQ(AttributedStringORVExtension::heightForWidth(text("word word word"), wordWidth),
              std::ceil(3 * line));

    EXPECT_EQ(AttributedStringORVExtension::sizeForWidth(text(""), 100, 100), Size(0, 0));
    const Size one = AttributedStringORVExtension::sizeForWidth(text("ab"), 200, 200);
    EXPECT_NEAR(one.height, line, 0.01);
    EXPECT_EQ(AttributedStringORVExtension::sizeForWidth(text("ab\n"), 200, 200), one);
    EXPECT_NEAR(AttributedStringORVExtension::sizeForWidth(text("ab\ncd"), 200, 200).height, 2 * line, 0.01);
    // Lines beyond the box are not laid out.
    EXPECT_NEAR(AttributedStringORVExtension::sizeForWidth(text("ab\ncd\nef"), 200, 1.5 * line).height, line,
                0.01);
    EXPECT_NEAR(AttributedStringORVExtension::widthForHeight(text("abcdef"), 200), drawnWidth("abcdef"), 1);
}

TEST(Scrolling, EachAxisMovesAsLittleAsItsRuleAllows)
{
    struct Case
    {
        const char* what;
        Rect frame;
        bool topLeft;
        Point origin;
    };
    // The visible rectangle is (0, 0, 100, 100) in every case.
    const Case cases[] = {
        {"inside", Rect(10, 10, 20, 20), false, Point(0, 0)},
        {"covering both axes", Rect(-10, -10, 200, 200), true, Point(0, 0)},
        {"right, fits", Rect(150, 10, 20, 20), false, Point(70, 0)},
        {"right, fits, top left wanted", Rect(150, 10, 20, 20), true, Point(150, 0)},
        {"right, wider", Rect(50, 10, 200, 20), false, Point(50, 0)},
        {"left, fits", Rect(-30, 10, 20, 20), true, Point(-30, 0)},
        {"left, wider", Rect(-150, 10, 200, 20), false, Point(-50, 0)},
        {"above, fits", Rect(10, 150, 20, 20), false, Point(0, 70)},
        {"above, taller, top wanted", Rect(10, 50, 20, 200), true, Point(0, 150)},
        {"above, taller", Rect(10, 50, 20, 200), false, Point(0, 50)},
        {"below, fits", Rect(10, -30, 20, 20), true, Point(0, -30)},
        {"below, taller", Rect(10, -150, 20, 200), false, Point(0, -50)},
        {"both axes", Rect(150, -150, 20, 200), false, Point(70, -50)},
        {"no finite frame", Rect(std::nan(""), std::nan(""), 20, 20), true, Point(0, 0)},
        {"an endless frame", Rect(150, 10, std::numeric_limits<double>::infinity(), 20), false, Point(0, 0)},
        {"no finite height", Rect(150, 10, 20, std::nan("")), false, Point(70, 0)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ScrollViewORVExtension::scrolledOrigin(c.frame, Rect(0, 0, 100, 100), c.topLeft), c.origin)
            << c.what;

    // Applied to a clip view, animated on the clock, then the scroll view is told.
    pf::SteppedClock clock;
    pf::View clip(Rect(0, 0, 100, 100));
    int reflected = 0;
    ScrollViewORVExtension::scrollShowingFrame(clip, Rect(150, 10, 20, 20), false, true,
                                               [&] { ++reflected; });
    EXPECT_EQ(reflected, 1);
    clock.advance(1);
    EXPECT_EQ(clip.bounds().origin, Point(70, 0));
    ScrollViewORVExtension::scrollShowingFrame(clip, Rect(10, -40, 20, 20), false, false, nullptr);
    EXPECT_EQ(clip.bounds().origin, Point(10, -40));
}

QImage threePixels()
{
    // Opaque, half transparent and clear, premultiplied.
    QImage image(3, 1, QImage::Format_ARGB32_Premultiplied);
    image.setPixel(0, 0, qRgba(200, 0, 0, 255));
    image.setPixel(1, 0, qRgba(64, 0, 0, 128));
    image.setPixel(2, 0, qRgba(0, 0, 0, 0));
    return image;
}

TEST(LayerCopies, DuplicateCopiesContentAndGeometryButNoSublayers)
{
    const auto check = [](pf::Layer& source) {
        source.setAnchorPoint(Point(0.25, 0.75));
        source.setAnchorPointZ(3);
        source.setBounds(Rect(1, 2, 40, 30));
        source.setPosition(Point(50, 60));
        source.setZPosition(7);
        source.setContentsGravity(pf::ContentsGravity::Center);
        source.setContentsRect(Rect(0, 0, 0.5, 0.5));
        source.setShadowColor(Qt::red);
        source.setShadowOffset(Size(2, -3));
        source.setShadowRadius(5);
        source.setShadowOpacity(0.8);
        source.setTransform(pf::Transform3D::rotation(0.3, 0, 0, 1));
        source.setSublayerTransform(pf::Transform3D::scale(2, 2, 1));
        source.setOpacity(0.6);
        source.setBorderColor(Qt::green);
        source.setBorderWidth(2);
        source.setCornerRadius(4);
        source.addSublayer(pf::Layer::create());

        const std::shared_ptr<pf::Layer> copy = LayerORVExtension::duplicate(source);
        EXPECT_EQ(typeid(*copy), typeid(source));
        EXPECT_TRUE(copy->sublayers().empty());
        EXPECT_EQ(copy->anchorPoint(), source.anchorPoint());
        EXPECT_EQ(copy->anchorPointZ(), 3);
        EXPECT_EQ(copy->bounds(), source.bounds());
        EXPECT_EQ(copy->position(), source.position());
        EXPECT_EQ(copy->zPosition(), 7);
        EXPECT_EQ(copy->contentsGravity(), pf::ContentsGravity::Center);
        EXPECT_EQ(copy->contentsRect(), source.contentsRect());
        EXPECT_EQ(copy->shadowColor(), QColor(Qt::red));
        EXPECT_EQ(copy->shadowOffset(), Size(2, -3));
        EXPECT_EQ(copy->shadowRadius(), 5);
        EXPECT_EQ(copy->shadowOpacity(), 0) << "no shadow until its opacity is set";
        EXPECT_EQ(copy->transform(), source.transform());
        EXPECT_EQ(copy->sublayerTransform(), source.sublayerTransform());
        EXPECT_EQ(copy->opacity(), 0.6);
        EXPECT_EQ(copy->borderColor(), QColor(Qt::green));
        EXPECT_EQ(copy->borderWidth(), 2);
        EXPECT_EQ(copy->cornerRadius(), 4);
        return copy;
    };
    pf::Layer plain;
    plain.setContents(threePixels());
    EXPECT_EQ(check(plain)->contents(), threePixels());

    OVCIImageLayer imageLayer;
    imageLayer.setImage(threePixels());
    auto copy = check(imageLayer);
    EXPECT_EQ(static_cast<OVCIImageLayer&>(*copy).image(), threePixels());
    EXPECT_TRUE(LayerORVExtension::fullDescription(imageLayer).contains("OVCIImageLayer"));
}

TEST(LayerCopies, TransparencyIsTheAlphaAtThePoint)
{
    pf::Layer layer;
    layer.setBounds(Rect(0, 0, 3, 1));
    layer.setContents(threePixels());
    EXPECT_NEAR(LayerORVExtension::transparencyAt(layer, Point(0, 0)), 1.0, 0.01);
    EXPECT_NEAR(LayerORVExtension::transparencyAt(layer, Point(1, 0)), 128 / 255.0, 0.01);
    EXPECT_NEAR(LayerORVExtension::transparencyAt(layer, Point(2, 0)), 0.0, 0.01);
    EXPECT_NEAR(LayerORVExtension::transparencyAt(layer, Point(5, 0)), 0.0, 0.01) << "outside";
}

class Watched : public pf::KeyValueCoding
{
public:
    QVariant valueForKey(const QString&) const override { return 1; }
    void setValueForKey(const QVariant&, const QString&) override {}
};

TEST(DelayedChange, ArrivesOnTheMainThreadOnALaterTurnAndKeepsTheObjectUntilThen)
{
    auto object = std::make_shared<Watched>();
    QStringList calls;
    bool onMain = true;
    const std::thread::id mainThread = std::this_thread::get_id();
    pf::ObserverToken token = object->observeValueForKey(
        QStringLiteral("value"),
        [&] {
            calls.append(QStringLiteral("will"));
            onMain = onMain && std::this_thread::get_id() == mainThread;
        },
        [&] { calls.append(QStringLiteral("did")); });
    std::weak_ptr<Watched> weak = object;
    std::thread worker([moved = std::move(object)]() mutable {
        ObjectORVExtension::delayedChangeValueForKey(std::move(moved), QStringLiteral("value"));
    });
    worker.join();
    EXPECT_TRUE(calls.isEmpty());
    EXPECT_FALSE(weak.expired()) << "kept by the queued change";
    QCoreApplication::processEvents();
    EXPECT_EQ(calls, (QStringList{"will", "did"}));
    EXPECT_TRUE(onMain);
    EXPECT_TRUE(weak.expired());
}

TEST(WindowScreenshot, CropsToTheContentAndLeavesOverlaysOut)
{
    struct Case
    {
        QSize image;
        Rect content;
        double scale;
        bool fullScreen;
        QRect crop;
    };
    const Case cases[] = {
        {QSize(200, 150), Rect(0, 0, 200, 120), 1, false, QRect(0, 30, 200, 120)},
        {QSize(400, 300), Rect(0, 0, 200, 120), 2, false, QRect(0, 60, 400, 240)},
        {QSize(400, 300), Rect(10, 20, 100, 50), 2, false, QRect(20, 160, 200, 100)},
        {QSize(400, 300), Rect(0, 0, 200, 120), 2, true, QRect(0, 0, 400, 300)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WindowORVExtension::screenshotCropRect(c.image, c.content, c.scale, c.fullScreen), c.crop);

    class Fill : public pf::View
    {
    public:
        Fill(const Rect& frame, QColor color) : View(frame), m_color(color) {}
        void drawRect(QPainter& painter, const Rect&) override
        {
            painter.fillRect(bounds().toQRectF(), m_color);
        }

    private:
        QColor m_color;
    };
    pf::Window window(Rect(100, 100, 120, 80));
    window.contentView()->addSubview(new Fill(Rect(0, 0, 120, 80), Qt::red));
    auto* overlay = new pf::Window(Rect(100, 100, 40, 40), pf::Window::Borderless);
    overlay->contentView()->addSubview(new Fill(Rect(0, 0, 40, 40), Qt::blue));
    window.addChildWindow(overlay);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const QImage shot = WindowORVExtension::newCGImageScreenshot(window);
    ASSERT_EQ(shot.size(), QSize(120, 80) * window.devicePixelRatio());
    EXPECT_EQ(shot.pixelColor(10, shot.height() - 10), QColor(Qt::red)) << "not the overlay over it";
    EXPECT_EQ(window.grab().toImage().pixelColor(10, 70), QColor(Qt::blue)) << "the overlay is there";
}

} // namespace
