#include "Classes/Filters/GMAutoBrushHairFilter.h"

GMAutoBrushHairFilter::GMAutoBrushHairFilter(const QString& className)
    : GMAutoBrushRegionFilter(className, QStringLiteral("GMAutoBrushHairFilterKernel"),
                              QStringLiteral("GMAutoBrushHairRefMaskFilterKernel"), 0.2, true, false)
{
    declareInput(QStringLiteral("inputTargetFrame"));
}
