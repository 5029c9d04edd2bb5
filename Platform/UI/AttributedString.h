#pragma once

#include "Platform/Foundation/Rect.h"
#include "Platform/UI/Drawing.h"

#include <QColor>
#include <QFont>
#include <QString>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

class QPainter;
class QTextLayout;

namespace pf {

// The attributes of a span of text.
struct TextAttributes
{
    QFont font = systemFont(13);
    QColor color = Qt::black;
    bool strikethrough = false;
    bool underline = false;
    bool operator==(const TextAttributes&) const = default;
};

// Text with attributes per span (font, bold, colour, strikethrough, underline) and paragraph settings
// (alignment, line breaking or truncation, a shadow under the whole text), measured and drawn upright
// into a view's y-up painter.
//
// Laying out a long text takes long, and a view repaints for every hover or focus change: the size on
// one line and the text as drawn into the last rectangle's size are kept, shared by copies, until the
// text or its attributes change. Wrapped text is laid out only as far down as the rectangle reaches,
// and a line far wider than the rectangle is drawn from the characters in sight.
// Main thread only (as every drawing of text is).
class AttributedString
{
public:
    enum class Alignment
    {
        Left,
        Center,
        Right,
        Justified,
    };
    enum class LineBreak
    {
        WordWrap,
        CharWrap,
        Clip,
        TruncateHead,
        TruncateTail,
        TruncateMiddle,
    };
    using Attributes = TextAttributes;

    AttributedString();
    explicit AttributedString(const QString& text, const Attributes& attributes = Attributes());

    QString string() const { return m_text; }
    int length() const { return int(m_text.size()); }
    void append(const QString& text, const Attributes& attributes);
    Attributes attributesAt(int index) const;
    // Changes the attributes of a span (clipped to the text).
    void setAttributes(const Attributes& attributes, int start, int length);
    void setFont(const QFont& font, int start, int length);
    void setBold(bool bold, int start, int length);
    void setColor(const QColor& color, int start, int length);
    void setStrikethrough(bool strikethrough, int start, int length);

    Alignment alignment() const { return m_alignment; }
    void setAlignment(Alignment alignment);
    LineBreak lineBreakMode() const { return m_lineBreak; }
    void setLineBreakMode(LineBreak mode);
    std::optional<Shadow> shadow() const { return m_shadow; }
    void setShadow(const std::optional<Shadow>& shadow) { m_shadow = shadow; }

    // The size of the text on one line.
    Size size() const;
    // The size the text takes when laid out `width` wide (wrapping as its line-break mode says).
    Size sizeForWidth(double width) const;
    // The text as drawn into a width: truncated with "…" as the line-break mode says, else unchanged.
    AttributedString truncatedToWidth(double width) const;

    // Draws the text on one line with the lower left of its box at `point` (y-up painter; in a flipped
    // painter `point` is the top left).
    void drawAtPoint(QPainter& painter, Point point) const;
    // Draws the text inside `rect`, from its top, aligned, wrapped or truncated, clipped to it.
    void drawInRect(QPainter& painter, const Rect& rect) const;

private:
    struct Run
    {
        int start, length;
        Attributes attributes;
    };
    struct LayoutCache;
    // Lines below `height` are not laid out.
    void layOut(QTextLayout& layout, double width, bool wrap,
                double height = std::numeric_limits<double>::infinity()) const;
    void normalize();
    // The characters from `from`, `count` of them, with their attributes and the paragraph settings.
    AttributedString mid(int from, int count) const;
    LayoutCache& cache() const;
    // Every change starts a cache of its own: copies made before keep theirs.
    void changed();

    QString m_text;
    std::vector<Run> m_runs;
    Alignment m_alignment = Alignment::Left;
    LineBreak m_lineBreak = LineBreak::WordWrap;
    std::optional<Shadow> m_shadow;
    mutable std::shared_ptr<LayoutCache> m_cache; // shared by copies until one changes
};

} // namespace pf
