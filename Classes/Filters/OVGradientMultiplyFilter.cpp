#include "Classes/Filters/OVGradientMultiplyFilter.h"

#include "Classes/Filters/FrameworkFilterSupport.h"
#include "Classes/Filters/GradientStrip.h"
#include "Platform/Image/Sampler.h"

#include <cmath>

using namespace pf;

namespace {

const QString ImageKey = QStringLiteral("inputImage");
const QString GradientKey = QStringLiteral("inputGradient");
const QString AngleKey = QStringLiteral("inputAngle");

} // namespace

OVGradientMultiplyFilter::OVGradientMultiplyFilter(const QString& className)
    : OVGradientStripFilter(className), m_clamp(Filter::create(QStringLiteral("CIAffineClamp")))
{
    declareInput(ImageKey);
    declareInput(GradientKey, {{FilterAttribute::Default,
                                QVariant::fromValue(Gradient(Color(0, 0, 0, 1), Color(1, 1, 1, 1)))}});
    declareInput(AngleKey, {{FilterAttribute::Default, 0.0},
                            {FilterAttribute::SliderMin, -90.0},
                            {FilterAttribute::SliderMax, 270.0}});
    if (m_clamp)
        m_clamp->setDefaults();
}

void OVGradientMultiplyFilter::setStrip(const Image& strip)
{
    OVGradientStripFilter::setStrip(strip);
    if (m_clamp)
        m_clamp->setValue(QVariant::fromValue(strip), ImageKey);
}

std::optional<AffineTransform> OVGradientMultiplyFilter::stripTransform(const Rect& extent,
                                                                        double angleDegrees)
{
    if (!FrameworkFilterSupport::hasArea(extent) || !std::isfinite(angleDegrees))
        return std::nullopt;
    const double radians = angleDegrees * M_PI / 180.0;
    const double w = extent.width();
    const double h = extent.height();
    // The extent's length along the gradient's direction.
    const double length = std::max(std::abs(h * std::sin(radians) - w * std::cos(radians)),
                                   std::abs(w * std::cos(radians) + h * std::sin(radians)));
    const double half = GradientStrip::Width / 2.0;
    return AffineTransform()
        .translated(extent.minX() + w / 2, extent.minY() + h / 2)
        .scaled(length / GradientStrip::Width, length / GradientStrip::Width)
        .rotated(-radians)
        .translated(-half, -0.5);
}

Image OVGradientMultiplyFilter::outputImage() const
{
    const Image image = imageValue(ImageKey);
    if (image.isNull() || !m_clamp)
        return Image();
    const std::optional<AffineTransform> transform = stripTransform(image.extent(), numberValue(AngleKey));
    if (!transform)
        return image;
    m_clamp->setValue(QVariant::fromValue(*transform), QStringLiteral("inputTransform"));
    const Image gradient = strip().isNull() ? Image::emptyImage() : m_clamp->outputImage();
    return FrameworkFilterSupport::applyOver(
        kernel(), {QVariant::fromValue(Sampler(image)), QVariant::fromValue(Sampler(gradient))}, image);
}
