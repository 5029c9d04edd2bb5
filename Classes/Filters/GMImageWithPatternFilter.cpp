#include "Classes/Filters/GMImageWithPatternFilter.h"

#include "Classes/Filters/MaskFilterSupport.h"
#include "Classes/Framework/KernelResource.h"
#include "Platform/Image/Sampler.h"

using namespace pf;

GMImageWithPatternFilter::GMImageWithPatternFilter(const QString& className) : GMKernelFilter(className)
{
    loadDefaultKernel();
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputSize"));
    declareInput(QStringLiteral("inputOffset"),
                 MaskFilterSupport::vectorAttributes(Vector(0, 0), FilterAttribute::TypePosition));
    declareInput(QStringLiteral("inputZoomFactors"),
                 MaskFilterSupport::vectorAttributes(Vector(1, 1), FilterAttribute::TypePosition));
}

Image GMImageWithPatternFilter::outputImage() const
{
    const Kernel kernel = kernelSlot(0);
    if (kernel.isNull())
        return Image();
    const Image pattern = imageValue(QStringLiteral("inputImage"));
    const Vector size = vectorValue(QStringLiteral("inputSize"));
    const Vector offset = vectorValue(QStringLiteral("inputOffset"));
    const Vector zoom = vectorValue(QStringLiteral("inputZoomFactors"));
    const Rect area = KernelResource::originZeroExtent(Rect(0, 0, size.x(), size.y()));
    // The kernel may read any pixel of the pattern, whatever the destination.
    const Rect whole = pattern.extent();
    ApplyOptions options;
    options.definition = area;
    options.extent = area;
    options.regionOfInterest = [whole](int, const Rect&) { return whole; };
    return kernel.apply({QVariant::fromValue(Sampler(pattern, Sampler::FilterMode::Nearest)),
                         QVariant::fromValue(Vector(size.x(), size.y())),
                         QVariant::fromValue(Vector(offset.x(), offset.y())),
                         QVariant::fromValue(Vector(zoom.x(), zoom.y()))},
                        options);
}
