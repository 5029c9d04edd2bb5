#include "Classes/ToolObjects/OVBrushFramework/GMBrushSegment.h"

#include "Classes/ToolObjects/OVBrushFramework/ArchivedPoints.h"
#include "Platform/Foundation/ArchiveClassRegistry.h"
#include "Platform/Foundation/KeyedArchiver.h"
#include "Platform/Foundation/KeyedUnarchiver.h"

#include <mutex>

GMBrushSegment::GMBrushSegment() : brush(std::make_shared<GMBrush>()) {}

GMBrushSegment::GMBrushSegment(GMBrushPtr brush) : brush(std::move(brush)) {}

void GMBrushSegment::registerArchiveClass()
{
    static std::once_flag once;
    std::call_once(once, [] {
        pf::ArchiveClassRegistry::registerClass<GMBrushSegmentPtr>(
            QStringLiteral("GMBrushSegment"), {QStringLiteral("NSObject")},
            [](const GMBrushSegmentPtr& segment, pf::KeyedArchiver& archiver) {
                ArchivedPoints::encode(segment->points, archiver);
                archiver.encodeObject(QStringLiteral("brush"),
                                      segment->brush ? QVariant::fromValue(segment->brush) : QVariant());
            },
            [](pf::KeyedUnarchiver& unarchiver) -> GMBrushSegmentPtr {
                auto segment = std::make_shared<GMBrushSegment>(nullptr);
                segment->points = ArchivedPoints::decode(unarchiver);
                segment->brush = unarchiver.decodeObjectOfType<GMBrushPtr>(QStringLiteral("brush"));
                return unarchiver.hasFailed() ? nullptr : segment;
            });
    });
}
