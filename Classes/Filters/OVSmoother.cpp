#include "Classes/Filters/OVSmoother.h"

#include "Classes/Filters/MaskFilterSupport.h"

using namespace pf;
using namespace MaskFilterSupport;

OVSmoother::OVSmoother(const QString& className) : OVFilter(className)
{
    declareInput(QStringLiteral("inputImage"));
}

void OVSmoother::registerClass()
{
    const QString name = QStringLiteral("OVSmoother");
    OVFilter::registerForCopying(name, {QStringLiteral("inputImage")});
    Filter::registerFilter(name, [] { return std::make_shared<OVSmoother>(); });
}

Image OVSmoother::outputImage() const
{
    const Sampler source(imageValue(QStringLiteral("inputImage")), Sampler::FilterMode::Linear,
                         Sampler::WrapMode::Clamp);
    ApplyOptions options = domainOf(source);
    options.regionOfInterest = [](int, const Rect& destination) { return destination.insetBy(-1, -1); };
    return kernel().apply({samplerArgument(source)}, options);
}
