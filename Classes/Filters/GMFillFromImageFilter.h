#pragma once

#include "Classes/Filters/GMKernelFilter.h"

// What the two fill filters share: "inputImage" and "inputMask" to the member's kernel, the output over
// the image's rectangle (origin truncated to whole pixels). The kernel may read any pixel of the image,
// whatever the destination, so the whole image is asked for; the mask only where the output is.
class GMFillFromImageFilter : public GMKernelFilter
{
public:
    pf::Image outputImage() const override;

protected:
    explicit GMFillFromImageFilter(const QString& className);
};
