#include "Classes/Framework/Toolkit/OVFittedTextCell.h"
#include "Classes/Framework/Toolkit/OVFontTextCell.h"
#include "Classes/Framework/Toolkit/OVLabel.h"
#include "Classes/Framework/Toolkit/OVLeanientNumberFormatter.h"
#include "Classes/Framework/Toolkit/OVTextField.h"
#include "ControlsTestSupport.h"
#include "Platform/Foundation/Localization.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/NotificationCenter.h"

#include <QLineEdit>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace {

using pf::Rect;

class RecordingCell : public pf::TextFieldCell
{
public:
    QStringList changes;
    void textDidChange() override { changes << stringValue(); }
};

TEST(OVTextField, AnnouncesEachResignAndNothingWhenItRefuses)
{
    ControlsWindow w;
    auto* field = new OVTextField(Rect(20, 20, 120, 22));
    auto cell = std::make_unique<RecordingCell>();
    RecordingCell* recording = cell.get();
    field->setCell(std::move(cell));
    field->setEditable(true);
    field->setFormatter(new OVLeanientNumberFormatter(0, 100, 2, field));
    bool allowEnd = true;
    field->setShouldEndEditing([&](pf::TextField*) { return allowEnd; });
    w.add(field);
    int posted = 0;
    const pf::ObserverToken token = pf::NotificationCenter::defaultCenter().addObserver(
        QStringLiteral("OVResignFirstResponder"), field, [&](const pf::Notification&) { ++posted; });

    ASSERT_TRUE(w.window.makeFirstResponder(field));
    ASSERT_TRUE(field->isEditing());
    QTest::keyClicks(field->editor(), QStringLiteral("4x2"));
    EXPECT_EQ(field->stringValue(), QStringLiteral("42")) << "the formatter lets no letter in";
    EXPECT_EQ(recording->changes, (QStringList{QStringLiteral("4"), QStringLiteral("42")}));

    field->editor()->setText(QString()); // an empty number is not acceptable
    EXPECT_FALSE(w.window.makeFirstResponder(nullptr));
    EXPECT_EQ(posted, 0);
    EXPECT_TRUE(field->isEditing());

    field->editor()->setText(QStringLiteral("7.5"));
    allowEnd = false;
    EXPECT_FALSE(w.window.makeFirstResponder(nullptr));
    EXPECT_EQ(posted, 0);

    allowEnd = true;
    EXPECT_TRUE(w.window.makeFirstResponder(nullptr));
    EXPECT_EQ(posted, 1);
    EXPECT_FALSE(field->isEditing());
    EXPECT_EQ(field->stringValue(), QStringLiteral("7.5"));

    ASSERT_TRUE(w.window.makeFirstResponder(field));
    EXPECT_TRUE(w.window.makeFirstResponder(nullptr));
    EXPECT_EQ(posted, 2) << "one notification per resign";
}

// A field keeps its text laid out between repaints: whatever changes the text, its look or its width
// draws as a field made that way from the start would.
TEST(OVTextField, EveryChangeIsDrawnOverTheKeptLayout)
{
    using LineBreak = pf::AttributedString::LineBreak;
    const struct
    {
        const char* name;
        std::function<void(pf::TextField&)> change;
    } cases[] = {
        {"text",
         [](pf::TextField& f) { f.setStringValue(QStringLiteral("Another text, longer than the field")); }},
        {"font", [](pf::TextField& f) { f.setFont(pf::systemFont(17)); }},
        {"colour", [](pf::TextField& f) { f.setTextColor(Qt::red); }},
        {"alignment", [](pf::TextField& f) { f.setAlignment(pf::AttributedString::Alignment::Right); }},
        {"line breaking", [](pf::TextField& f) { f.setLineBreakMode(LineBreak::TruncateMiddle); }},
        {"width", [](pf::TextField& f) { f.setFrameSize(pf::Size(70, 40)); }},
    };
    const auto made = [](const std::function<void(pf::TextField&)>& change) {
        auto field = std::make_unique<pf::TextField>(Rect(0, 0, 120, 40));
        field->setTextColor(Qt::black);
        field->setDrawsBackground(true);
        field->setLineBreakMode(LineBreak::WordWrap);
        field->setStringValue(QStringLiteral("A field of several words that wraps"));
        if (change)
            change(*field);
        return field;
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        pf::SteppedClock clock;
        auto field = made(nullptr);
        const QImage before = field->snapshot(2);
        c.change(*field);
        const QImage after = field->snapshot(2);
        EXPECT_NE(after, before);
        EXPECT_EQ(after, made(c.change)->snapshot(2));
    }
}

// A line far longer than its field draws exactly as the part of it in sight does.
TEST(OVTextField, ALongLineDrawsAsItsPartInSight)
{
    const QString shown = QStringLiteral("The part in sight, a little wider than the field");
    const QString hidden = QStringLiteral(" and the rest of a long pasted text").repeated(300);
    const struct
    {
        const char* name;
        pf::AttributedString::Alignment alignment;
        QString text;
    } cases[] = {
        {"left", pf::AttributedString::Alignment::Left, shown + hidden},
        {"right", pf::AttributedString::Alignment::Right, hidden + shown},
    };
    const auto snapshot = [](pf::AttributedString::Alignment alignment, const QString& text) {
        pf::TextField field(Rect(0, 0, 180, 24));
        field.setAlignment(alignment);
        field.setStringValue(text);
        return field.snapshot(2);
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(snapshot(c.alignment, c.text), snapshot(c.alignment, shown));
    }
}

OVLabel* label(const QString& text, double width, double pointSize = 20)
{
    auto* l = new OVLabel(Rect(0, 0, width, 30));
    l->setFont(pf::systemFont(pointSize));
    l->setTextColor(QColor(Qt::white));
    l->setStringValue(text);
    return l;
}

TEST(OVLabel, ShrinksToFitOnlyWhenAsked)
{
    const QString text = QStringLiteral("Brightness of the highlights");
    const struct
    {
        const char* name;
        bool pixels; // a font sized in pixels, else in points
        bool shrink;
    } cases[] = {
        {"points, shrunk", false, true},
        {"points, kept", false, false},
        {"pixels, shrunk", true, true},
        {"pixels, kept", true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto make = [&](double width) {
            OVLabel* l = label(text, width);
            if (c.pixels) {
                QFont font = l->font();
                font.setPixelSize(20);
                l->setFont(font);
            }
            return std::unique_ptr<OVLabel>(l);
        };
        const double natural = make(1000)->stringWithFieldAttributes().size().width;
        std::unique_ptr<OVLabel> l = make(natural / 2);
        l->setShrinkToFit(c.shrink);
        const pf::AttributedString drawn = l->stringForDrawing();
        if (c.pixels) {
            EXPECT_EQ(drawn.attributesAt(0).font.pixelSize(), c.shrink ? 9 : 20) << "floor(20 x 0.4995)";
        } else {
            EXPECT_NEAR(drawn.attributesAt(0).font.pointSizeF(), c.shrink ? 20 * 0.4995 : 20, 1e-9);
        }
        if (c.shrink) {
            EXPECT_LE(drawn.size().width, natural / 2) << "the shrunk text fits";
        }
    }
}

TEST(OVLabel, DisabledDrawsAtHalfOpacityBackgroundIncluded)
{
    std::unique_ptr<OVLabel> l(label(QStringLiteral("Size"), 80));
    l->setDrawsBackground(true);
    l->setBackgroundColor(QColor::fromRgbF(0.2, 0.4, 0.8));
    l->setCornerRadius(4);
    const QImage enabled = l->snapshot(1).convertToFormat(QImage::Format_ARGB32);
    l->setEnabled(false);
    EXPECT_EQ(l->alphaValue(), 0.5);
    const QImage disabled = l->snapshot(1).convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(qAlpha(enabled.pixel(76, 15)), 255);
    EXPECT_NEAR(qAlpha(disabled.pixel(76, 15)), 128, 1);
    EXPECT_EQ(qAlpha(enabled.pixel(0, 0)), 0) << "the rounded corner stays clear";
    l->setEnabled(true);
    EXPECT_EQ(l->alphaValue(), 1.0);
}

TEST(OVLabel, PreferredHeightGrowsByLines)
{
    std::unique_ptr<OVLabel> one(label(QStringLiteral("Word"), 120, 12));
    std::unique_ptr<OVLabel> many(
        label(QStringLiteral("Word word word word word word word word word word word word"), 120, 12));
    const double lineHeight = one->preferredHeight();
    EXPECT_GT(lineHeight, 10);
    const double lines = many->preferredHeight() / lineHeight;
    EXPECT_GE(lines, 3);
    EXPECT_NEAR(lines, std::round(lines), 0.15);
}

TEST(OVLabel, TranslatesThroughControlsAndKeepsTextWithoutAnEntry)
{
    pf::Localization::setLanguageForTesting(QStringLiteral("de"));
    std::unique_ptr<OVLabel> translated(new OVLabel(Rect(0, 0, 100, 20)));
    translated->setStringValue(QStringLiteral("Brush"));
    std::unique_ptr<OVLabel> unknown(new OVLabel(Rect(0, 0, 100, 20)));
    unknown->cell()->setStringValue(QStringLiteral("Feather"));
    unknown->awakeFromInterface();
    pf::Localization::setLanguageForTesting(QStringLiteral("en"));
    EXPECT_EQ(translated->stringValue(), QStringLiteral("Pinsel"));
    EXPECT_EQ(unknown->stringValue(), QStringLiteral("Feather"));
}

// A field drawing through a fitted cell.
struct FittedField
{
    std::unique_ptr<pf::TextField> field;
    OVFittedTextCell* cell;

    explicit FittedField(const QString& text, pf::Size size)
    {
        field = std::make_unique<pf::TextField>(Rect(0, 0, size.width, size.height));
        auto owned = std::make_unique<OVFittedTextCell>();
        cell = owned.get();
        field->setCell(std::move(owned));
        field->cell()->setStringValue(text);
        field->cell()->pf::TextFieldCell::setFont(pf::systemFont(12));
    }
    double drawAndSettle()
    {
        field->snapshot(1);
        QApplication::processEvents(); // the main queue ends the re-fit
        return field->font().pointSizeF();
    }
};

TEST(OVFittedTextCell, FitsTheTextToTheFieldOncePerChange)
{
    const QString text = QStringLiteral("42%");
    FittedField probe(text, pf::Size(10, 10));
    pf::AttributedString at100 = probe.cell->stringWithFieldAttributes();
    QFont big = pf::systemFont(100);
    at100.setFont(big, 0, at100.length());
    const pf::Size measured = at100.size();

    // Half the text's width, 50/120 of its height: the height decides, 41.67 points.
    FittedField fitted(text, pf::Size(measured.width / 2, measured.height * 50 / 120));
    EXPECT_NEAR(fitted.drawAndSettle(), 100.0 * 50 / 120, 1e-9);
    EXPECT_FALSE(fitted.cell->isAdapting());

    fitted.cell->TextFieldCell::setFont(pf::systemFont(12));
    EXPECT_EQ(fitted.drawAndSettle(), 12) << "the same size again does not re-fit";

    fitted.field->setFrameSize(pf::Size(measured.width / 4, measured.height));
    EXPECT_NEAR(fitted.drawAndSettle(), 25, 1e-9) << "a new size re-fits at the next drawing";

    fitted.field->setStringValue(QStringLiteral("42%42%"));
    fitted.cell->textDidChange();
    QApplication::processEvents();
    EXPECT_LT(fitted.field->font().pointSizeF(), 25) << "a longer text gets a smaller font";
}

TEST(OVFittedTextCell, LeavesTheFontAloneWhenNothingCanFit)
{
    const struct
    {
        const char* name;
        QString text;
        pf::Size size;
    } cases[] = {
        {"empty text", QString(), pf::Size(200, 50)},
        {"only line breaks", QStringLiteral("\n\n"), pf::Size(200, 50)},
        {"a field without width", QStringLiteral("42"), pf::Size(0, 50)},
        {"a field without height", QStringLiteral("42"), pf::Size(200, 0)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FittedField f(c.text, c.size);
        EXPECT_EQ(f.drawAndSettle(), 12);
        EXPECT_FALSE(f.cell->adaptToFont(pf::systemFont(12)));
    }
}

TEST(OVFittedTextCell, WarnsWhenItsViewTakesNoFont)
{
    pf::View plain(Rect(0, 0, 100, 40));
    OVFittedTextCell cell;
    cell.setStringValue(QStringLiteral("42"));
    cell.setControlView(&plain);
    pf::LogCapture log;
    EXPECT_TRUE(cell.adaptToFont(pf::systemFont(12)));
    EXPECT_TRUE(log.contains(QStringLiteral("Warning: unknown controlView")));
    EXPECT_GT(cell.font().pointSizeF(), 12) << "the cell keeps the fitted font itself";
    QApplication::processEvents();
}

TEST(OVFontTextCell, DrawsCentredTenPointsInAndAtMostEighteenNarrower)
{
    pf::TextField field(Rect(0, 0, 100, 30));
    field.setCell(std::make_unique<OVFontTextCell>());
    field.setTextColor(QColor(Qt::white));
    field.setFont(pf::systemFont(13));
    field.setStringValue(QStringLiteral("Brightness of the highlights and shadows"));
    const pf::Rect rect = static_cast<OVFontTextCell*>(field.cell())->textRectForFrame(field.bounds());
    EXPECT_EQ(rect.minX(), 10);
    EXPECT_EQ(rect.width(), 82);
    EXPECT_NEAR(rect.midY(), 15, 0.5);

    const QImage image = field.snapshot(1).convertToFormat(QImage::Format_ARGB32);
    int left = image.width(), right = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) > 0) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
    EXPECT_GE(left, 10);
    EXPECT_LE(right, 92);
    EXPECT_GT(right, 80) << "the truncated line fills its width";
}

} // namespace
