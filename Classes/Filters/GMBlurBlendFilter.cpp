#include "Classes/Filters/GMBlurBlendFilter.h"

#include "Classes/Filters/FrameworkFilterSupport.h"

using namespace pf;

GMBlurBlendFilter::GMBlurBlendFilter(const QString& className, const Number& radius, const Number& first,
                                     const Number& second)
    : GMKernelFilter(className), m_radius(radius), m_first(first), m_second(second)
{
    loadDefaultKernel();
    declareInput(QStringLiteral("inputImage"));
    for (const Number* number : {&m_radius, &m_first, &m_second})
        declareInput(number->key, number->attributes);
}

Image GMBlurBlendFilter::outputImage() const
{
    const Image image = imageValue(QStringLiteral("inputImage"));
    const double radius = numberValue(m_radius.key, m_radius.fallback);
    if (image.isNull() || !FrameworkFilterSupport::hasArea(image.extent()))
        return Image();
    const std::optional<Image> blur = blurred(image, radius);
    if (!blur)
        return image;
    using FrameworkFilterSupport::var;
    return FrameworkFilterSupport::applyOver(kernelSlot(0),
                                             {var(image), var(*blur),
                                              numberValue(m_first.key, m_first.fallback),
                                              numberValue(m_second.key, m_second.fallback)},
                                             image);
}
