#pragma once

#include "Classes/Framework/OVFilter.h"

// Replaces an image by an original where a mask (its colour) says so, blending by the mask's value.
// Defined where the image is.
class OVMaskReplace : public OVFilter
{
public:
    explicit OVMaskReplace(const QString& className = QStringLiteral("OVMaskReplace"));
    static void registerClass();

    pf::Image outputImage() const override;
};
