#include "Classes/Filters/GMCannyEdgeDetectFilter.h"

#include "Classes/Framework/KernelResource.h"
#include "Platform/Image/Sampler.h"

using namespace pf;

namespace {

ApplyOptions reachingOnePixel(const Rect& definition, const Rect& extent)
{
    ApplyOptions options;
    options.definition = definition;
    options.extent = extent;
    options.regionOfInterest = [](int, const Rect& destination) { return destination.insetBy(-1, -1); };
    return options;
}

} // namespace

GMCannyEdgeDetectFilter::GMCannyEdgeDetectFilter(const QString& className) : GMKernelFilter(className)
{
    loadKernels(edgeKernelSlots());
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputEdgeThreshold"), distanceAttributes(0.008));
    declareInput(QStringLiteral("inputGaussRadius"), distanceAttributes(6, 100));
    declareInput(QStringLiteral("inputLowThresholdH"), distanceAttributes(0.03));
    declareInput(QStringLiteral("inputHighThresholdH"), distanceAttributes(0.05));
    declareInput(QStringLiteral("inputHysteresisIterations"), distanceAttributes(4, 10));
}

std::vector<GMKernelFilter::Slot> GMCannyEdgeDetectFilter::edgeKernelSlots()
{
    return {{QStringLiteral("nonMaxSupressionKernel"), 0},
            {QStringLiteral("magnitudeForCannyKernel"), 0},
            {QStringLiteral("angleForCannyKernel"), 0}};
}

Image GMCannyEdgeDetectFilter::outputImage() const
{
    const Kernel suppression = kernelSlot(0), magnitude = kernelSlot(1), angle = kernelSlot(2);
    if (suppression.isNull() || magnitude.isNull() || angle.isNull())
        return Image();
    const Image image = imageValue(QStringLiteral("inputImage"));
    return suppressedEdges(magnitude, angle, suppression, image,
                           numberArgument(QStringLiteral("inputEdgeThreshold")),
                           KernelResource::fullExtent(image.extent()));
}

Image GMCannyEdgeDetectFilter::suppressedEdges(const Kernel& magnitude, const Kernel& angle,
                                               const Kernel& suppression, const Image& source,
                                               const QVariant& threshold, const Rect& extent)
{
    const Sampler sampler(source);
    const ApplyOptions sourceOptions = reachingOnePixel(sampler.definition().extent(), extent);
    const Image magnitudes = magnitude.apply({QVariant::fromValue(sampler), threshold}, sourceOptions);
    const Image directions = angle.apply({QVariant::fromValue(sampler)}, sourceOptions);
    const Sampler magnitudeSampler(magnitudes);
    return suppression.apply(
        {QVariant::fromValue(magnitudeSampler), QVariant::fromValue(Sampler(directions))},
        reachingOnePixel(magnitudeSampler.definition().extent(), extent));
}
