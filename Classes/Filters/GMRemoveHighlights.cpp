#include "Classes/Filters/GMRemoveHighlights.h"

#include "Classes/Framework/KernelResource.h"
#include "Platform/Image/Sampler.h"

using namespace pf;

GMRemoveHighlights::GMRemoveHighlights(const QString& className) : OVFilter(className)
{
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputBackgroundImage"));
    declareInput(QStringLiteral("inputIntensity"));
}

void GMRemoveHighlights::registerClass()
{
    const QString name = QStringLiteral("GMRemoveHighlights");
    OVFilter::registerInputKeys(name, {QStringLiteral("inputImage"), QStringLiteral("inputBackgroundImage"),
                                       QStringLiteral("inputIntensity")});
    Filter::registerFilter(name, [] { return std::make_shared<GMRemoveHighlights>(); });
}

Image GMRemoveHighlights::outputImage() const
{
    const Kernel k = kernel();
    const Image image = imageValue(QStringLiteral("inputImage"));
    const Image background = imageValue(QStringLiteral("inputBackgroundImage"));
    if (k.isNull() || image.isNull() || background.isNull())
        return Image();
    const Sampler top(image);
    const Sampler bottom(background);
    ApplyOptions options;
    options.definition = bottom.definition().unionWith(top.definition()).extent();
    options.extent = KernelResource::fullExtent(image.extent().united(background.extent()));
    // An intensity never set reads as 0, like every unset number of the framework's filters: the
    // image is laid over the background unchanged.
    return k.apply({QVariant::fromValue(top), QVariant::fromValue(bottom),
                    numberValue(QStringLiteral("inputIntensity"))},
                   options);
}
