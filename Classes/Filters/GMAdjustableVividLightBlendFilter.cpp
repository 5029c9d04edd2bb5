#include "Classes/Filters/GMAdjustableVividLightBlendFilter.h"

GMAdjustableVividLightBlendFilter::GMAdjustableVividLightBlendFilter(const QString& className)
    : GMAdjustableBlendFilterBase(className, ApplyExtent::OriginZero)
{}
