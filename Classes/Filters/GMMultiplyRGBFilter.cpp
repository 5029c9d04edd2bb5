#include "Classes/Filters/GMMultiplyRGBFilter.h"

using namespace pf;

GMMultiplyRGBFilter::GMMultiplyRGBFilter(const QString& className) : GMKernelFilter(className)
{
    loadDefaultKernel();
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputIntensity"), {{FilterAttribute::Min, 0.0},
                                                    {FilterAttribute::Max, 1.0},
                                                    {FilterAttribute::Default, 0.5},
                                                    {FilterAttribute::Identity, 0.0},
                                                    {FilterAttribute::Type, FilterAttribute::TypeDistance}});
}

Image GMMultiplyRGBFilter::outputImage() const
{
    return applyToInputImage(0, ApplyExtent::Full, {numberArgument(QStringLiteral("inputIntensity"))});
}
