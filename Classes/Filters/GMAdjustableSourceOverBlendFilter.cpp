#include "Classes/Filters/GMAdjustableSourceOverBlendFilter.h"

GMAdjustableSourceOverBlendFilter::GMAdjustableSourceOverBlendFilter(const QString& className)
    : GMAdjustableBlendFilterBase(className, ApplyExtent::OriginZero)
{}
