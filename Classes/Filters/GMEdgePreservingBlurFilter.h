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
    // The pre-blur and its crop: the engine's "CIGaussianBlur" (radius capped at MaximumGaussRadius; none
    // at 0) and "CICrop".
    static pf::Image gaussianBlur(const pf::Image& image, double radius);
    static pf::Image cropped(const pf::Image& image, const pf::Rect& rect);
};
