#pragma once

#include "Classes/Filters/GMKernelFilter.h"

// Blurs an image along its own edges: a Gaussian pre-blur ("inputGaussRadius"), Canny magnitude
// ("inputEdgeThreshold"), direction and suppression, "inputHysteresisIterations" passes of hysteresis
// ("inputHighThresholdH", "inputLowThresholdH"), then the two edge-steered Gauss passes of the
// edge-aware blur ("inputBlurRadius"). Every pass has the extent (0, 0, width, height) of the input.
class GMEdgePreservingBlurFilter : public GMKernelFilter
{
public:
    // Caps that keep a damaged document from asking for endless work: hysteresis passes grow edges
    // one pixel each, and the pre-blur's window grows with its radius.
    static constexpr int MaximumHysteresisPasses = 100;
    static constexpr double MaximumGaussRadius = 200;

    explicit GMEdgePreservingBlurFilter(
        const QString& className = QStringLiteral("GMEdgePreservingBlurFilter"));
    pf::Image outputImage() const override;

private:
    // A separable Gaussian blur of standard deviation `radius` (at most MaximumGaussRadius; none at 0),
    // transparent beyond the image and grown by its reach. It stands in for the built-in Gaussian blur,
    // which is to replace it.
    static pf::Image gaussianBlur(const pf::Kernel& pass, const pf::Image& image, double radius);
};
