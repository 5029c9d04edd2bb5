#include "Classes/Filters/GMAdjustableOverlayBlendFilter.h"

GMAdjustableOverlayBlendFilter::GMAdjustableOverlayBlendFilter(const QString& className)
    : GMAdjustableBlendFilterBase(className, ApplyExtent::OriginZero)
{}
