#include "Classes/Filters/GMAdjustableScreenBlendFilter.h"

GMAdjustableScreenBlendFilter::GMAdjustableScreenBlendFilter(const QString& className)
    : GMAdjustableBlendFilterBase(className, ApplyExtent::OriginZero)
{}
