#include "Classes/Filters/GMAdjustableLinearBurnBlendFilter.h"

GMAdjustableLinearBurnBlendFilter::GMAdjustableLinearBurnBlendFilter(const QString& className)
    : GMAdjustableBlendFilterBase(className, ApplyExtent::OriginZero)
{}
