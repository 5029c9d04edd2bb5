#include "Classes/Filters/GMvignetteMaskFilter.h"

using namespace pf;

GMvignetteMaskFilter::GMvignetteMaskFilter(const QString& className)
    : GMKernelPassFilter(className, {.images = {{QStringLiteral("inputImage")}},
                                     .numbers = {{QStringLiteral("inputIntensity"),
                                                  0.0,
                                                  {{FilterAttribute::Min, 0.0},
                                                   {FilterAttribute::Max, 1.0},
                                                   {FilterAttribute::Default, 0.0},
                                                   {FilterAttribute::Type, FilterAttribute::TypeDistance}}}},
                                     .extent = ApplyExtent::OriginZero})
{}
