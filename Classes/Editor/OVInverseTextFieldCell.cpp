#include "Classes/Editor/OVInverseTextFieldCell.h"

#include "Classes/Editor/OVCellControl.h"
#include "Platform/UI/Drawing.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>

OVInverseTextFieldCell::OVInverseTextFieldCell(const QString& text) : OVCell(text) {}

OVInverseTextFieldCell::OVInverseTextFieldCell(const QImage& image) : OVCell(image) {}

pf::Point OVInverseTextFieldCell::textOrigin(const pf::Rect& frame, int tag) const
{
    const pf::Rect R = titleRectForBounds(frame);
    const pf::Size size = attributedStringValue().size();
    const double width = std::ceil(size.width);
    // Vertically the title rectangle's own origin counts (its x origin would put the text wherever the
    // control happens to stand across).
    return pf::Point(R.minX() + (R.width() - width) / 2, R.minY() + (R.height() - size.height) / 2 - tag);
}

void OVInverseTextFieldCell::drawInteriorWithFrame(QPainter& painter, const pf::Rect& frame,
                                                   pf::View* controlView)
{
    const auto* control = qobject_cast<OVCellControl*>(controlView);
    const int tag = control ? control->tag() : 0;
    // The plate and its cut-out are made apart: punching the window's own pixels would cut through
    // whatever was drawn behind the control as well.
    const double scale = std::max(1.0, painter.device() ? painter.device()->devicePixelRatioF() : 1.0);
    QImage plate(int(std::ceil(frame.width() * scale)), int(std::ceil(frame.height() * scale)),
                 QImage::Format_ARGB32_Premultiplied);
    if (plate.isNull())
        return;
    plate.setDevicePixelRatio(scale);
    plate.fill(Qt::transparent);
    {
        QPainter p(&plate);
        p.setRenderHint(QPainter::Antialiasing);
        // y-up within the plate.
        p.translate(0, frame.height());
        p.scale(1, -1);
        QPainterPath rounded;
        rounded.addRoundedRect(QRectF(0, 0, frame.width(), frame.height()), m_cornerRadius, m_cornerRadius);
        p.fillPath(rounded, backgroundColor().isValid() ? backgroundColor() : QColor(Qt::black));
        pf::AttributedString white = attributedStringValue();
        pf::TextAttributes attributes = white.length() > 0 ? white.attributesAt(0) : pf::TextAttributes();
        attributes.color = Qt::white;
        white.setAttributes(attributes, 0, white.length());
        white.setShadow(std::nullopt);
        p.setCompositionMode(QPainter::CompositionMode_DestinationOut);
        const pf::Point at = textOrigin(pf::Rect(0, 0, frame.width(), frame.height()), tag);
        white.drawAtPoint(p, at);
    }
    pf::drawImage(painter, plate, frame);
}
