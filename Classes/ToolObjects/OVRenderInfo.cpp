#include "Classes/ToolObjects/OVRenderInfo.h"

void OVRenderInfo::setFeatures(Features features)
{
    m_features = features ? std::move(features) : std::make_shared<const std::vector<pf::FaceFeature>>();
}

double OVRenderInfo::faceWidthAtPoint(const pf::Point& point) const
{
    // Without area there is no mapping between this record's pixels and the photo's.
    if (!(m_rectSize.width > 0) || !(m_rectSize.height > 0) || !(m_rect.size.width > 0) ||
        !(m_rect.size.height > 0) || !(m_originalSize.width > 0))
        return 0;
    const pf::Point inPhoto(
        (point.x / m_rectSize.width * m_rect.size.width + m_rect.origin.x) * m_originalSize.width,
        (point.y / m_rectSize.height * m_rect.size.height + m_rect.origin.y) * m_originalSize.height);
    for (const pf::FaceFeature& face : *m_features)
        if (face.bounds.contains(inPhoto))
            return face.bounds.width() / m_originalSize.width * m_rectSize.width / m_rect.size.width;
    return 0;
}
