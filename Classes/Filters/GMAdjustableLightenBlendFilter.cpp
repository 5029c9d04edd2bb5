#include "Classes/Filters/GMAdjustableLightenBlendFilter.h"

GMAdjustableLightenBlendFilter::GMAdjustableLightenBlendFilter(const QString& className)
    : GMAdjustableBlendFilterBase(className, ApplyExtent::OriginZero)
{}
