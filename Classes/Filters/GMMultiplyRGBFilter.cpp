#include "Classes/Filters/GMMultiplyRGBFilter.h"

using namespace pf;

GMMultiplyRGBFilter::GMMultiplyRGBFilter(const QString& className)
    : GMKernelPassFilter(className,
                         imagePass(ApplyExtent::Full,
                                   {numberInput(QStringLiteral("inputIntensity"),
                                                {{FilterAttribute::Min, 0.0},
                                                 {FilterAttribute::Max, 1.0},
                                                 {FilterAttribute::Default, 0.5},
                                                 {FilterAttribute::Identity, 0.0},
                                                 {FilterAttribute::Type, FilterAttribute::TypeDistance}})}))
{}
