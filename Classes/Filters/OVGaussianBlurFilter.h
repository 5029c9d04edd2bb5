#pragma once

#include "Classes/Framework/OVFilter.h"

// The engine's Gaussian blur with two ways to keep the result in bounds: with "forceInside" set (by key
// only) the image's edges are repeated outward before blurring and the result is cut to the image, so
// edges blur against themselves rather than against transparency; otherwise an unbounded result is cut
// to the image grown by three radii. Attributes and defaults are the inner blur's.
class OVGaussianBlurFilter : public OVFilter
{
public:
    explicit OVGaussianBlurFilter(const QString& className = QStringLiteral("OVGaussianBlurFilter"));
    static void registerClass();

    QVariantMap attributes() const override;
    // Resets the inner blur, not this filter's inputs.
    void setDefaults() override;

    // An unset radius is the inner blur's default.
    double radius() const;
    pf::Image outputImage() const override;

private:
    pf::FilterPtr m_blur;
};
