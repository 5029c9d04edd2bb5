#include "Classes/Filters/GMAdjustableSoftLightBlendFilter.h"

GMAdjustableSoftLightBlendFilter::GMAdjustableSoftLightBlendFilter(const QString& className)
    : GMAdjustableBlendFilterBase(className, ApplyExtent::OriginZero)
{}
