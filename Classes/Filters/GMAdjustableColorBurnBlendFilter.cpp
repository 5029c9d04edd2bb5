#include "Classes/Filters/GMAdjustableColorBurnBlendFilter.h"

GMAdjustableColorBurnBlendFilter::GMAdjustableColorBurnBlendFilter(const QString& className)
    : GMAdjustableBlendFilterBase(className, ApplyExtent::Full)
{}
