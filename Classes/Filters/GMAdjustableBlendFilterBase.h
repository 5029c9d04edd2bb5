#pragma once

#include "Classes/Filters/GMKernelFilter.h"

// What the twenty adjustable blend filters share: a blend layer ("inputImage") laid onto a background
// ("inputBackgroundImage") by the mode of the member's kernel, weighted by "inputIntensity" (0 gives
// the background, 1 the full blend). The output is defined where the background is; its extent comes
// from the blend layer, at its own place or moved to the origin depending on the member.
class GMAdjustableBlendFilterBase : public GMKernelFilter
{
public:
    enum class ApplyExtent
    {
        Full,      // the blend layer's rectangle, origin truncated to whole numbers
        OriginZero // the blend layer's size at (0, 0)
    };

    pf::Image outputImage() const override;

protected:
    // `kernelSlots` empty: the member's default resource "<class name>Kernel".
    GMAdjustableBlendFilterBase(const QString& className, ApplyExtent extent, double defaultIntensity = 1.0,
                                const std::vector<Slot>& kernelSlots = {});

    // Applies `kernel` to (blend layer, background, intensity, extra arguments...). No image when the
    // kernel is missing or either image input was never set; an intensity never set counts as the
    // member's default.
    pf::Image applyBlend(const pf::Kernel& kernel, const QVariantList& extraArguments = {}) const;

private:
    ApplyExtent m_extent;
    double m_defaultIntensity;
};
