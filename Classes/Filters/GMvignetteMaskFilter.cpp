#include "Classes/Filters/GMvignetteMaskFilter.h"

using namespace pf;

GMvignetteMaskFilter::GMvignetteMaskFilter(const QString& className) : GMKernelFilter(className)
{
    loadDefaultKernel();
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputIntensity"), {{FilterAttribute::Min, 0.0},
                                                    {FilterAttribute::Max, 1.0},
                                                    {FilterAttribute::Default, 0.0},
                                                    {FilterAttribute::Type, FilterAttribute::TypeDistance}});
}

Image GMvignetteMaskFilter::outputImage() const
{
    if (imageValue(QStringLiteral("inputImage")).isNull())
        return Image();
    return applyToInputImage(0, ApplyExtent::OriginZero, {numberValue(QStringLiteral("inputIntensity"))});
}
