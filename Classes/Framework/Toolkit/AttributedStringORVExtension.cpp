#include "Classes/Framework/Toolkit/AttributedStringORVExtension.h"

#include <QFontMetricsF>
#include <QTextLayout>
#include <cfloat>
#include <cmath>

namespace AttributedStringORVExtension {

namespace {

const QString ellipsis = QStringLiteral("\u2026");

// Lays the text out in lines `width` wide, breaking at words (or anywhere in a word too long for a
// line) and at line breaks.
void layOut(const pf::AttributedString& text, QTextLayout& layout, double width, double maxHeight)
{
    QString string = text.string();
    // The layout breaks lines at line separators only.
    string.replace(u'\n', QChar::LineSeparator);
    layout.setText(string);
    layout.setFont(text.attributesAt(0).font);
    QList<QTextLayout::FormatRange> formats;
    for (int i = 0; i < text.length();) {
        const pf::TextAttributes attributes = text.attributesAt(i);
        int j = i + 1;
        while (j < text.length() && text.attributesAt(j) == attributes)
            ++j;
        QTextCharFormat format;
        format.setFont(attributes.font);
        formats.append({i, j - i, format});
        i = j;
    }
    layout.setFormats(formats);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    double y = 0;
    while (true) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(width);
        const double height = line.ascent() + line.descent() + line.leading();
        if (y + height > maxHeight && layout.lineCount() > 1) {
            // The box is full: this line is not laid out.
            line.setNumColumns(0);
            line.setPosition(QPointF(0, maxHeight + 1));
            break;
        }
        line.setPosition(QPointF(0, y));
        y += height;
    }
    layout.endLayout();
}

double lineHeight(const QTextLine& line)
{
    return line.ascent() + line.descent() + line.leading();
}

// The first `kept` characters with their attributes, then the ellipsis.
pf::AttributedString prefixWithEllipsis(const pf::AttributedString& text, int kept)
{
    pf::AttributedString result;
    result.setAlignment(text.alignment());
    result.setLineBreakMode(text.lineBreakMode());
    result.setShadow(text.shadow());
    const QString string = text.string();
    for (int i = 0; i < kept;) {
        const pf::TextAttributes attributes = text.attributesAt(i);
        int j = i + 1;
        while (j < kept && text.attributesAt(j) == attributes)
            ++j;
        result.append(string.mid(i, j - i), attributes);
        i = j;
    }
    result.append(ellipsis, text.attributesAt(std::max(0, kept - 1)));
    return result;
}

} // namespace

pf::Size sizeForWidth(const pf::AttributedString& text, double width, double height)
{
    if (text.length() == 0)
        return pf::Size(0, 0);
    QTextLayout layout;
    layOut(text, layout, width, height);
    double usedWidth = 0, usedHeight = 0;
    const bool endsWithBreak = text.string().endsWith(u'\n');
    for (int i = 0; i < layout.lineCount(); ++i) {
        const QTextLine line = layout.lineAt(i);
        if (line.y() > height)
            break; // not laid out: the box was full
        // The empty line after a final line break is not part of the text's size.
        if (endsWithBreak && i == layout.lineCount() - 1 && line.textLength() == 0 && i > 0)
            break;
        usedWidth = std::max(usedWidth, line.naturalTextWidth());
        usedHeight += lineHeight(line);
    }
    return pf::Size(usedWidth, usedHeight);
}

double widthForHeight(const pf::AttributedString& text, double height)
{
    return sizeForWidth(text, FLT_MAX, height).width;
}

double heightForWidth(const pf::AttributedString& text, double width)
{
    if (text.length() == 0) {
        const QFontMetricsF metrics(text.attributesAt(0).font);
        return std::ceil(metrics.ascent() + metrics.descent() + metrics.leading());
    }
    QTextLayout layout;
    layOut(text, layout, width, DBL_MAX);
    double total = 0;
    for (int i = 0; i < layout.lineCount(); ++i)
        total += lineHeight(layout.lineAt(i));
    return std::ceil(total);
}

void drawCenteredVerticallyInRect(const pf::AttributedString& text, QPainter& painter, const pf::Rect& rect)
{
    const double h = heightForWidth(text, rect.width());
    text.drawInRect(painter, pf::Rect(rect.minX(), rect.minY() + rect.height() / 2 - h / 2,
                                      std::ceil(rect.width()), std::ceil(h)));
}

pf::AttributedString truncatedStringWithWidth(const pf::AttributedString& text, int width)
{
    const int length = text.length();
    if (length == 0)
        return text;
    QTextLayout layout;
    layOut(text, layout, DBL_MAX, DBL_MAX);
    // The width on one line, as pf::AttributedString::size() measures it, from the same layout.
    const double drawnWidth =
        layout.lineCount() == 1 ? std::ceil(layout.lineAt(0).naturalTextWidth()) : text.size().width;
    if (drawnWidth <= width)
        return text;
    // Dropping characters one by one from all but the last two finds the longest beginning that fits.
    // The width grows with the characters kept, so the same one is found from the positions of the
    // characters in one layout of the whole text (bisection), then checked on the real candidates
    // around it (kerning and rounding may differ by a little).
    const auto fits = [&](int kept) { return prefixWithEllipsis(text, kept).size().width <= width; };
    const int longest = std::max(0, length - 2);
    const QFontMetricsF metrics(text.attributesAt(length - 1).font);
    const double ellipsisWidth = metrics.horizontalAdvance(ellipsis);
    int kept = 0;
    if (layout.lineCount() == 1) {
        const QTextLine line = layout.lineAt(0);
        int low = 0, high = longest + 1; // x(low) fits, x(high) does not
        while (high - low > 1) {
            const int middle = low + (high - low) / 2;
            if (line.cursorToX(middle) + ellipsisWidth <= width)
                low = middle;
            else
                high = middle;
        }
        kept = low;
    } else {
        // Line breaks in the text: bisection on the candidates themselves.
        int low = 0, high = longest + 1;
        while (high - low > 1) {
            const int middle = low + (high - low) / 2;
            if (fits(middle))
                low = middle;
            else
                high = middle;
        }
        kept = low;
    }
    while (kept > 0 && !fits(kept))
        --kept;
    while (kept < longest && fits(kept + 1))
        ++kept;
    return prefixWithEllipsis(text, kept);
}

} // namespace AttributedStringORVExtension
