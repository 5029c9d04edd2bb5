#include "Classes/ToolObjects/OVBrushFramework/OVBrush.h"

#include "Platform/Foundation/ArchiveClassRegistry.h"
#include "Platform/Foundation/KeyedArchiver.h"
#include "Platform/Foundation/KeyedUnarchiver.h"

#include <mutex>

void OVBrush::registerArchiveClass()
{
    static std::once_flag once;
    std::call_once(once, [] {
        pf::ArchiveClassRegistry::registerClass<OVBrushPtr>(
            QStringLiteral("OVBrush"), {QStringLiteral("NSObject")},
            [](const OVBrushPtr& brush, pf::KeyedArchiver& archiver) {
                archiver.encodeInt32(QStringLiteral("type"), brush->type);
                archiver.encodeObject(QStringLiteral("allowedColor"), brush->allowedColor);
                archiver.encodeDouble(QStringLiteral("size"), brush->size);
                archiver.encodeDouble(QStringLiteral("smoothness"), brush->smoothness);
                archiver.encodeDouble(QStringLiteral("pressure"), brush->pressure);
                archiver.encodeDouble(QStringLiteral("tolerance"), brush->tolerance);
                archiver.encodeDouble(QStringLiteral("fadeTolerance"), brush->fadeTolerance);
                archiver.encodeDouble(QStringLiteral("coherenceTolerance"), brush->coherenceTolerance);
            },
            [](pf::KeyedUnarchiver& unarchiver) {
                auto brush = std::make_shared<OVBrush>();
                brush->type = unarchiver.decodeInt32(QStringLiteral("type"));
                brush->allowedColor = unarchiver.decodeObject(QStringLiteral("allowedColor"));
                brush->size = unarchiver.decodeDouble(QStringLiteral("size"));
                brush->smoothness = unarchiver.decodeDouble(QStringLiteral("smoothness"));
                brush->pressure = unarchiver.decodeDouble(QStringLiteral("pressure"));
                brush->tolerance = unarchiver.decodeDouble(QStringLiteral("tolerance"));
                brush->fadeTolerance = unarchiver.decodeDouble(QStringLiteral("fadeTolerance"));
                brush->coherenceTolerance = unarchiver.decodeDouble(QStringLiteral("coherenceTolerance"));
                return brush;
            });
    });
}
