#include "Classes/Filters/GMSkinSmoothingFilter.h"

#include "Classes/Filters/FrameworkFilterSupport.h"
#include "Classes/Filters/MaskFilterSupport.h"

#include <algorithm>
#include <cmath>

using namespace pf;
using FrameworkFilterSupport::var;
using MaskFilterSupport::numberAttributes;

GMSkinSmoothingFilter::GMSkinSmoothingFilter(const QString& className)
    : GMGuidedFilter(className, {{QStringLiteral("GMSkinSmoothingFilterKernel"), 0},
                                 {QStringLiteral("GMSkinSmoothingFilterKernel"), 1}})
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
    declareInput(QStringLiteral("inputDetailKept"), numberAttributes({.min = 0,
                                                                      .max = 1,
                                                                      .sliderMin = 0,
                                                                      .sliderMax = 1,
                                                                      .defaultValue = 1,
                                                                      .identity = 1,
                                                                      .type = FilterAttribute::TypeScalar}));
    for (const char* key : {"inputMinimumRadius", "inputMinimumDetailRadius"})
        declareInput(
            QString::fromLatin1(key),
            numberAttributes({.min = 0, .sliderMin = 0, .sliderMax = 10, .defaultValue = 0, .identity = 0}));
    declareInput(QStringLiteral("inputMaskImage"));
    for (const char* key : {"inputLightenOnly", "inputDarkenOnly"})
        declareInput(QString::fromLatin1(key), {{FilterAttribute::Default, false},
                                                {FilterAttribute::Type, FilterAttribute::TypeBoolean}});
}

Image GMSkinSmoothingFilter::outputImage() const
{
    const Image image = imageValue(QStringLiteral("inputImage"));
    double radius = numberValue(QStringLiteral("inputRadius"), 8);
    if (image.isNull() || !FrameworkFilterSupport::hasArea(image.extent()))
        return Image();
    if (!(radius > 0) || !std::isfinite(radius))
        return image;
    const double floor = numberValue(QStringLiteral("inputMinimumRadius"), 0);
    if (std::isfinite(floor))
        radius = std::max(radius, floor);
    // The base is fitted over the skin the mask marks (everything else counts for a fiftieth, so that a
    // window with no skin in it still has a fit): eyes, brows and hair beside the skin do not pull the
    // skin's base towards their tone, which would darken the skin along them once the band is taken out.
    const Fit coefficients = fit(image, radius, numberValue(QStringLiteral("inputEpsilon"), 0.003),
                                 imageValue(QStringLiteral("inputMaskImage")), 0.02);
    if (coefficients.a.isNull())
        return Image();
    return outputForFit(image, coefficients);
}

Image GMSkinSmoothingFilter::outputForFit(const Image& image, const Fit& coefficients) const
{
    if (kernelSlot(GuidedSlots).isNull())
        return Image();
    // Below about half a pixel there is no finer detail to keep apart.
    const double floor = numberValue(QStringLiteral("inputMinimumDetailRadius"), 0);
    const double detail = std::max(
        {0.5, numberValue(QStringLiteral("inputDetailRadius"), 1.5), std::isfinite(floor) ? floor : 0.0});
    const Image fine = FrameworkFilterSupport::blurOfPicture(image, detail);
    // The kernel reads the fine image a pixel around each pixel.
    const bool oneWay =
        boolValue(QStringLiteral("inputLightenOnly")) || boolValue(QStringLiteral("inputDarkenOnly"));
    const bool keepsTone = !oneWay && !kernelSlot(GuidedSlots + 1).isNull();
    // Where no mask says where the skin is, all of the picture counts towards its tone.
    const Image mask = imageValue(QStringLiteral("inputMaskImage"));
    const Image skin = mask.isNull() ? Image::constantColor(Color(1, 1, 1, 1)) : mask;
    // Keeping the tone, the kernel gives what it took out and how far it smoothed, both weighted by how
    // far each pixel lies in the skin; else the smoothed picture.
    const Image smoothed = FrameworkFilterSupport::applyOver(
        kernelSlot(GuidedSlots),
        {var(image), var(fine), var(coefficients.a), var(coefficients.b), var(skin), detail,
         std::max(1e-6, numberValue(QStringLiteral("inputEdgeContrast"), 0.1)),
         std::max(1e-6, numberValue(QStringLiteral("inputContrast"), 0.05)),
         boolValue(QStringLiteral("inputLightenOnly")) ? 1.0 : 0.0,
         boolValue(QStringLiteral("inputDarkenOnly")) ? 1.0 : 0.0,
         std::clamp(numberValue(QStringLiteral("inputDetailKept"), 1), 0.0, 1.0), keepsTone ? 1.0 : 0.0},
        image, [](int, const Rect& destination) { return destination.insetBy(-1, -1); });
    // Lightening only the shadows or darkening only the highlights changes the tone on purpose; evening
    // out the texture should not: the slow part of what was taken out (over most of the window, over the
    // smoothed skin only) goes back, as far as each pixel was smoothed.
    if (!keepsTone || smoothed.isNull())
        return smoothed;
    const double least = numberValue(QStringLiteral("inputMinimumRadius"), 0);
    const double radius =
        std::max(numberValue(QStringLiteral("inputRadius"), 8), std::isfinite(least) ? least : 0.0);
    const double slow = std::max(1.0, 0.75 * radius);
    return FrameworkFilterSupport::applyOver(
        kernelSlot(GuidedSlots + 1),
        {var(image), var(skin), var(smoothed), var(FrameworkFilterSupport::blurOfPicture(smoothed, slow))},
        image);
}
