#include "Classes/Filters/GMAdjustableSoftLightLightenBlendFilter.h"

GMAdjustableSoftLightLightenBlendFilter::GMAdjustableSoftLightLightenBlendFilter(const QString& className)
    : GMAdjustableBlendFilterBase(className, ApplyExtent::OriginZero)
{}
