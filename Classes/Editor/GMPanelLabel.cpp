#include "Classes/Editor/GMPanelLabel.h"

#include "Platform/UI/Drawing.h"

#include <cmath>

GMPanelLabel::GMPanelLabel(const pf::Rect& frame, QWidget* parent)
    : View(frame, parent), m_font(pf::systemFont(12)), m_color(QColor(222, 224, 228))
{
    setTransparentForMouse(true);
}

void GMPanelLabel::setText(const QString& text)
{
    m_text = text;
    setNeedsDisplay();
}

void GMPanelLabel::setFont(const QFont& font)
{
    m_font = font;
    setNeedsDisplay();
}

void GMPanelLabel::setTextColor(const QColor& color)
{
    m_color = color;
    setNeedsDisplay();
}

void GMPanelLabel::setWraps(bool wraps)
{
    m_wraps = wraps;
    setNeedsDisplay();
}

void GMPanelLabel::setShadow(const std::optional<pf::Shadow>& shadow)
{
    m_shadow = shadow;
    setNeedsDisplay();
}

pf::AttributedString GMPanelLabel::attributed() const
{
    pf::AttributedString string(m_text, {m_font, m_color});
    string.setShadow(m_shadow);
    string.setLineBreakMode(m_wraps ? pf::AttributedString::LineBreak::WordWrap
                                    : pf::AttributedString::LineBreak::TruncateTail);
    return string;
}

double GMPanelLabel::intrinsicWidth() const
{
    return std::ceil(pf::AttributedString(m_text, {m_font, m_color}).size().width);
}

void GMPanelLabel::drawRect(QPainter& painter, const pf::Rect&)
{
    if (m_text.isEmpty())
        return;
    attributed().drawInRect(painter, bounds());
}
