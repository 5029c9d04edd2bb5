#include "Classes/Filters/GMBeardStubbleCompositing.h"

#include "Classes/Filters/MaskFilterSupport.h"
#include "Platform/Image/Sampler.h"

using namespace pf;

GMBeardStubbleCompositing::GMBeardStubbleCompositing(const QString& className) : OVFilter(className)
{
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputBackgroundImage"));
    // No default colour: setDefaults leaves it unset.
    declareInput(QStringLiteral("inputColor"));
    declareInput(
        QStringLiteral("inputIntensity"),
        MaskFilterSupport::numberAttributes({.min = 0, .sliderMin = 0, .sliderMax = 1, .defaultValue = 0.5}));
}

Image GMBeardStubbleCompositing::outputImage() const
{
    const Kernel k = kernel();
    if (k.isNull())
        return Image();
    const Image image = inputImage();
    ApplyOptions options;
    options.definition = image.definition().extent();
    options.setExtent(arrayForRect(image.extent()));
    const QString color = QStringLiteral("inputColor");
    const QString intensity = QStringLiteral("inputIntensity");
    // Missing values go to the kernel as they are: the apply then reports them and makes no image.
    return k.apply({QVariant::fromValue(Sampler(inputBackgroundImage())), QVariant::fromValue(Sampler(image)),
                    hasValue(color) ? QVariant::fromValue(colorValue(color)) : QVariant(),
                    hasValue(intensity) ? QVariant(numberValue(intensity)) : QVariant()},
                   options);
}
