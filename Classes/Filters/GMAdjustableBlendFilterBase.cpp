#include "Classes/Filters/GMAdjustableBlendFilterBase.h"

#include "Classes/Framework/KernelResource.h"
#include "Platform/Image/Sampler.h"

using namespace pf;

GMAdjustableBlendFilterBase::GMAdjustableBlendFilterBase(const QString& className, ApplyExtent extent,
                                                         double defaultIntensity,
                                                         const std::vector<Slot>& kernelSlots)
    : GMKernelFilter(className), m_extent(extent), m_defaultIntensity(defaultIntensity)
{
    if (kernelSlots.empty())
        loadDefaultKernel();
    else
        loadKernels(kernelSlots);
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputBackgroundImage"));
    declareInput(QStringLiteral("inputIntensity"), distanceAttributes(defaultIntensity));
}

Image GMAdjustableBlendFilterBase::outputImage() const
{
    return applyBlend(kernelSlot(0));
}

Image GMAdjustableBlendFilterBase::applyBlend(const Kernel& kernel, const QVariantList& extraArguments) const
{
    const Image image = imageValue(QStringLiteral("inputImage"));
    const Image background = imageValue(QStringLiteral("inputBackgroundImage"));
    if (kernel.isNull() || image.isNull() || background.isNull())
        return Image();
    const Sampler top(image);
    const Sampler bottom(background);
    ApplyOptions options;
    options.definition = bottom.definition().extent();
    options.extent = m_extent == ApplyExtent::Full ? KernelResource::fullExtent(image.extent())
                                                   : KernelResource::originZeroExtent(image.extent());
    QVariantList arguments{QVariant::fromValue(top), QVariant::fromValue(bottom),
                           numberValue(QStringLiteral("inputIntensity"), m_defaultIntensity)};
    arguments += extraArguments;
    return kernel.apply(arguments, options);
}
