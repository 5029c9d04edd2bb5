#include "Classes/Filters/GMAdjustableLuminanceBlendFilter.h"

GMAdjustableLuminanceBlendFilter::GMAdjustableLuminanceBlendFilter(const QString& className)
    : GMAdjustableBlendFilterBase(className, ApplyExtent::OriginZero, 0.5)
{}
