#include "Classes/ToolObjects/OVBrushSegment.h"

#include "Classes/Framework/ImageORVExtension.h"
#include "Classes/ToolObjects/OVBrushFramework/ArchivedPoints.h"
#include "Platform/Foundation/ArchiveClassRegistry.h"
#include "Platform/Foundation/KeyedArchiver.h"
#include "Platform/Foundation/KeyedUnarchiver.h"

#include <mutex>

using namespace pf;

namespace {

// Older documents stored no face sizes: every face counts this wide.
constexpr double ReplayFaceWidth = 500.0;
// Segments replayed between two renderings of the mask to pixels.
constexpr size_t SegmentsPerRendering = 8;

} // namespace

OVBrushSegment::OVBrushSegment(const GMBrushSegment& legacy, const Size& size)
    : brush(
          std::make_shared<OVBrush>((legacy.brush ? *legacy.brush : GMBrush()).ovBrushWithSize(size.width))),
      points(legacy.points)
{}

void OVBrushSegment::processSegmentStart(const OVBrush& strokeBrush, const Point& point,
                                         OVContentContainerPtr canvas)
{
    m_canvas = std::move(canvas);
    // A copy first: `strokeBrush` may be this segment's own brush, which the assignment releases.
    auto kept = std::make_shared<OVBrush>(strokeBrush);
    brush = kept;
    m_brushHandler = std::make_unique<GMBrushHandler>();
    m_brushHandler->setBackgroundImage(m_renderInfo.backgroundImage());
    m_brushHandler->setStartMaskImage(m_canvas->imageContainer()->image());
    m_brushHandler->setStartAdditionalImage(m_canvas->additionalImageContainer()->image());
    m_brushHandler->brushDownAtPoint(*kept, point, ReplayFaceWidth);
}

void OVBrushSegment::brushUp()
{
    if (!m_brushHandler || !m_canvas)
        return;
    // The handler's mask during a stroke carries the stroke apart from the mask it started from; stored
    // as it is, it would not read as a mask. After brush-up the handler starts its next stroke from the
    // mask with this one merged in: that is what the canvas keeps.
    const Image additional = m_brushHandler->additionalImage();
    m_brushHandler->brushUp();
    m_canvas->imageContainer()->setImage(m_brushHandler->startMaskImage());
    m_canvas->additionalImageContainer()->setImage(additional);
    m_brushHandler.reset();
}

OVContentContainerPtr OVBrushSegment::renderOnCanvasContainer(OVContentContainerPtr container)
{
    // The replay needs a first point to put the brush down at; without one the mask stays as it came.
    if (points.empty() || !brush || !container)
        return container;
    processSegmentStart(*brush, points.front(), container);
    m_brushHandler->processPoints(points);
    brushUp();
    OVContentContainerPtr result = std::move(m_canvas);
    m_canvas.reset();
    return result;
}

OVContentContainerPtr OVBrushSegment::renderPath(const GMBrushPath& path, const Size& size,
                                                 const OVRenderInfo& renderInfo, OVContentContainerPtr start)
{
    OVContentContainerPtr canvas = std::move(start);
    size_t replayed = 0;
    for (const GMBrushSegmentPtr& legacy : path.pathSegments()) {
        if (!legacy)
            continue;
        OVBrushSegment segment(*legacy, size);
        segment.setRenderInfo(renderInfo);
        canvas = segment.renderOnCanvasContainer(canvas);
        if (++replayed % SegmentsPerRendering == 0) {
            const Image mask = ORVExtension::fixedImage(canvas->imageContainer()->image());
            if (!mask.isNull())
                canvas->imageContainer()->setImage(mask);
        }
    }
    return canvas;
}

void OVBrushSegment::registerArchiveClass()
{
    static std::once_flag once;
    std::call_once(once, [] {
        OVBrush::registerArchiveClass();
        ArchiveClassRegistry::registerClass<OVBrushSegmentPtr>(
            QStringLiteral("OVBrushSegment"), {QStringLiteral("NSObject")},
            [](const OVBrushSegmentPtr& segment, KeyedArchiver& archiver) {
                ArchivedPoints::encode(segment->points, archiver);
                archiver.encodeObject(QStringLiteral("brush"),
                                      segment->brush ? QVariant::fromValue(segment->brush) : QVariant());
            },
            [](KeyedUnarchiver& unarchiver) -> OVBrushSegmentPtr {
                auto segment = std::make_shared<OVBrushSegment>();
                segment->points = ArchivedPoints::decode(unarchiver);
                segment->brush = unarchiver.decodeObjectOfType<OVBrushPtr>(QStringLiteral("brush"));
                return unarchiver.hasFailed() ? nullptr : segment;
            });
    });
}
