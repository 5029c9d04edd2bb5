#include "Classes/ToolObjects/OVFaceSource.h"

#include "Platform/Image/FaceDetector.h"

namespace {

class SystemFaces : public OVFaceSource
{
public:
    std::vector<pf::FaceFeature> faces(const pf::Image& image) override { return m_detector.features(image); }

private:
    pf::FaceDetector m_detector;
};

} // namespace

std::shared_ptr<OVFaceSource> OVFaceSource::system()
{
    // Never destroyed: a photo's faces are found on worker threads, which may still run while the
    // program exits.
    static const auto* source = new std::shared_ptr<OVFaceSource>(std::make_shared<SystemFaces>());
    return *source;
}
