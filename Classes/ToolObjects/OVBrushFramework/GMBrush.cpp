#include "Classes/ToolObjects/OVBrushFramework/GMBrush.h"

#include "Classes/ToolObjects/OVBrushFramework/BrushArchiveFields.h"
#include "Platform/Foundation/ArchiveClassRegistry.h"

#include <mutex>

OVBrush GMBrush::ovBrushWithSize(double width) const
{
    OVBrush brush;
    brush.type = type;
    brush.size = size * width;
    brush.smoothness = smoothness;
    brush.pressure = pressure;
    brush.allowedColor = allowedColor;
    brush.tolerance = tolerance;
    brush.fadeTolerance = fadeTolerance;
    brush.coherenceTolerance = coherenceTolerance;
    return brush;
}

void GMBrush::registerArchiveClass()
{
    static std::once_flag once;
    std::call_once(once, [] {
        pf::ArchiveClassRegistry::registerClass<GMBrushPtr>(
            QStringLiteral("GMBrush"), {QStringLiteral("NSObject")},
            [](const GMBrushPtr& brush, pf::KeyedArchiver& archiver) {
                BrushArchiveFields::encode(*brush, archiver);
            },
            [](pf::KeyedUnarchiver& unarchiver) {
                auto brush = std::make_shared<GMBrush>();
                BrushArchiveFields::decode(*brush, unarchiver);
                return brush;
            });
    });
}
