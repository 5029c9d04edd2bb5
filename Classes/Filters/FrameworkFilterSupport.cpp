#include "Classes/Filters/FrameworkFilterSupport.h"

#include "Classes/Framework/KernelResource.h"
#include "Platform/Image/Sampler.h"

#include <cmath>

namespace FrameworkFilterSupport {

pf::Image applyOver(const pf::Kernel& kernel, const QVariantList& arguments, const pf::Image& reference,
                    std::function<pf::Rect(int, const pf::Rect&)> regionOfInterest)
{
    if (kernel.isNull() || reference.isNull())
        return pf::Image();
    pf::ApplyOptions options;
    options.definition = pf::Sampler(reference).definition().extent();
    options.extent = KernelResource::fullExtent(reference.extent());
    options.regionOfInterest = std::move(regionOfInterest);
    return kernel.apply(arguments, options);
}

pf::ApplyOptions overBoth(const pf::Image& image, const pf::Image& background)
{
    pf::ApplyOptions options;
    options.definition =
        pf::Sampler(background).definition().unionWith(pf::Sampler(image).definition()).extent();
    options.extent = KernelResource::fullExtent(image.extent().united(background.extent()));
    return options;
}

pf::Image builtin(const QString& name, const QVariantMap& inputs)
{
    const pf::FilterPtr filter = pf::Filter::create(name);
    if (!filter)
        return pf::Image();
    filter->setDefaults();
    for (auto it = inputs.begin(); it != inputs.end(); ++it)
        filter->setValue(*it, it.key());
    return filter->outputImage();
}

pf::Image blurWithinExtent(const pf::Image& image, double sigma)
{
    return builtin(QStringLiteral("CIGaussianBlur"),
                   {{QStringLiteral("inputImage"), var(image.imageByClampingToExtent())},
                    {QStringLiteral("inputRadius"), sigma}})
        .imageByCroppingToRect(image.extent());
}

pf::Image blurOfPicture(const pf::Image& image, double sigma)
{
    return builtin(QStringLiteral("CIGaussianBlur"),
                   {{QStringLiteral("inputImage"), var(image)}, {QStringLiteral("inputRadius"), sigma}})
        .imageByCroppingToRect(image.extent());
}

pf::Image invertedBlurOfMask(const QString& blurName, const pf::Image& mask, double radius,
                             const pf::Rect& extent)
{
    const pf::Image blurred = builtin(
        blurName, {{QStringLiteral("inputImage"), var(mask)}, {QStringLiteral("inputRadius"), radius}});
    return builtin(QStringLiteral("CIColorInvert"), {{QStringLiteral("inputImage"), var(blurred)}})
        .imageByCroppingToRect(extent);
}

bool hasArea(const pf::Rect& rect)
{
    return !rect.isNull() && !rect.isInfinite() && std::isfinite(rect.width()) &&
           std::isfinite(rect.height()) && rect.width() > 0 && rect.height() > 0;
}

} // namespace FrameworkFilterSupport
