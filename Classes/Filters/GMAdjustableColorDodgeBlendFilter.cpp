#include "Classes/Filters/GMAdjustableColorDodgeBlendFilter.h"

GMAdjustableColorDodgeBlendFilter::GMAdjustableColorDodgeBlendFilter(const QString& className)
    : GMAdjustableBlendFilterBase(className, ApplyExtent::Full)
{}
