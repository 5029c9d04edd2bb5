#pragma once

#include "Platform/Foundation/Point.h"
#include "Platform/Foundation/Rect.h"
#include "Platform/Image/Image.h"

#include <memory>
#include <optional>
#include <vector>

// One face in a photo, in the photo's pixel coordinates (origin bottom left, y up).
struct OVFaceFeature
{
    pf::Rect bounds;
    std::optional<pf::Point> leftEye;
    std::optional<pf::Point> rightEye;
    std::optional<pf::Point> mouth;
};

// Where face information comes from: the system's face detection, or a stand-in.
class OVFaceSource
{
public:
    virtual ~OVFaceSource() = default;
    // The faces of the image's extent, in the detector's order.
    virtual std::vector<OVFaceFeature> faces(const pf::Image& image) = 0;

    // The system's face detection, shared by every user (null where the system has none: no faces).
    static std::shared_ptr<OVFaceSource> system();
};
