#include "Classes/Framework/Toolkit/OVLabel.h"

#include "Classes/Framework/Toolkit/OVShadowCatalog.h"
#include "Platform/Foundation/Localization.h"

#include <QEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

OVLabel::OVLabel(const pf::Rect& frame, QWidget* parent) : TextField(frame, parent)
{
    setDrawsBackground(false);
}

void OVLabel::setStringValue(const QString& text)
{
    TextField::setStringValue(pf::localized(text, QStringLiteral("Controls")));
}

void OVLabel::awakeFromInterface()
{
    if (m_awoken)
        return;
    m_awoken = true;
    setStringValue(stringValue());
}

void OVLabel::setTextShadowName(const QString& name)
{
    updateGeometry();
    OVShadowCatalog& catalog = OVShadowCatalog::sharedShadowCatalog();
    m_textShadow = catalog.shadowWithName(name);
    if (const std::optional<pf::PaintColor> color = catalog.textColorForShadowWithName(name))
        setTextColor(color->toQColor());
}

void OVLabel::changeEvent(QEvent* event)
{
    TextField::changeEvent(event);
    if (event->type() == QEvent::EnabledChange)
        setAlphaValue(isEnabled() ? 1.0 : 0.5);
}

pf::AttributedString OVLabel::stringWithFieldAttributes() const
{
    pf::AttributedString text = cell()->attributedStringValue();
    text.setShadow(m_textShadow);
    return text;
}

pf::AttributedString OVLabel::stringForDrawing() const
{
    pf::AttributedString text = stringWithFieldAttributes();
    const double width = bounds().width();
    if (m_shrinkToFit && text.length() > 0) {
        const double textWidth = text.size().width;
        if (textWidth > width && textWidth > 0) {
            const double factor = width / textWidth * 0.999;
            QFont shrunk = font();
            // A font sized in pixels has no point size to scale (it reads -1); it shrinks in whole
            // pixels, rounded down so that the text still fits.
            if (shrunk.pixelSize() > 0)
                shrunk.setPixelSize(std::max(1, int(std::floor(shrunk.pixelSize() * factor))));
            else
                shrunk.setPointSizeF(font().pointSizeF() * factor);
            text.setFont(shrunk, 0, text.length());
        }
    }
    return text;
}

pf::Size OVLabel::intrinsicContentSize() const
{
    return stringWithFieldAttributes().size();
}

QSize OVLabel::sizeHint() const
{
    const pf::Size size = intrinsicContentSize();
    return QSize(int(std::ceil(size.width)), int(std::ceil(size.height)));
}

double OVLabel::preferredHeight() const
{
    pf::AttributedString text = stringWithFieldAttributes();
    // Laid out in lines, whatever the line-break mode draws.
    text.setLineBreakMode(pf::AttributedString::LineBreak::WordWrap);
    return std::min(text.sizeForWidth(bounds().width()).height, 3000.0);
}

void OVLabel::drawRect(QPainter& painter, const pf::Rect&)
{
    const pf::Rect b = bounds();
    if (drawsBackground()) {
        QPainterPath background;
        background.addRoundedRect(b.toQRectF(), m_cornerRadius, m_cornerRadius);
        painter.fillPath(background, backgroundColor());
    }
    const pf::AttributedString text = stringForDrawing();
    if (text.length() == 0 || b.width() <= 0 || b.height() <= 0)
        return;
    const pf::Size measured = text.sizeForWidth(b.width());
    const pf::Rect rect(0, (b.height() - measured.height) / 2, b.width(), measured.height);
    m_textImage.draw(painter, text, rect, m_textShadow);
}
