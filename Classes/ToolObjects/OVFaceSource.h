#pragma once

#include "Platform/Image/FaceFeature.h"
#include "Platform/Image/Image.h"

#include <memory>
#include <vector>

// Where face information comes from: the system's face detector, or a stand-in that knows the faces.
class OVFaceSource
{
public:
    virtual ~OVFaceSource() = default;
    // The faces of the image's extent in the detector's order (largest first), in the image's
    // coordinates (origin bottom left, y up).
    virtual std::vector<pf::FaceFeature> faces(const pf::Image& image) = 0;

    // The system's face detector, made once and shared by every user (calls take turns).
    static std::shared_ptr<OVFaceSource> system();
};
