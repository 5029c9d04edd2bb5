#include "Classes/Editor/OVCell.h"

#include <QPainter>

OVCell::OVCell(const QString& text) : m_value(text) {}

OVCell::OVCell(const QImage& image) : m_image(image) {}

void OVCell::setStringValue(const QString& text)
{
    const pf::TextAttributes attributes =
        m_value.length() > 0 ? m_value.attributesAt(0) : pf::TextAttributes();
    pf::AttributedString value(text, attributes);
    value.setAlignment(m_value.alignment());
    value.setShadow(m_value.shadow());
    m_value = value;
}

pf::Rect OVCell::titleRectForBounds(const pf::Rect& frame) const
{
    return frame.insetBy(2, 2);
}

void OVCell::drawWithFrame(QPainter& painter, const pf::Rect& frame, pf::View* controlView)
{
    drawBezelWithFrame(painter, frame, controlView);
    drawInteriorWithFrame(painter, frame, controlView);
}

void OVCell::drawBezelWithFrame(QPainter&, const pf::Rect&, pf::View*) {}

void OVCell::drawInteriorWithFrame(QPainter& painter, const pf::Rect& frame, pf::View*)
{
    const pf::Rect title = titleRectForBounds(frame);
    const pf::Size size = m_value.sizeForWidth(title.width());
    m_value.drawInRect(painter, pf::Rect(title.minX(), title.minY() + (title.height() - size.height) / 2,
                                         title.width(), size.height));
}
