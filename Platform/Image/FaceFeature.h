#pragma once

#include "Platform/Foundation/Point.h"
#include "Platform/Foundation/Rect.h"

#include <optional>

namespace pf {

// One face found in an image, in the image's coordinates (origin bottom left, y up). The bounds cover the
// whole face, forehead to chin. The left eye is the one on the left of the picture (the smaller x),
// whichever of the person's eyes that is.
struct FaceFeature
{
    Rect bounds;
    std::optional<Point> leftEye;
    std::optional<Point> rightEye;
    std::optional<Point> mouth;
};

} // namespace pf
