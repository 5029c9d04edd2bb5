#include "Classes/Filters/GMAdjustableHueSatBlendFilter.h"

GMAdjustableHueSatBlendFilter::GMAdjustableHueSatBlendFilter(const QString& className)
    : GMAdjustableBlendFilterBase(className, ApplyExtent::Full)
{}
