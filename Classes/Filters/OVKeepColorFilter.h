#pragma once

#include "Classes/Framework/OVFilter.h"

// Keeps the colours near one hue and turns the rest to grey. "inputIntensity" is the width of the kept
// band: 0 keeps only the hue itself, 1 fades out towards the opposite hue.
class OVKeepColorFilter : public OVFilter
{
public:
    explicit OVKeepColorFilter(const QString& className = QStringLiteral("OVKeepColorFilter"));

    pf::Image outputImage() const override;
};
