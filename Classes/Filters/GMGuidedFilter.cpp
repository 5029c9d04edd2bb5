#include "Classes/Filters/GMGuidedFilter.h"

#include "Classes/Filters/FrameworkFilterSupport.h"
#include "Classes/Filters/MaskFilterSupport.h"

#include <algorithm>
#include <cmath>

using namespace pf;
using FrameworkFilterSupport::applyOver;
using FrameworkFilterSupport::var;

GMGuidedFilter::GMGuidedFilter(const QString& className) : GMKernelFilter(className)
{
    const QString resource = QStringLiteral("GMGuidedFilterKernel");
    loadKernels({{resource, 0}, {resource, 1}, {resource, 2}, {resource, 3}, {resource, 4}});
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

Image GMGuidedFilter::outputImage() const
{
    const Image image = imageValue(QStringLiteral("inputImage"));
    const double radius = numberValue(QStringLiteral("inputRadius"), 8);
    const double epsilon = std::max(1e-6, numberValue(QStringLiteral("inputEpsilon"), 0.003));
    if (image.isNull() || !FrameworkFilterSupport::hasArea(image.extent()))
        return Image();
    if (!(radius > 0) || !std::isfinite(radius))
        return image;
    for (size_t i = 0; i < 5; ++i) {
        if (kernelSlot(i).isNull())
            return Image();
    }

    const int reduction = reductionForRadius(radius);
    const double k = 1.0 / reduction;
    const Image small = reduction > 1 ? image.imageByApplyingTransform(AffineTransform::scale(k, k)) : image;
    const double sigma = radius / reduction;

    const Image products =
        FrameworkFilterSupport::blurWithinExtent(applyOver(kernelSlot(0), {var(small)}, small), sigma);
    const Image moments =
        FrameworkFilterSupport::blurWithinExtent(applyOver(kernelSlot(1), {var(small)}, small), sigma);
    const Image colour =
        FrameworkFilterSupport::blurWithinExtent(applyOver(kernelSlot(2), {var(small)}, small), sigma);
    const QVariantList statistics{var(colour), var(products), var(moments), epsilon};
    Image a = FrameworkFilterSupport::blurWithinExtent(
        applyOver(kernelSlot(3), statistics + QVariantList{0.0}, small), sigma);
    Image b = FrameworkFilterSupport::blurWithinExtent(
        applyOver(kernelSlot(3), statistics + QVariantList{1.0}, small), sigma);
    if (reduction > 1) {
        // The coefficients vary smoothly: read back with the edges repeated, they need no more pixels.
        const AffineTransform up = AffineTransform::scale(reduction, reduction);
        a = a.imageByClampingToExtent().imageByApplyingTransform(up);
        b = b.imageByClampingToExtent().imageByApplyingTransform(up);
    }
    return applyOver(kernelSlot(4), {var(image), var(a), var(b)}, image);
}
