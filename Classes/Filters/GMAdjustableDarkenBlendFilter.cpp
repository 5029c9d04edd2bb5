#include "Classes/Filters/GMAdjustableDarkenBlendFilter.h"

GMAdjustableDarkenBlendFilter::GMAdjustableDarkenBlendFilter(const QString& className)
    : GMAdjustableBlendFilterBase(className, ApplyExtent::Full)
{}
