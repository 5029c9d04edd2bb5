#include "Classes/ToolObjects/OVBrushFramework/OVBrush.h"

#include "Classes/ToolObjects/OVBrushFramework/BrushArchiveFields.h"
#include "Platform/Foundation/ArchiveClassRegistry.h"

#include <mutex>

void OVBrush::registerArchiveClass()
{
    static std::once_flag once;
    std::call_once(once, [] {
        pf::ArchiveClassRegistry::registerClass<OVBrushPtr>(
            QStringLiteral("OVBrush"), {QStringLiteral("NSObject")},
            [](const OVBrushPtr& brush, pf::KeyedArchiver& archiver) {
                BrushArchiveFields::encode(*brush, archiver);
            },
            [](pf::KeyedUnarchiver& unarchiver) {
                auto brush = std::make_shared<OVBrush>();
                BrushArchiveFields::decode(*brush, unarchiver);
                return brush;
            });
    });
}
