#pragma once

#include "Classes/Filters/GMAdjustableBlendFilterBase.h"

// Colours the background through a soft light of the blend layer tinted with "inputColor". An
// "inputMode" above 0 selects the variant for dark hair, which takes the tint's colour even where the
// background is nearly black.
class GMAdjustableSoftlightColoringBlendFilter : public GMAdjustableBlendFilterBase
{
public:
    explicit GMAdjustableSoftlightColoringBlendFilter(
        const QString& className = QStringLiteral("GMAdjustableSoftlightColoringBlendFilter"));
    pf::Image outputImage() const override;
};
