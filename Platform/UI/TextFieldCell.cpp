#include "Platform/UI/TextFieldCell.h"

#include "Platform/UI/View.h"

#include <QPainter>

namespace pf {

AttributedString TextFieldCell::attributedStringValue() const
{
    if (!m_attributed) {
        AttributedString text(m_string, TextAttributes{font(), m_textColor});
        text.setAlignment(m_alignment);
        text.setLineBreakMode(m_lineBreak);
        m_attributed = std::move(text);
    }
    return *m_attributed;
}

void TextFieldCell::drawWithFrame(QPainter& painter, const Rect& frame, View* view)
{
    m_controlView = view;
    if (m_drawsBackground)
        painter.fillRect(frame.toQRectF(), m_backgroundColor);
    drawInteriorWithFrame(painter, frame, view);
}

void TextFieldCell::drawInteriorWithFrame(QPainter& painter, const Rect& frame, View*)
{
    const Rect inside = frame.insetBy(2, 0);
    if (inside.width() <= 0 || inside.height() <= 0 || m_string.isEmpty())
        return;
    attributedStringValue().drawInRect(painter, inside);
}

void TextFieldCell::takeAttributesOf(const TextFieldCell& other)
{
    m_string = other.m_string;
    m_font = other.m_font;
    m_textColor = other.m_textColor;
    m_alignment = other.m_alignment;
    m_lineBreak = other.m_lineBreak;
    m_backgroundColor = other.m_backgroundColor;
    m_drawsBackground = other.m_drawsBackground;
    m_controlView = other.m_controlView;
    m_attributed.reset();
}

} // namespace pf
