#include "Classes/ToolObjects/OVBrushFramework/GMBrushPath.h"

#include "Platform/Foundation/ArchiveClassRegistry.h"
#include "Platform/Foundation/KeyedArchiver.h"
#include "Platform/Foundation/KeyedUnarchiver.h"

#include <QVariantList>
#include <cmath>
#include <mutex>

using pf::Point;

namespace {

constexpr double ThinningThreshold = 5e-05;

} // namespace

GMBrushSegmentPtr GMBrushPath::lastSegment() const
{
    return m_pathSegments.empty() ? nullptr : m_pathSegments.back();
}

void GMBrushPath::addSegmentWithBrush(GMBrushPtr brush)
{
    m_pathSegments.push_back(std::make_shared<GMBrushSegment>(std::move(brush)));
}

void GMBrushPath::addPointsToLastSegment(const std::vector<Point>& points)
{
    if (const GMBrushSegmentPtr segment = lastSegment())
        segment->points.insert(segment->points.end(), points.begin(), points.end());
}

void GMBrushPath::addPointToLastSegment(const Point& point)
{
    const GMBrushSegmentPtr segment = lastSegment();
    if (!segment)
        return;
    std::vector<Point>& points = segment->points;
    const Point last = points.empty() ? Point(0, 0) : points.back();
    if (distanceFromA(point, last) <= ThinningThreshold)
        return;
    if (points.size() > 2 &&
        distancePoint(points.back(), points[points.size() - 2], point) < ThinningThreshold)
        points.pop_back();
    points.push_back(point);
}

double GMBrushPath::distanceFromA(const Point& a, const Point& b)
{
    return std::hypot(b.x - a.x, b.y - a.y);
}

double GMBrushPath::distancePoint(const Point& p, const Point& a, const Point& b)
{
    const double length = distanceFromA(a, b);
    if (length == 0)
        return 0;
    const double u = ((p.x - a.x) * (b.x - a.x) + (p.y - a.y) * (b.y - a.y)) / (length * length);
    return distanceFromA(p, Point(a.x + u * (b.x - a.x), a.y + u * (b.y - a.y)));
}

void GMBrushPath::registerArchiveClass()
{
    static std::once_flag once;
    std::call_once(once, [] {
        GMBrush::registerArchiveClass();
        GMBrushSegment::registerArchiveClass();
        pf::ArchiveClassRegistry::registerClass<GMBrushPathPtr>(
            QStringLiteral("GMBrushPath"), {QStringLiteral("NSObject")},
            [](const GMBrushPathPtr& path, pf::KeyedArchiver& archiver) {
                QVariantList segments;
                for (const GMBrushSegmentPtr& segment : path->pathSegments())
                    segments.append(QVariant::fromValue(segment));
                archiver.encodeObject(QStringLiteral("pathSegments"), segments);
            },
            [](pf::KeyedUnarchiver& unarchiver) -> GMBrushPathPtr {
                auto path = std::make_shared<GMBrushPath>();
                const QVariantList segments =
                    unarchiver.decodeObjectOfType<QVariantList>(QStringLiteral("pathSegments"));
                std::vector<GMBrushSegmentPtr> list;
                for (const QVariant& value : segments) {
                    if (value.metaType() != QMetaType::fromType<GMBrushSegmentPtr>()) {
                        unarchiver.failWithError(
                            QStringLiteral("GMBrushPath: an entry of \"pathSegments\" is not a segment"));
                        return nullptr;
                    }
                    list.push_back(value.value<GMBrushSegmentPtr>());
                }
                path->setPathSegments(std::move(list));
                return unarchiver.hasFailed() ? nullptr : path;
            });
    });
}
