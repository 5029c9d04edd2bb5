#include "Classes/Filters/OVGradientMapFilter.h"

#include "Classes/Filters/FrameworkFilterSupport.h"
#include "Classes/Filters/MaskFilterSupport.h"
#include "Classes/Framework/ColorORVExtension.h"
#include "Platform/Image/Sampler.h"

using namespace pf;

namespace {

const QString ImageKey = QStringLiteral("inputImage");
const QString ColorKey = QStringLiteral("inputColor");
const QString GradientKey = QStringLiteral("inputGradient");

} // namespace

OVGradientMapFilter::OVGradientMapFilter(const QString& className) : OVGradientStripFilter(className)
{
    declareInput(ImageKey);
    declareInput(ColorKey, MaskFilterSupport::colorAttributes(Color(0.5, 0.5, 0.5, 1)));
    declareInput(GradientKey, {{FilterAttribute::Default, QVariant::fromValue(defaultGradient())}});
}

Gradient OVGradientMapFilter::defaultGradient()
{
    return Gradient(
        {{0.0, Color(0, 0, 0, 1)}, {0.5, Color(0, 103 / 255.0, 177 / 255.0, 1)}, {1.0, Color(1, 1, 1, 1)}});
}

Vector OVGradientMapFilter::parameters(const Color& color)
{
    const ORVExtension::HSV hsv = ORVExtension::hsv(color);
    const double lightness = ORVExtension::hsl(color).lightness;
    const double t = 2.0 - 4.0 * (0.165 + 0.67 * (1.0 - lightness));
    return Vector(hsv.hue, hsv.saturation, t, 1.0 - t);
}

Image OVGradientMapFilter::outputImage() const
{
    const Image image = imageValue(ImageKey);
    if (image.isNull())
        return Image();
    // A missing colour reads as black: no hue, no saturation, lightness 0.
    const Vector parameters = OVGradientMapFilter::parameters(colorValue(ColorKey));
    // The strip is read anywhere along its length, whatever part of the image is drawn.
    const Rect stripExtent = strip().isNull() ? Rect(0, 0, 0, 0) : strip().extent();
    auto regionOfInterest = [stripExtent](int index, const Rect& destination) {
        return index == 1 ? stripExtent : destination;
    };
    const Sampler stripSampler(strip().isNull() ? Image::emptyImage() : strip(), Sampler::FilterMode::Nearest,
                               Sampler::WrapMode::Clamp);
    return FrameworkFilterSupport::applyOver(kernel(),
                                             {QVariant::fromValue(Sampler(image)),
                                              QVariant::fromValue(stripSampler),
                                              QVariant::fromValue(parameters)},
                                             image, regionOfInterest);
}
