#pragma once

#include "Classes/Filters/GMKernelFilter.h"

// Blurs an image with two one-dimensional Gaussian passes (horizontal, then vertical) that stop at the
// edges of "inputEdgeImage" (edge strength 0..1 in the green channel; strength 1 blocks the blur). The
// reach follows "inputBlurRadius": 5 pixels below 10, 10 below 13, 13 from there on.
class GMEdgeAwareBlurFilter : public GMKernelFilter
{
public:
    explicit GMEdgeAwareBlurFilter(const QString& className = QStringLiteral("GMEdgeAwareBlurFilter"));
    pf::Image outputImage() const override;

    // The reach (5, 10 or 13 pixels) of the Gauss kernel chosen for a blur radius; a NaN radius counts
    // as large.
    static int reachForRadius(double radius);
    // The region-of-interest margin of the Gauss passes: twice the radius, and never less than the
    // kernel's reach, so that tiles see every pixel the kernel reads.
    static double marginForRadius(double radius);
    // The two edge-steered passes with one Gauss kernel: the first over the edge image's domain, the
    // second over the image's, both with the given apply extent.
    static pf::Image edgeSteeredBlur(const pf::Kernel& gauss, const pf::Image& image, const pf::Image& edges,
                                     double radius, const pf::Rect& extent);
};
