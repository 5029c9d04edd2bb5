#pragma once

#include "Classes/Filters/GMKernelFilter.h"

// Thin edges of an image by the Canny method's first three steps: gradient magnitude (zero below
// "inputEdgeThreshold"), gradient direction and non-maximum suppression. The edge strength is carried
// in the colour channels. The Gaussian radius, hysteresis thresholds and iterations are accepted and
// kept but do not change the output (the edge-preserving blur uses them).
class GMCannyEdgeDetectFilter : public GMKernelFilter
{
public:
    explicit GMCannyEdgeDetectFilter(const QString& className = QStringLiteral("GMCannyEdgeDetectFilter"));
    pf::Image outputImage() const override;

    // The kernels suppressedEdges takes (suppression, magnitude, direction), in the first three slots
    // of both edge filters.
    static std::vector<Slot> edgeKernelSlots();
    // The three passes over `source`, each with the given apply extent: magnitude (with the threshold
    // argument) and direction over the source's domain, then suppression over the magnitude's. Every
    // pass reads the direct neighbours and says so in its region of interest.
    static pf::Image suppressedEdges(const pf::Kernel& magnitude, const pf::Kernel& angle,
                                     const pf::Kernel& suppression, const pf::Image& source,
                                     const QVariant& threshold, const pf::Rect& extent);
};
