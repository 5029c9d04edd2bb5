#include "Classes/Editor/GMPanelLabel.h"

#include "Platform/UI/Drawing.h"

#include <cmath>

GMPanelLabel::GMPanelLabel(const pf::Rect& frame, QWidget* parent)
    : View(frame, parent), m_font(pf::systemFont(12)), m_color(QColor(222, 224, 228))
{
    setTransparentForMouse(true);
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
