#include "Classes/Filters/GMAdjustableSoftLightOverlayBlendFilter.h"

GMAdjustableSoftLightOverlayBlendFilter::GMAdjustableSoftLightOverlayBlendFilter(const QString& className)
    : GMAdjustableBlendFilterBase(className, ApplyExtent::OriginZero, 1.0,
                                  {{QStringLiteral("GMAdjustableSoftLightOverlayBlendKernel"), 0}})
{}
