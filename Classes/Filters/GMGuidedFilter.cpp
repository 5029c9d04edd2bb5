#include "Classes/Filters/GMGuidedFilter.h"

#include "Classes/Filters/FrameworkFilterSupport.h"
#include "Classes/Filters/MaskFilterSupport.h"
#include "Platform/Image/ResamplingStages.h"

#include <algorithm>
#include <cmath>

using namespace pf;
using FrameworkFilterSupport::applyOver;
using FrameworkFilterSupport::blurWithinExtent;
using FrameworkFilterSupport::var;

namespace {

std::vector<GMKernelFilter::Slot> guidedSlots(const std::vector<GMKernelFilter::Slot>& own)
{
    const QString resource = QStringLiteral("GMGuidedFilterKernel");
    std::vector<GMKernelFilter::Slot> wanted{{resource, 0}, {resource, 1}, {resource, 2}, {resource, 3}};
    wanted.insert(wanted.end(), own.begin(), own.end());
    return wanted;
}

} // namespace

GMGuidedFilter::GMGuidedFilter(const QString& className) : GMGuidedFilter(className, {}) {}

GMGuidedFilter::GMGuidedFilter(const QString& className, const std::vector<Slot>& ownSlots)
    : GMKernelFilter(className)
{
    loadKernels(guidedSlots(ownSlots));
    declareInput(QStringLiteral("inputImage"));
    declareInput(
        QStringLiteral("inputRadius"),
        MaskFilterSupport::numberAttributes({.min = 0, .sliderMin = 0, .sliderMax = 100, .defaultValue = 8}));
    declareInput(QStringLiteral("inputEpsilon"),
                 MaskFilterSupport::numberAttributes({.min = 0,
                                                      .sliderMin = 0,
                                                      .sliderMax = 0.05,
                                                      .defaultValue = 0.003,
                                                      .type = FilterAttribute::TypeScalar}));
}

int GMGuidedFilter::reductionForRadius(double radius)
{
    // A window of at least three reduced pixels keeps the fit smooth; beyond a reduction of 16 the
    // coefficients would miss features a face is made of.
    if (!(radius >= 6))
        return 1;
    return std::clamp(int(radius / 3), 1, 16);
}

GMGuidedFilter::Fit GMGuidedFilter::fit(const Image& image, double radius, double epsilon, const Image& mask,
                                        double least) const
{
    for (size_t i = 0; i < GuidedSlots; ++i) {
        if (kernelSlot(i).isNull())
            return {};
    }
    const int reduction = reductionForRadius(radius);
    const double k = 1.0 / reduction;
    const AffineTransform down = AffineTransform::scale(k, k);
    // Reduced by kernels of their own (a Gaussian prefilter, then every k-th pixel), cut to the
    // reduced extent: a reduction read as a transform is read from mipmaps, which only passes have, so
    // the photo and the mask would be uploaded for them on every render. The prefilter is as narrow as
    // an average over k pixels (0.29 k): the statistics are blurred far wider next, so nothing aliases,
    // and a wider one would carry the dark around a face into the fit of its edge.
    constexpr double BoxLikePrefilter = 0.3;
    const auto reduced = [&](const Image& full) {
        const Image scaled = full.imageByApplyingTransform(down);
        if (!FrameworkFilterSupport::hasArea(full.extent()))
            return scaled; // a colour everywhere reads the same at any scale
        return ResamplingStages::reduce(full, reduction, nullptr, BoxLikePrefilter)
            .imageByCroppingToRect(scaled.extent());
    };
    const Image small = reduction > 1 ? reduced(image) : image;
    const double sigma = radius / reduction;

    // The mask is reduced as it is (a layer's mask is pixels in memory, which a reduction reads where
    // they lie), and it and the photo are read once for both statistics.
    const Image weights = mask.isNull()   ? Image::constantColor(Color(1, 1, 1, 1))
                          : reduction > 1 ? reduced(mask)
                                          : mask;
    const double offMask = mask.isNull() ? 1.0 : std::clamp(least, 1e-6, 1.0);
    const Image samples = applyOver(kernelSlot(3), {var(small), var(weights), offMask}, small);
    const Image first = blurWithinExtent(applyOver(kernelSlot(0), {var(samples), 0.0}, small), sigma);
    const Image second = blurWithinExtent(applyOver(kernelSlot(0), {var(samples), 1.0}, small), sigma);
    const QVariantList means{var(first), var(second), std::max(1e-6, epsilon)};
    Fit coefficients{blurWithinExtent(applyOver(kernelSlot(1), means + QVariantList{0.0}, small), sigma),
                     blurWithinExtent(applyOver(kernelSlot(1), means + QVariantList{1.0}, small), sigma)};
    if (reduction > 1) {
        // The coefficients vary smoothly: read back with the edges repeated, they need no more pixels.
        const AffineTransform up = AffineTransform::scale(reduction, reduction);
        coefficients.a = coefficients.a.imageByClampingToExtent().imageByApplyingTransform(up);
        coefficients.b = coefficients.b.imageByClampingToExtent().imageByApplyingTransform(up);
    }
    return coefficients;
}

Image GMGuidedFilter::outputImage() const
{
    const Image image = imageValue(QStringLiteral("inputImage"));
    const double radius = numberValue(QStringLiteral("inputRadius"), 8);
    if (image.isNull() || !FrameworkFilterSupport::hasArea(image.extent()))
        return Image();
    if (!(radius > 0) || !std::isfinite(radius))
        return image;
    const Fit coefficients = fit(image, radius, numberValue(QStringLiteral("inputEpsilon"), 0.003));
    if (coefficients.a.isNull())
        return Image();
    return outputForFit(image, coefficients);
}

Image GMGuidedFilter::outputForFit(const Image& image, const Fit& coefficients) const
{
    return applyOver(kernelSlot(2), {var(image), var(coefficients.a), var(coefficients.b)}, image);
}
