#include "Platform/UI/AttributedString.h"

#include <QGlyphRun>
#include <QPainter>
#include <QTextLayout>
#include <algorithm>
#include <cmath>

namespace pf {

namespace {

const QString ellipsis = QString(QChar(0x2026));

// Whether any character of the text is written right to left, or may turn what follows it so.
bool mayRunRightToLeft(const QString& text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            c = QChar::surrogateToUcs4(char16_t(c), text[++i].unicode());
        switch (QChar::direction(c)) {
        case QChar::DirR:
        case QChar::DirAL:
        case QChar::DirAN:
        case QChar::DirRLE:
        case QChar::DirRLO:
        case QChar::DirRLI:
        case QChar::DirFSI:
            return true;
        default:
            break;
        }
    }
    return false;
}

} // namespace

struct AttributedString::LayoutCache
{
    std::optional<Size> oneLine;
    // The text as last drawn: for a rectangle of this size, laid out, and how far in from the
    // rectangle's left it goes.
    std::optional<Size> drawnInto;
    std::unique_ptr<QTextLayout> drawn;
    double drawnX = 0;
    // A line far wider than the rectangle that may run right to left: the glyphs in sight (with their
    // colours), drawn instead of the whole line.
    std::optional<std::vector<std::pair<QGlyphRun, QColor>>> glyphsInSight;
};

AttributedString::AttributedString() : m_cache(std::make_shared<LayoutCache>()) {}

AttributedString::LayoutCache& AttributedString::cache() const
{
    if (!m_cache)
        m_cache = std::make_shared<LayoutCache>();
    return *m_cache;
}

void AttributedString::changed()
{
    m_cache = std::make_shared<LayoutCache>();
}

void AttributedString::setAlignment(Alignment alignment)
{
    m_alignment = alignment;
    changed();
}

void AttributedString::setLineBreakMode(LineBreak mode)
{
    m_lineBreak = mode;
    changed();
}

AttributedString::AttributedString(const QString& text, const Attributes& attributes)
    : m_text(text), m_cache(std::make_shared<LayoutCache>())
{
    if (!text.isEmpty())
        m_runs.push_back({0, int(text.size()), attributes});
}

void AttributedString::append(const QString& text, const Attributes& attributes)
{
    if (text.isEmpty())
        return;
    m_runs.push_back({int(m_text.size()), int(text.size()), attributes});
    m_text += text;
    normalize();
    changed();
}

AttributedString::Attributes AttributedString::attributesAt(int index) const
{
    for (const Run& run : m_runs)
        if (index >= run.start && index < run.start + run.length)
            return run.attributes;
    return m_runs.empty() ? Attributes() : m_runs.back().attributes;
}

void AttributedString::setAttributes(const Attributes& attributes, int start, int length)
{
    const int begin = std::clamp(start, 0, this->length());
    const int end = std::clamp(start + length, begin, this->length());
    if (begin == end)
        return;
    std::vector<Run> runs;
    for (const Run& run : m_runs) {
        const int runEnd = run.start + run.length;
        if (runEnd <= begin || run.start >= end) {
            runs.push_back(run);
            continue;
        }
        if (run.start < begin)
            runs.push_back({run.start, begin - run.start, run.attributes});
        if (runEnd > end)
            runs.push_back({end, runEnd - end, run.attributes});
    }
    runs.push_back({begin, end - begin, attributes});
    std::sort(runs.begin(), runs.end(), [](const Run& a, const Run& b) { return a.start < b.start; });
    m_runs = std::move(runs);
    normalize();
    changed();
}

// Applies `change` to the attributes of every character of a span, keeping the rest of each.
template <typename Change>
static void changeSpan(AttributedString& string, int start, int length, Change change)
{
    const int end = std::min(start + length, string.length());
    for (int i = std::max(start, 0); i < end;) {
        AttributedString::Attributes attributes = string.attributesAt(i);
        int j = i + 1;
        while (j < end && string.attributesAt(j) == attributes)
            ++j;
        change(attributes);
        string.setAttributes(attributes, i, j - i);
        i = j;
    }
}

void AttributedString::setFont(const QFont& font, int start, int length)
{
    changeSpan(*this, start, length, [&](Attributes& a) { a.font = font; });
}

void AttributedString::setBold(bool bold, int start, int length)
{
    changeSpan(*this, start, length, [&](Attributes& a) { a.font.setBold(bold); });
}

void AttributedString::setColor(const QColor& color, int start, int length)
{
    changeSpan(*this, start, length, [&](Attributes& a) { a.color = color; });
}

void AttributedString::setStrikethrough(bool strikethrough, int start, int length)
{
    changeSpan(*this, start, length, [&](Attributes& a) { a.strikethrough = strikethrough; });
}

void AttributedString::normalize()
{
    std::vector<Run> merged;
    for (const Run& run : m_runs) {
        if (run.length <= 0)
            continue;
        if (!merged.empty() && merged.back().attributes == run.attributes &&
            merged.back().start + merged.back().length == run.start)
            merged.back().length += run.length;
        else
            merged.push_back(run);
    }
    m_runs = std::move(merged);
}

void AttributedString::layOut(QTextLayout& layout, double width, bool wrap, double height) const
{
    layout.setText(m_text);
    layout.setFont(m_runs.empty() ? Attributes().font : m_runs.front().attributes.font);
    QList<QTextLayout::FormatRange> formats;
    for (const Run& run : m_runs) {
        QTextCharFormat format;
        format.setFont(run.attributes.font);
        format.setForeground(run.attributes.color);
        format.setFontStrikeOut(run.attributes.strikethrough);
        format.setFontUnderline(run.attributes.underline);
        formats.append({run.start, run.length, format});
    }
    layout.setFormats(formats);
    QTextOption option;
    Qt::Alignment alignment = Qt::AlignLeft;
    if (m_alignment == Alignment::Center)
        alignment = Qt::AlignHCenter;
    else if (m_alignment == Alignment::Right)
        alignment = Qt::AlignRight;
    else if (m_alignment == Alignment::Justified)
        alignment = Qt::AlignJustify;
    option.setAlignment(alignment);
    option.setWrapMode(!wrap                                ? QTextOption::NoWrap
                       : m_lineBreak == LineBreak::CharWrap ? QTextOption::WrapAnywhere
                                                            : QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    double y = 0;
    while (y < height) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        if (wrap)
            line.setLineWidth(width);
        else
            line.setNumColumns(int(m_text.size()));
        line.setPosition(QPointF(0, y));
        y += line.height();
    }
    layout.endLayout();
}

Size AttributedString::size() const
{
    if (m_text.isEmpty())
        return Size(0, 0);
    LayoutCache& kept = cache();
    if (!kept.oneLine) {
        QTextLayout layout;
        layOut(layout, 0, false);
        const QRectF box = layout.boundingRect();
        kept.oneLine = Size(std::ceil(layout.lineAt(0).naturalTextWidth()), std::ceil(box.height()));
    }
    return *kept.oneLine;
}

Size AttributedString::sizeForWidth(double width) const
{
    const bool wrap = m_lineBreak == LineBreak::WordWrap || m_lineBreak == LineBreak::CharWrap;
    if (!wrap) {
        const Size one = size();
        return Size(std::min(one.width, width), one.height);
    }
    QTextLayout layout;
    layOut(layout, width, true);
    double used = 0;
    for (int i = 0; i < layout.lineCount(); ++i)
        used = std::max(used, layout.lineAt(i).naturalTextWidth());
    return Size(std::ceil(used), std::ceil(layout.boundingRect().height()));
}

AttributedString AttributedString::mid(int from, int count) const
{
    AttributedString part;
    part.m_alignment = m_alignment;
    part.m_lineBreak = m_lineBreak;
    part.m_shadow = m_shadow;
    const int end = std::min(length(), from + count);
    for (const Run& run : m_runs) {
        const int begin = std::max(run.start, from);
        const int stop = std::min(run.start + run.length, end);
        if (begin < stop)
            part.append(m_text.mid(begin, stop - begin), run.attributes);
    }
    return part;
}

AttributedString AttributedString::truncatedToWidth(double width) const
{
    const bool truncates = m_lineBreak == LineBreak::TruncateHead || m_lineBreak == LineBreak::TruncateTail ||
                           m_lineBreak == LineBreak::TruncateMiddle;
    if (!truncates || size().width <= width)
        return *this;
    // The longest text with n of the original characters kept that fits, found by bisection.
    auto candidate = [this](int kept) {
        const int total = length();
        AttributedString result;
        result.m_alignment = m_alignment;
        result.m_lineBreak = m_lineBreak;
        result.m_shadow = m_shadow;
        auto appendSpan = [&](int from, int count) {
            for (int i = from; i < from + count;) {
                const Attributes a = attributesAt(i);
                int j = i + 1;
                while (j < from + count && attributesAt(j) == a)
                    ++j;
                result.append(m_text.mid(i, j - i), a);
                i = j;
            }
        };
        switch (m_lineBreak) {
        case LineBreak::TruncateHead:
            result.append(ellipsis, attributesAt(total - kept));
            appendSpan(total - kept, kept);
            break;
        case LineBreak::TruncateMiddle: {
            const int head = (kept + 1) / 2, tail = kept / 2;
            appendSpan(0, head);
            result.append(ellipsis, attributesAt(head));
            appendSpan(total - tail, tail);
            break;
        }
        default:
            appendSpan(0, kept);
            result.append(ellipsis, attributesAt(std::max(0, kept - 1)));
            break;
        }
        return result;
    };
    int low = 0, high = length() - 1;
    while (low < high) {
        const int middle = (low + high + 1) / 2;
        if (candidate(middle).size().width <= width)
            low = middle;
        else
            high = middle - 1;
    }
    return candidate(low);
}

namespace {

// A y-up painter mirrors (also when it is turned, for text running along a side).
bool isYUp(const QPainter& painter)
{
    const QTransform& t = painter.worldTransform();
    return t.m11() * t.m22() - t.m12() * t.m21() < 0;
}

// Turns a y-up painter so that `rect` can be drawn into top-down; nothing for a flipped painter.
void standUpright(QPainter& painter, const Rect& rect)
{
    if (isYUp(painter)) {
        painter.translate(0, rect.minY() + rect.maxY());
        painter.scale(1, -1);
    }
}

} // namespace

void AttributedString::drawAtPoint(QPainter& painter, Point point) const
{
    const Size s = size();
    const Rect box(point.x, point.y, s.width + 1, s.height);
    AttributedString oneLine = *this;
    oneLine.setLineBreakMode(LineBreak::Clip);
    oneLine.setAlignment(Alignment::Left);
    oneLine.drawInRect(painter, box);
}

void AttributedString::drawInRect(QPainter& painter, const Rect& rect) const
{
    if (m_text.isEmpty() || rect.isEmpty())
        return;
    const Rect r = rect.standardized();
    LayoutCache& kept = cache();
    if (kept.drawnInto != r.size) {
        const AttributedString shown = truncatedToWidth(r.width());
        const bool wrap = m_lineBreak == LineBreak::WordWrap || m_lineBreak == LineBreak::CharWrap;
        kept.drawn = std::make_unique<QTextLayout>();
        kept.drawnX = 0;
        kept.glyphsInSight.reset();
        if (wrap) {
            shown.layOut(*kept.drawn, r.width(), true, r.height());
        } else {
            // One line: aligned within the rectangle by hand (a no-wrap line has no width to align in).
            shown.layOut(*kept.drawn, r.width(), false);
            const QTextLine line = kept.drawn->lineAt(0);
            const double natural = line.naturalTextWidth();
            if (m_alignment == Alignment::Center)
                kept.drawnX = (r.width() - natural) / 2;
            else if (m_alignment == Alignment::Right)
                kept.drawnX = r.width() - natural;
            // A line far wider than the rectangle keeps only the characters in sight, with some to spare
            // on either side, so that drawing it costs what shows. Where the text may run right to left,
            // what shows need not be one run of characters: the whole line is kept.
            const double spare = 64;
            if (natural > r.width() + 2 * spare && !mayRunRightToLeft(shown.m_text)) {
                const int from = line.xToCursor(-kept.drawnX - spare);
                const int to = line.xToCursor(-kept.drawnX + r.width() + spare);
                const double start = line.cursorToX(from);
                kept.drawn = std::make_unique<QTextLayout>();
                shown.mid(from, to - from).layOut(*kept.drawn, r.width(), false);
                kept.drawnX += start;
            } else if (natural > r.width() + 2 * spare) {
                // Right to left, what shows need not be one run of characters: the glyphs are placed
                // once, and only those in sight are kept and drawn.
                const double left = -kept.drawnX - spare, right = -kept.drawnX + r.width() + spare;
                std::vector<std::pair<QGlyphRun, QColor>> inSight;
                for (const Run& run : shown.m_runs) {
                    for (const QGlyphRun& glyphs : kept.drawn->glyphRuns(run.start, run.length)) {
                        const QList<quint32> indexes = glyphs.glyphIndexes();
                        const QList<QPointF> positions = glyphs.positions();
                        QList<quint32> keptIndexes;
                        QList<QPointF> keptPositions;
                        for (qsizetype i = 0; i < indexes.size() && i < positions.size(); ++i)
                            if (positions[i].x() >= left && positions[i].x() <= right) {
                                keptIndexes.append(indexes[i]);
                                keptPositions.append(positions[i]);
                            }
                        if (keptIndexes.isEmpty())
                            continue;
                        QGlyphRun part = glyphs;
                        part.setGlyphIndexes(keptIndexes);
                        part.setPositions(keptPositions);
                        inSight.emplace_back(part, run.attributes.color);
                    }
                }
                kept.glyphsInSight = std::move(inSight);
            }
        }
        kept.drawnInto = r.size;
    }
    auto draw = [&](QPainter& p) {
        p.save();
        standUpright(p, r);
        p.setClipRect(r.toQRectF(), Qt::IntersectClip);
        const QPointF origin(r.minX() + kept.drawnX, r.minY());
        if (kept.glyphsInSight) {
            // Placed on the 1/64 point grid the whole line's drawing places its glyphs on, so that each
            // glyph lands on the same pixel.
            const QPointF onGrid(qRound(origin.x() * 64) / 64.0, qRound(origin.y() * 64) / 64.0);
            for (const auto& [glyphs, color] : *kept.glyphsInSight) {
                p.setPen(color);
                p.drawGlyphRun(onGrid, glyphs);
            }
        } else {
            kept.drawn->draw(&p, origin);
        }
        p.restore();
    };
    if (m_shadow)
        drawWithShadow(painter, *m_shadow, r, draw);
    else
        draw(painter);
}

} // namespace pf
