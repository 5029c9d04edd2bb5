#pragma once

#include "Classes/Framework/OVFilter.h"

// Applies a mask (its colour) to an image ("maskImage") or, without an image, to "inputColor" (opaque
// white when that is not set either: "maskColor"). Defined where the mask is.
class OVMaskImage : public OVFilter
{
public:
    explicit OVMaskImage(const QString& className = QStringLiteral("OVMaskImage"));
    static void registerClass();

    pf::Image outputImage() const override;
};
