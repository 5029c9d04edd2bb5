#include "Classes/Filters/GMAdjustableOverlayLightenBlendFilter.h"

GMAdjustableOverlayLightenBlendFilter::GMAdjustableOverlayLightenBlendFilter(const QString& className)
    : GMAdjustableBlendFilterBase(className, ApplyExtent::OriginZero)
{}
