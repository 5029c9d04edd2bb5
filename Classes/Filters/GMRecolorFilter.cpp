#include "Classes/Filters/GMRecolorFilter.h"

#include "Classes/Filters/MaskFilterSupport.h"
#include "Platform/Image/Color.h"

using namespace pf;

GMRecolorFilter::GMRecolorFilter(const QString& className) : GMKernelFilter(className)
{
    loadDefaultKernel();
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputColor"),
                 MaskFilterSupport::colorAttributes(Color(0.6, 0.3, 0.2), FilterAttribute::TypeOpaqueColor));
    declareInput(QStringLiteral("inputToneRange"),
                 MaskFilterSupport::vectorAttributes(Vector(-1, 0, 1.5, 2)));
    declareInput(QStringLiteral("inputSaturation"),
                 MaskFilterSupport::numberAttributes({.min = 0,
                                                      .sliderMin = 0,
                                                      .sliderMax = 2,
                                                      .defaultValue = 1,
                                                      .type = FilterAttribute::TypeScalar}));
}

Image GMRecolorFilter::outputImage() const
{
    const QString colour = QStringLiteral("inputColor");
    const Vector range = vectorValue(QStringLiteral("inputToneRange"));
    return applyToInputImage(0, ApplyExtent::Full,
                             {hasValue(colour) ? value(colour) : QVariant(),
                              QVariant::fromValue(Vector(range.x(), range.y(), range.z(), range.w())),
                              numberValue(QStringLiteral("inputSaturation"), 1)});
}
