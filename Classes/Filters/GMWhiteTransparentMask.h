#pragma once

#include "Classes/Framework/OVFilter.h"

// Makes the white of an image transparent by "inputIntensity" (0 changes nothing, 1 removes pure white).
// The image is read with its edge pixels repeated, so the border keeps its value; the output covers
// the image's own rectangle. Without an intensity there is no output: effects set it before they ask.
class GMWhiteTransparentMask : public OVFilter
{
public:
    explicit GMWhiteTransparentMask(const QString& className = QStringLiteral("GMWhiteTransparentMask"));
    static void registerClass();

    pf::Image outputImage() const override;
};
