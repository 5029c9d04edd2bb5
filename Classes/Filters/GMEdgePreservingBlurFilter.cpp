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

enum EdgeSlot : size_t
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

} // namespace

GMEdgePreservingBlurFilter::GMEdgePreservingBlurFilter(const QString& className) : GMKernelFilter(className)
{
    std::vector<Slot> wanted = GMCannyEdgeDetectFilter::edgeKernelSlots();
    wanted.insert(wanted.end(), {{QStringLiteral("hysteresisKernel"), 0},
                                 {QStringLiteral("1DGaussKernel"), 0},
                                 {QStringLiteral("1DGaussRad5Kernel"), 0},
                                 {QStringLiteral("1DGaussRad10Kernel"), 0},
                                 {QStringLiteral("1DGaussRad13Kernel"), 0}});
    loadKernels(wanted);
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputGaussRadius"), distanceAttributes(6, 100));
    declareInput(QStringLiteral("inputEdgeThreshold"), distanceAttributes(0.008));
    declareInput(QStringLiteral("inputLowThresholdH"), distanceAttributes(0.03));
    declareInput(QStringLiteral("inputHighThresholdH"), distanceAttributes(0.05));
    declareInput(QStringLiteral("inputHysteresisIterations"), distanceAttributes(4, 10));
    declareInput(QStringLiteral("inputBlurRadius"), distanceAttributes(10, 13));
}

Image GMEdgePreservingBlurFilter::outputImage() const
{
    for (size_t slot = Suppression; slot <= Gauss13; ++slot) {
        if (slot != GeneralGauss && kernelSlot(slot).isNull())
            return Image();
    }
    auto number = [this](const char* key) { return numberArgument(QString::fromLatin1(key)); };
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
