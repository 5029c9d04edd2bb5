#pragma once

#include "Classes/Filters/GMKernelFilter.h"

// The colour at a point of an image, spread over an output of the image's size at the origin.
// "inputPoint" is given in fractions of the image's width and height; the kernel receives it in pixels
// counted from the coordinate origin (the image's own origin is not added), and reads around that
// position for every output pixel. "inputRadius" is kept for the effects that set it and sizes the area
// asked for around the point.
class GMColorAtPointFilter : public GMKernelFilter
{
public:
    explicit GMColorAtPointFilter(const QString& className = QStringLiteral("GMColorAtPointFilter"));
    pf::Image outputImage() const override;
};
