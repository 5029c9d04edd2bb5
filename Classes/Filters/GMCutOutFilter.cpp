#include "Classes/Filters/GMCutOutFilter.h"

#include "Classes/Filters/MaskFilterSupport.h"
#include "Platform/Image/Sampler.h"

#include <cmath>

using namespace pf;

GMCutOutFilter::GMCutOutFilter(const QString& className) : GMKernelFilter(className)
{
    loadKernels({{QStringLiteral("GMCutFromImageFilterKernel"), 0}});
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputExtent"), MaskFilterSupport::vectorAttributes(Vector(0, 0, 400, 400)));
}

Image GMCutOutFilter::outputImage() const
{
    const Vector cut = vectorValue(QStringLiteral("inputExtent"));
    const Rect source(cut.x(), cut.y(), cut.z(), cut.w());
    // A rectangle that is not finite has nothing to cut (and no pixel grid to render).
    for (double n : {cut.x(), cut.y(), cut.z(), cut.w()}) {
        if (!std::isfinite(n))
            return Image();
    }
    const Rect area(0, 0, cut.z(), cut.w());
    ApplyOptions options;
    options.definition = area;
    options.extent = area;
    options.regionOfInterest = [source](int, const Rect&) { return source; };
    return applySlot(0,
                     {QVariant::fromValue(Sampler(imageValue(QStringLiteral("inputImage")))),
                      QVariant::fromValue(Vector(cut.x(), cut.y(), cut.z(), cut.w()))},
                     options);
}
