#include "Classes/Filters/GMColorSelectionFilter.h"

#include "Classes/Filters/MaskFilterSupport.h"
#include "Classes/Framework/KernelResource.h"

using namespace pf;
using namespace MaskFilterSupport;

GMColorSelectionFilter::GMColorSelectionFilter(const QString& className, bool nearest,
                                               const QStringList& numberKeys)
    : GMKernelFilter(className), m_nearest(nearest), m_numberKeys(numberKeys)
{
    loadDefaultKernel();
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputColorImage"));
    for (const QString& key : numberKeys)
        declareInput(key, numberAttributes({.min = 0, .max = 1, .defaultValue = 0.02}));
}

Image GMColorSelectionFilter::outputImage() const
{
    const Sampler image(imageValue(QStringLiteral("inputImage")));
    const Sampler colors(imageValue(QStringLiteral("inputColorImage")),
                         m_nearest ? Sampler::FilterMode::Nearest : Sampler::FilterMode::Linear);
    QVariantList arguments{samplerArgument(image), samplerArgument(colors)};
    for (const QString& key : m_numberKeys)
        arguments << numberArgument(key);
    return applySlot(
        0, arguments,
        options(image.definition().extent(), KernelResource::originZeroExtent(image.image().extent())));
}
