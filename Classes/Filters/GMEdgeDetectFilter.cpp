#include "Classes/Filters/GMEdgeDetectFilter.h"

using namespace pf;

GMEdgeDetectFilter::GMEdgeDetectFilter(const QString& className) : GMKernelFilter(className)
{
    loadDefaultKernel();
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputThreshold"), {{FilterAttribute::Min, 0.0},
                                                    {FilterAttribute::SliderMin, 0.0},
                                                    {FilterAttribute::SliderMax, 1.0},
                                                    {FilterAttribute::Default, 0.1},
                                                    {FilterAttribute::Type, FilterAttribute::TypeDistance}});
}

Image GMEdgeDetectFilter::outputImage() const
{
    return applyToInputImage(0, ApplyExtent::OriginZero, {numberArgument(QStringLiteral("inputThreshold"))},
                             3);
}
