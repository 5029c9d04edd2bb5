#include "Classes/Framework/Toolkit/OVRoundedRect.h"

#include "Classes/Framework/OVColor.h"
#include "Platform/UI/Drawing.h"

#include <QPainterPath>

OVRoundedRect::OVRoundedRect(const pf::Rect& frame, QWidget* parent) : View(frame, parent) {}

void OVRoundedRect::setTopFillColorName(const QString& text)
{
    m_topFill = OVColor::colorFromDescription(text).toQColor();
}

void OVRoundedRect::setBottomFillColorName(const QString& text)
{
    m_bottomFill = OVColor::colorFromDescription(text).toQColor();
}

void OVRoundedRect::setTopStrokeColorName(const QString& text)
{
    m_topStroke = OVColor::colorFromDescription(text).toQColor();
}

void OVRoundedRect::setBottomStrokeColorName(const QString& text)
{
    m_bottomStroke = OVColor::colorFromDescription(text).toQColor();
}

void OVRoundedRect::drawRect(QPainter& painter, const pf::Rect&)
{
    const QRectF outer = bounds().toQRectF();
    const QRectF inner = bounds().insetBy(1, 1).toQRectF();
    const double innerRadius = std::max(0.0, m_cornerRadius - 1);
    QPainterPath body;
    body.addRoundedRect(inner, innerRadius, innerRadius);
    pf::fillLinearGradient(painter, {{0.0, m_topFill}, {1.0, m_bottomFill}}, body, 270);
    // The rim: the body's outline and the bounds' outline together, even-odd, leave a 1-point ring.
    QPainterPath rim = body;
    rim.addRoundedRect(outer, m_cornerRadius, m_cornerRadius);
    rim.setFillRule(Qt::OddEvenFill);
    pf::fillLinearGradient(painter, {{0.0, m_topStroke}, {1.0, m_bottomStroke}}, rim, 270);
}
