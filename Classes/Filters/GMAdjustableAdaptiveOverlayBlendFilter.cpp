#include "Classes/Filters/GMAdjustableAdaptiveOverlayBlendFilter.h"

GMAdjustableAdaptiveOverlayBlendFilter::GMAdjustableAdaptiveOverlayBlendFilter(const QString& className)
    : GMAdjustableBlendFilterBase(className, ApplyExtent::Full)
{}
