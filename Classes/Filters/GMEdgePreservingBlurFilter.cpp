#include "Classes/Filters/GMEdgePreservingBlurFilter.h"

#include "Classes/Filters/GMCannyEdgeDetectFilter.h"
#include "Classes/Filters/GMEdgeAwareBlurFilter.h"
#include "Classes/Framework/KernelResource.h"
#include "Platform/Image/Sampler.h"

#include <algorithm>
#include <cmath>

using namespace pf;

namespace {

enum Slot : size_t
{
    Suppression,
    Magnitude,
    Angle,
    Hysteresis,
    GeneralGauss,
    Gauss5,
    Gauss10,
    Gauss13,
    GaussianPass
};

QVariantMap distance(double sliderMax, double defaultValue)
{
    return {{FilterAttribute::Min, 0.0},
            {FilterAttribute::SliderMin, 0.0},
            {FilterAttribute::SliderMax, sliderMax},
            {FilterAttribute::Default, defaultValue},
            {FilterAttribute::Type, FilterAttribute::TypeDistance}};
}

} // namespace

GMEdgePreservingBlurFilter::GMEdgePreservingBlurFilter(const QString& className) : GMKernelFilter(className)
{
    loadKernels({{QStringLiteral("nonMaxSupressionKernel"), 0},
                 {QStringLiteral("magnitudeForCannyKernel"), 0},
                 {QStringLiteral("angleForCannyKernel"), 0},
                 {QStringLiteral("hysteresisKernel"), 0},
                 {QStringLiteral("1DGaussKernel"), 0},
                 {QStringLiteral("1DGaussRad5Kernel"), 0},
                 {QStringLiteral("1DGaussRad10Kernel"), 0},
                 {QStringLiteral("1DGaussRad13Kernel"), 0},
                 {QStringLiteral("GMGaussianPassKernel"), 0}});
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputGaussRadius"), distance(100, 6));
    declareInput(QStringLiteral("inputEdgeThreshold"), distance(1, 0.008));
    declareInput(QStringLiteral("inputLowThresholdH"), distance(1, 0.03));
    declareInput(QStringLiteral("inputHighThresholdH"), distance(1, 0.05));
    declareInput(QStringLiteral("inputHysteresisIterations"), distance(10, 4));
    declareInput(QStringLiteral("inputBlurRadius"), distance(13, 10));
}

Image GMEdgePreservingBlurFilter::outputImage() const
{
    for (size_t slot = Suppression; slot <= GaussianPass; ++slot) {
        if (slot != GeneralGauss && kernelSlot(slot).isNull())
            return Image();
    }
    auto number = [this](const char* key) {
        const QString k = QString::fromLatin1(key);
        return hasValue(k) ? QVariant(numberValue(k)) : QVariant();
    };
    const Image image = imageValue(QStringLiteral("inputImage"));
    const Rect extent = KernelResource::originZeroExtent(image.extent());

    const Image source =
        gaussianBlur(kernelSlot(GaussianPass), image, numberValue(QStringLiteral("inputGaussRadius")))
            .imageByCroppingToRect(image.extent());
    Image edges = GMCannyEdgeDetectFilter::suppressedEdges(kernelSlot(Magnitude), kernelSlot(Angle),
                                                           kernelSlot(Suppression), source,
                                                           number("inputEdgeThreshold"), extent);

    const int passes =
        std::clamp(intValue(QStringLiteral("inputHysteresisIterations")), 0, MaximumHysteresisPasses);
    const QVariant high = number("inputHighThresholdH");
    const QVariant low = number("inputLowThresholdH");
    for (int pass = 0; pass < passes; ++pass) {
        const Sampler sampler(edges);
        ApplyOptions options;
        options.definition = sampler.definition().extent();
        options.extent = extent;
        options.regionOfInterest = [](int, const Rect& destination) { return destination.insetBy(-1, -1); };
        edges = kernelSlot(Hysteresis).apply({QVariant::fromValue(sampler), high, low}, options);
    }

    const double radius = numberValue(QStringLiteral("inputBlurRadius"));
    const int reach = GMEdgeAwareBlurFilter::reachForRadius(radius);
    const Kernel gauss = kernelSlot(reach == 5 ? Gauss5 : reach == 10 ? Gauss10 : Gauss13);
    return GMEdgeAwareBlurFilter::edgeSteeredBlur(gauss, image, edges, radius, extent);
}

Image GMEdgePreservingBlurFilter::gaussianBlur(const Kernel& pass, const Image& image, double radius)
{
    if (!(radius > 0))
        return image;
    const double sigma = std::min(radius, MaximumGaussRadius);
    // One pixel more than the kernel's 3 sigma, against rounding between the two sides.
    const double reach = std::ceil(3 * sigma) + 1;
    Image blurred = image;
    for (int direction = 0; direction < 2; ++direction) {
        const double dx = direction == 0 ? reach : 0, dy = direction == 0 ? 0 : reach;
        ApplyOptions options;
        options.definition = blurred.definition().extent().insetBy(-dx, -dy);
        options.extent = blurred.extent().insetBy(-dx, -dy);
        options.regionOfInterest = [dx, dy](int, const Rect& destination) {
            return destination.insetBy(-dx, -dy);
        };
        blurred = pass.apply({QVariant::fromValue(blurred), sigma, direction}, options);
    }
    return blurred;
}
