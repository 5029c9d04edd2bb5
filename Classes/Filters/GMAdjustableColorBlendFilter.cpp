#include "Classes/Filters/GMAdjustableColorBlendFilter.h"

GMAdjustableColorBlendFilter::GMAdjustableColorBlendFilter(const QString& className)
    : GMAdjustableBlendFilterBase(className, ApplyExtent::Full)
{}
