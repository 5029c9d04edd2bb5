#pragma once

#include "Classes/Framework/OVFilter.h"

// Smooths an image with a 3 x 3 binomial kernel; edge pixels repeat outward. The output covers the
// image's rectangle.
class OVSmoother : public OVFilter
{
public:
    explicit OVSmoother(const QString& className = QStringLiteral("OVSmoother"));
    static void registerClass();

    pf::Image outputImage() const override;
};
