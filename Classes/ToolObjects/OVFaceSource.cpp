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
    static const std::shared_ptr<OVFaceSource> source = std::make_shared<SystemFaces>();
    return source;
}
