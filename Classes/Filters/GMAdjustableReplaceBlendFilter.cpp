#include "Classes/Filters/GMAdjustableReplaceBlendFilter.h"

GMAdjustableReplaceBlendFilter::GMAdjustableReplaceBlendFilter(const QString& className)
    : GMAdjustableBlendFilterBase(className, ApplyExtent::OriginZero)
{}
