#include "Classes/Framework/Toolkit/OVFontTextCell.h"

#include <QPainter>

pf::Rect OVFontTextCell::textRectForFrame(const pf::Rect& frame) const
{
    const pf::Size natural = attributedStringValue().size();
    const double width = std::min(natural.width, frame.width() - 18.0);
    return pf::Rect(frame.minX() + 10.0, frame.minY() + (frame.height() - natural.height) / 2, width,
                    natural.height);
}

void OVFontTextCell::drawInteriorWithFrame(QPainter& painter, const pf::Rect& frame, pf::View*)
{
    const pf::Rect rect = textRectForFrame(frame);
    if (!(rect.width() > 0) || !(rect.height() > 0))
        return;
    pf::AttributedString text = attributedStringValue();
    text.setColor(textColor(), 0, text.length());
    text.setLineBreakMode(pf::AttributedString::LineBreak::TruncateTail);
    text.drawInRect(painter, rect);
}
