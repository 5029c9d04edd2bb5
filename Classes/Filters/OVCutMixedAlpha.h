#pragma once

#include "Classes/Framework/OVFilter.h"

// Splits an image by alpha: with "inputThreshold" at 0 or above, pixels more opaque than the threshold
// become opaque and the others transparent ("cutAlphaMixed"); a negative threshold instead keeps the
// positive part of a signed image ("posNeg"). Without a threshold there is no output.
class OVCutMixedAlpha : public OVFilter
{
public:
    explicit OVCutMixedAlpha(const QString& className = QStringLiteral("OVCutMixedAlpha"));
    static void registerClass();

    pf::Image outputImage() const override;
};
