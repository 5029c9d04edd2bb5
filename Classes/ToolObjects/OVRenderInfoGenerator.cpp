#include "Classes/ToolObjects/OVRenderInfoGenerator.h"

#include "Classes/Framework/ImageFunctions.h"
#include "Classes/Framework/OVGeometry.h"

#include <cmath>
#include <limits>

using namespace pf;

OVRenderInfoGenerator::OVRenderInfoGenerator() : OVRenderInfoGenerator(OVFaceSource::system()) {}

OVRenderInfoGenerator::OVRenderInfoGenerator(std::shared_ptr<OVFaceSource> faceSource)
    : m_faceSource(std::move(faceSource))
{
    m_state.features = std::make_shared<const std::vector<pf::FaceFeature>>();
}

void OVRenderInfoGenerator::setOriginalImage(const Image& image)
{
    auto features = std::make_shared<const std::vector<pf::FaceFeature>>(
        m_faceSource && !image.isNull() ? m_faceSource->faces(image) : std::vector<pf::FaceFeature>());
    std::lock_guard lock(m_mutex);
    m_state = {image, std::move(features)};
}

OVRenderInfoGenerator::State OVRenderInfoGenerator::state() const
{
    std::lock_guard lock(m_mutex);
    return m_state;
}

Image OVRenderInfoGenerator::originalImage() const
{
    return state().image;
}

OVRenderInfo::Features OVRenderInfoGenerator::features() const
{
    return state().features;
}

Size OVRenderInfoGenerator::originalSizeOf(const Image& image) const
{
    if (image.isNull())
        return Size();
    const Rect extent = image.extent();
    if (extent.isNull() || extent.isInfinite())
        return Size();
    return extent.size;
}

OVRenderInfo OVRenderInfoGenerator::renderInfoForRect(const Rect& rect, const Size& size) const
{
    const State current = state();
    OVRenderInfo info;
    info.setRect(rect);
    info.setRectSize(size);
    info.setOriginalSize(originalSizeOf(current.image));
    info.setFeatures(current.features);
    if (!current.image.isNull()) {
        const Image part = cropAndScaleImage(current.image, rect, size.width, size.height);
        info.setImage(part);
        info.setBackgroundImage(part);
    }
    return info;
}

Point OVRenderInfoGenerator::pointAt(const Point& point, const Rect& rect, const Size&) const
{
    const Size photo = originalSizeOf(originalImage());
    return Point((point.x * rect.size.width + rect.origin.x) * photo.width,
                 (point.y * rect.size.height + rect.origin.y) * photo.height);
}

double OVRenderInfoGenerator::normedFaceWidthAt(const Point& point) const
{
    const State current = state();
    const double photoWidth = originalSizeOf(current.image).width;
    if (!(photoWidth > 0))
        return 0;
    double best = std::numeric_limits<double>::infinity();
    double result = 0;
    for (const pf::FaceFeature& face : *current.features) {
        const double distance = OVRectDistanceToPoint(face.bounds, point);
        if (distance < best) {
            best = distance;
            result = face.bounds.width() / photoWidth;
        }
    }
    return result;
}
