#include "Platform/UI/TextLayer.h"

#include <QPainter>

namespace pf {

TextLayer::TextLayer() : m_font(systemFont(36))
{
    setNeedsDisplayOnBoundsChange(true);
}

void TextLayer::setString(const QString& string)
{
    if (string == m_string)
        return;
    m_string = string;
    setNeedsDisplay();
}

void TextLayer::setFont(const QFont& font)
{
    m_font = font;
    setNeedsDisplay();
}

void TextLayer::setForegroundColor(const QColor& color)
{
    m_color = color;
    setNeedsDisplay();
}

void TextLayer::setAlignment(AttributedString::Alignment alignment)
{
    m_alignment = alignment;
    setNeedsDisplay();
}

AttributedString TextLayer::attributedString() const
{
    TextAttributes attributes;
    attributes.font = m_font;
    attributes.color = m_color;
    AttributedString text(m_string, attributes);
    text.setAlignment(m_alignment);
    text.setLineBreakMode(AttributedString::LineBreak::Clip);
    return text;
}

Size TextLayer::preferredSize() const
{
    return m_string.isEmpty() ? Size() : attributedString().size();
}

void TextLayer::drawInContext(QPainter& painter)
{
    if (m_string.isEmpty())
        return;
    attributedString().drawInRect(painter, bounds().standardized());
}

} // namespace pf
