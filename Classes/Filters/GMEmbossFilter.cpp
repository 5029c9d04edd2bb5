#include "Classes/Filters/GMEmbossFilter.h"

using namespace pf;

GMEmbossFilter::GMEmbossFilter(const QString& className) : GMKernelFilter(className)
{
    loadDefaultKernel();
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputIntensity"), {{FilterAttribute::Min, 0.0},
                                                    {FilterAttribute::SliderMin, 0.0},
                                                    {FilterAttribute::SliderMax, 1.0},
                                                    {FilterAttribute::Default, 0.5},
                                                    {FilterAttribute::Type, FilterAttribute::TypeDistance}});
}

Image GMEmbossFilter::outputImage() const
{
    return applyToInputImage(0, ApplyExtent::OriginZero, {numberArgument(QStringLiteral("inputIntensity"))},
                             3);
}
