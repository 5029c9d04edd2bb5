#include "Classes/Filters/GMEdgePreservingBlurFilter.h"

#include "Platform/Image/Vector.h"

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
    Gauss13
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
                 {QStringLiteral("1DGaussRad13Kernel"), 0}});
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
    for (size_t slot = Suppression; slot <= Gauss13; ++slot) {
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
        cropped(gaussianBlur(image, numberValue(QStringLiteral("inputGaussRadius"))), image.extent());
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

Image GMEdgePreservingBlurFilter::gaussianBlur(const Image& image, double radius)
{
    if (!(radius > 0) || image.isNull())
        return image;
    FilterPtr blur = Filter::create(QStringLiteral("CIGaussianBlur"));
    if (!blur)
        return Image();
    blur->setValue(QVariant::fromValue(image), QStringLiteral("inputImage"));
    blur->setValue(std::min(radius, MaximumGaussRadius), QStringLiteral("inputRadius"));
    return blur->outputImage();
}

Image GMEdgePreservingBlurFilter::cropped(const Image& image, const Rect& rect)
{
    FilterPtr crop = Filter::create(QStringLiteral("CICrop"));
    if (!crop || image.isNull())
        return image.isNull() ? image : image.imageByCroppingToRect(rect);
    crop->setValue(QVariant::fromValue(image), QStringLiteral("inputImage"));
    crop->setValue(QVariant::fromValue(Vector::fromRect(rect)), QStringLiteral("inputRectangle"));
    return crop->outputImage();
}
