#pragma once

#include "Platform/Foundation/Rect.h"
#include "Platform/UI/AttributedString.h"
#include "Platform/UI/View.h"
#include <QColor>

#include <QFont>
#include <QPointer>
#include <QString>
#include <optional>

class QPainter;

namespace pf {

// What a text field draws and holds: its text, font, colours, alignment and line breaking. A field
// hands its attributes to its cell and draws through it, so a replacement cell changes how a field
// draws and reacts to a new font or to typing without a new kind of field.
class TextFieldCell
{
public:
    TextFieldCell() = default;
    virtual ~TextFieldCell() = default;
    TextFieldCell(const TextFieldCell&) = delete;
    TextFieldCell& operator=(const TextFieldCell&) = delete;

    QString stringValue() const { return m_string; }
    virtual void setStringValue(const QString& text)
    {
        m_string = text;
        m_attributed.reset();
    }
    // The font set, else the system font of 12 points.
    QFont font() const { return m_font ? *m_font : systemFont(12); }
    bool hasFont() const { return m_font.has_value(); }
    virtual void setFont(const QFont& font)
    {
        m_font = font;
        m_attributed.reset();
    }
    QColor textColor() const { return m_textColor; }
    void setTextColor(const QColor& color)
    {
        m_textColor = color;
        m_attributed.reset();
    }
    AttributedString::Alignment alignment() const { return m_alignment; }
    void setAlignment(AttributedString::Alignment alignment)
    {
        m_alignment = alignment;
        m_attributed.reset();
    }
    AttributedString::LineBreak lineBreakMode() const { return m_lineBreak; }
    void setLineBreakMode(AttributedString::LineBreak mode)
    {
        m_lineBreak = mode;
        m_attributed.reset();
    }
    QColor backgroundColor() const { return m_backgroundColor; }
    void setBackgroundColor(const QColor& color) { m_backgroundColor = color; }
    bool drawsBackground() const { return m_drawsBackground; }
    void setDrawsBackground(bool flag) { m_drawsBackground = flag; }

    // The text with the cell's font and text colour over its whole length, aligned and broken as set.
    // Kept until one of them changes, so that a repaint does not lay out a long text again.
    AttributedString attributedStringValue() const;

    // The view the cell last drew in (or was given).
    View* controlView() const { return m_controlView; }
    void setControlView(View* view) { m_controlView = view; }

    // The background (when drawn), then the interior.
    virtual void drawWithFrame(QPainter& painter, const Rect& frame, View* view);
    // The text, two points in from the sides, from the top of the frame.
    virtual void drawInteriorWithFrame(QPainter& painter, const Rect& frame, View* view);
    // The user changed the text in the field's editor (the new text is already the string value).
    virtual void textDidChange() {}

    // Copies the attributes of another cell (a field replacing its cell keeps what was set).
    void takeAttributesOf(const TextFieldCell& other);

private:
    QString m_string;
    std::optional<QFont> m_font;
    QColor m_textColor = Qt::black;
    AttributedString::Alignment m_alignment = AttributedString::Alignment::Left;
    AttributedString::LineBreak m_lineBreak = AttributedString::LineBreak::Clip;
    QColor m_backgroundColor = Qt::white;
    bool m_drawsBackground = false;
    QPointer<View> m_controlView;
    mutable std::optional<AttributedString> m_attributed;
};

} // namespace pf
