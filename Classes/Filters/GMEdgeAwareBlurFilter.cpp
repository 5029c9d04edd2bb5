#include "Classes/Filters/GMEdgeAwareBlurFilter.h"

#include "Classes/Framework/KernelResource.h"
#include "Platform/Image/Sampler.h"

#include <cmath>

using namespace pf;

GMEdgeAwareBlurFilter::GMEdgeAwareBlurFilter(const QString& className) : GMKernelFilter(className)
{
    // The general "1DGaussKernel" is loaded with the others; the fixed-reach kernels are applied.
    loadKernels({{QStringLiteral("1DGaussKernel"), 0},
                 {QStringLiteral("1DGaussRad5Kernel"), 0},
                 {QStringLiteral("1DGaussRad10Kernel"), 0},
                 {QStringLiteral("1DGaussRad13Kernel"), 0}});
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputEdgeImage"));
    declareInput(QStringLiteral("inputBlurRadius"), distanceAttributes(10.0, 13.0));
}

int GMEdgeAwareBlurFilter::reachForRadius(double radius)
{
    if (radius < 10)
        return 5;
    if (radius < 13)
        return 10;
    return 13;
}

double GMEdgeAwareBlurFilter::marginForRadius(double radius)
{
    const double twice = 2 * radius;
    const double reach = reachForRadius(radius);
    return std::isfinite(twice) && twice > reach ? twice : reach;
}

Image GMEdgeAwareBlurFilter::outputImage() const
{
    const double radius = numberValue(QStringLiteral("inputBlurRadius"));
    const int reach = reachForRadius(radius);
    const Kernel gauss = kernelSlot(reach == 5 ? 1 : reach == 10 ? 2 : 3);
    if (gauss.isNull())
        return Image();
    const Image image = imageValue(QStringLiteral("inputImage"));
    return edgeSteeredBlur(gauss, image, imageValue(QStringLiteral("inputEdgeImage")), radius,
                           KernelResource::fullExtent(image.extent()));
}

Image GMEdgeAwareBlurFilter::edgeSteeredBlur(const Kernel& gauss, const Image& image, const Image& edges,
                                             double radius, const Rect& extent)
{
    const double margin = marginForRadius(radius);
    const Sampler imageSampler(image);
    const Sampler edgeSampler(edges);
    ApplyOptions options;
    options.extent = extent;
    options.regionOfInterest = [margin](int, const Rect& destination) {
        return destination.insetBy(-margin, -margin);
    };
    options.definition = edgeSampler.definition().extent();
    const Image horizontal =
        gauss.apply({QVariant::fromValue(imageSampler), QVariant::fromValue(edgeSampler), 0}, options);
    options.definition = imageSampler.definition().extent();
    return gauss.apply({QVariant::fromValue(Sampler(horizontal)), QVariant::fromValue(edgeSampler), 1},
                       options);
}
