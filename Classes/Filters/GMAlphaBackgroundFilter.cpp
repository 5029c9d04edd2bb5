#include "Classes/Filters/GMAlphaBackgroundFilter.h"

#include "Classes/Filters/MaskFilterSupport.h"
#include "Classes/Framework/KernelResource.h"

using namespace pf;

GMAlphaBackgroundFilter::GMAlphaBackgroundFilter(const QString& className) : GMKernelFilter(className)
{
    loadDefaultKernel();
    declareInput(QStringLiteral("inputSize"), MaskFilterSupport::vectorAttributes(Vector(0, 0, 400, 400)));
}

Image GMAlphaBackgroundFilter::outputImage() const
{
    const Vector size = vectorValue(QStringLiteral("inputSize"));
    const Rect rect = KernelResource::fullExtent(Rect(size.x(), size.y(), size.z(), size.w()));
    ApplyOptions options;
    options.definition = rect;
    options.extent = rect;
    return applySlot(0, {}, options);
}
