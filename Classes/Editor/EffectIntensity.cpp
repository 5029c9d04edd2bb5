#include "Classes/Editor/EffectIntensity.h"

#include "Classes/Editor/EffectIntensityDelegate.h"
#include "Classes/Framework/Toolkit/OVImageSize.h"
#include "Platform/UI/Drawing.h"
#include "Platform/UI/NamedImage.h"

#include <QPainterPath>
#include <algorithm>

namespace {

const QString knobName = QStringLiteral("KnobBig.png");
const QString dotName = QStringLiteral("StepDotMark.png");

QPainterPath roundedRect(const pf::Rect& rect, double radius)
{
    QPainterPath path;
    path.addRoundedRect(rect.toQRectF(), radius, radius);
    return path;
}

} // namespace

void EffectIntensity::setIntensity(double intensity)
{
    m_intensity = std::clamp(intensity, 0.0, 1.0);
    setNeedsDisplay();
}

double EffectIntensity::valueForPoint(pf::Point point) const
{
    const double k = OVImageSize::pointSize(pf::NamedImage::image(knobName)).width;
    const double travel = bounds().size.width - k;
    return travel > 0 ? (point.x - k / 2) / travel : 0;
}

void EffectIntensity::drawRect(QPainter& painter, const pf::Rect&)
{
    static const QGradientStops track = {{0, QColor::fromRgbF(0.17, 0.17, 0.17)},
                                         {1, QColor::fromRgbF(0.28, 0.28, 0.28)}};
    static const QGradientStops face = {{0, Qt::black}, {1, Qt::white}};
    static const QGradientStops shade = {{0, QColor::fromRgbF(0, 0, 0, 0.6)},
                                         {0.6, QColor::fromRgbF(0, 0, 0, 0)},
                                         {1, QColor::fromRgbF(0, 0, 0, 0)}};
    const double w = bounds().size.width;
    pf::fillLinearGradient(painter, track, roundedRect(pf::Rect(18, 12, w - 36, 12), 5), -90);
    const QPainterPath inner = roundedRect(pf::Rect(19, 13, w - 38, 10), 5);
    pf::fillLinearGradient(painter, face, inner, 0);
    pf::fillLinearGradient(painter, shade, inner, -90);

    const QImage knob = pf::NamedImage::image(knobName);
    const QImage dot = pf::NamedImage::image(dotName);
    const pf::Size k = OVImageSize::pointSize(knob), d = OVImageSize::pointSize(dot);
    const double inset = (k.width - d.width) / 2;
    for (double x : {inset, w - inset - d.width, w / 2 - d.width / 2})
        pf::drawImage(painter, dot, pf::Rect(x, 0, d.width, d.height));
    pf::drawImage(painter, knob, pf::Rect((w - k.width) * m_intensity, 2, k.width, k.height));
}

void EffectIntensity::track(const pf::Event& event, bool preview)
{
    setIntensity(valueForPoint(convertPointFromView(event.locationInWindow(), nullptr)));
    if (m_delegate)
        m_delegate->effectIntensityDidChangeIntensity(this, m_intensity, preview);
}

QStringList EffectIntensity::imageNames()
{
    return {knobName, dotName};
}
