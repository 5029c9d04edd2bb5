#include "Classes/Filters/GMColorAtPointFilter.h"

#include "Classes/Filters/MaskFilterSupport.h"
#include "Classes/Framework/KernelResource.h"

#include <algorithm>

using namespace pf;
using namespace MaskFilterSupport;

GMColorAtPointFilter::GMColorAtPointFilter(const QString& className) : GMKernelFilter(className)
{
    loadDefaultKernel();
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputPoint"), vectorAttributes(Vector(0, 0), FilterAttribute::TypePosition));
    declareInput(QStringLiteral("inputRadius"),
                 numberAttributes({.min = 0, .sliderMin = 0, .sliderMax = 100, .defaultValue = 1}));
}

Image GMColorAtPointFilter::outputImage() const
{
    const Sampler sampler(imageValue(QStringLiteral("inputImage")));
    const Rect extent = sampler.image().isNull() ? Rect(0, 0, 0, 0) : sampler.image().extent();
    const double width = extent.isNull() ? 0 : extent.width();
    const double height = extent.isNull() ? 0 : extent.height();
    const Vector point = vectorValue(QStringLiteral("inputPoint"));
    const Point position(point.x() * width, point.y() * height);
    // Every output pixel reads around the point, wherever the destination is: the region asked for must
    // hold the point, or a tile away from it would read nothing.
    const double half = std::max(1.0, numberValue(QStringLiteral("inputRadius"), 1.0));
    const Rect around(position.x - half, position.y - half, 2 * half, 2 * half);
    ApplyOptions o = options(sampler.definition().extent(), KernelResource::originZeroExtent(extent));
    o.regionOfInterest = [around](int, const Rect& destination) { return destination.united(around); };
    return applySlot(0, {samplerArgument(sampler), QVariant::fromValue(Vector(position.x, position.y))}, o);
}
