#include "Classes/Filters/GMAdjustableHardLightBlendFilter.h"

GMAdjustableHardLightBlendFilter::GMAdjustableHardLightBlendFilter(const QString& className)
    : GMAdjustableBlendFilterBase(className, ApplyExtent::Full)
{}
