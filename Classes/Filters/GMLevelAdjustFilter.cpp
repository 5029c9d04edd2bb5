#include "Classes/Filters/GMLevelAdjustFilter.h"

#include "Platform/Image/Sampler.h"

using namespace pf;

GMLevelAdjustFilter::GMLevelAdjustFilter(const QString& className) : GMKernelFilter(className)
{
    loadDefaultKernel();
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputToneValues"),
                 {{FilterAttribute::Default, QVariant::fromValue(Vector(0, 0.5, 1))},
                  {FilterAttribute::Identity, QVariant::fromValue(Vector(0, 0.5, 1))}});
}

Image GMLevelAdjustFilter::outputImage() const
{
    const Sampler sampler(imageValue(QStringLiteral("inputImage")));
    const QString key = QStringLiteral("inputToneValues");
    const Vector tones = vectorValue(key);
    ApplyOptions options;
    options.definition = sampler.definition().extent();
    options.extent = options.definition;
    return applySlot(
        0,
        {QVariant::fromValue(sampler),
         hasValue(key) ? QVariant::fromValue(Vector(tones.x(), tones.y(), tones.z())) : QVariant()},
        options);
}
