#include "Classes/Filters/GMSkinSmoothingFilter.h"

#include "Classes/Filters/FrameworkFilterSupport.h"
#include "Classes/Filters/MaskFilterSupport.h"

#include <algorithm>
#include <cmath>

using namespace pf;
using FrameworkFilterSupport::var;
using MaskFilterSupport::numberAttributes;

GMSkinSmoothingFilter::GMSkinSmoothingFilter(const QString& className)
    : GMGuidedFilter(className, {{QStringLiteral("GMSkinSmoothingFilterKernel"), 0}})
{
    declareInput(QStringLiteral("inputDetailRadius"),
                 numberAttributes({.min = 0, .sliderMin = 0, .sliderMax = 10, .defaultValue = 1.5}));
    declareInput(QStringLiteral("inputEdgeContrast"),
                 numberAttributes({.min = 0,
                                   .sliderMin = 0,
                                   .sliderMax = 0.5,
                                   .defaultValue = 0.1,
                                   .type = FilterAttribute::TypeScalar}));
    declareInput(QStringLiteral("inputContrast"), numberAttributes({.min = 0,
                                                                    .sliderMin = 0,
                                                                    .sliderMax = 0.2,
                                                                    .defaultValue = 0.05,
                                                                    .type = FilterAttribute::TypeScalar}));
    for (const char* key : {"inputLightenOnly", "inputDarkenOnly"})
        declareInput(QString::fromLatin1(key), {{FilterAttribute::Default, false},
                                                {FilterAttribute::Type, FilterAttribute::TypeBoolean}});
}

Image GMSkinSmoothingFilter::outputForFit(const Image& image, const Fit& coefficients) const
{
    if (kernelSlot(GuidedSlots).isNull())
        return Image();
    // Below about half a pixel there is no finer detail to keep apart.
    const double detail = std::max(0.5, numberValue(QStringLiteral("inputDetailRadius"), 1.5));
    const Image fine = FrameworkFilterSupport::blurOfPicture(image, detail);
    // The kernel reads the fine image a pixel around each pixel.
    return FrameworkFilterSupport::applyOver(
        kernelSlot(GuidedSlots),
        {var(image), var(fine), var(coefficients.a), var(coefficients.b), detail,
         std::max(1e-6, numberValue(QStringLiteral("inputEdgeContrast"), 0.1)),
         std::max(1e-6, numberValue(QStringLiteral("inputContrast"), 0.05)),
         boolValue(QStringLiteral("inputLightenOnly")) ? 1.0 : 0.0,
         boolValue(QStringLiteral("inputDarkenOnly")) ? 1.0 : 0.0},
        image, [](int, const Rect& destination) { return destination.insetBy(-1, -1); });
}
