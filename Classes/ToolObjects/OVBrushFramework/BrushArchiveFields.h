#pragma once

#include "Platform/Foundation/ArchiveClassRegistry.h"
#include "Platform/Foundation/KeyedArchiver.h"
#include "Platform/Foundation/KeyedUnarchiver.h"

#include <memory>
#include <mutex>

// The eight archived fields that the brush records of both the present and the older documents store
// under the same keys: "type", "allowedColor", "size", "smoothness", "pressure", "tolerance",
// "fadeTolerance" and "coherenceTolerance".
namespace BrushArchiveFields {

template <typename Brush> void encode(const Brush& brush, pf::KeyedArchiver& archiver)
{
    archiver.encodeInt32(QStringLiteral("type"), brush.type);
    archiver.encodeObject(QStringLiteral("allowedColor"), brush.allowedColor);
    archiver.encodeDouble(QStringLiteral("size"), brush.size);
    archiver.encodeDouble(QStringLiteral("smoothness"), brush.smoothness);
    archiver.encodeDouble(QStringLiteral("pressure"), brush.pressure);
    archiver.encodeDouble(QStringLiteral("tolerance"), brush.tolerance);
    archiver.encodeDouble(QStringLiteral("fadeTolerance"), brush.fadeTolerance);
    archiver.encodeDouble(QStringLiteral("coherenceTolerance"), brush.coherenceTolerance);
}

template <typename Brush> void decode(Brush& brush, pf::KeyedUnarchiver& unarchiver)
{
    brush.type = unarchiver.decodeInt32(QStringLiteral("type"));
    brush.allowedColor = unarchiver.decodeObject(QStringLiteral("allowedColor"));
    brush.size = unarchiver.decodeDouble(QStringLiteral("size"));
    brush.smoothness = unarchiver.decodeDouble(QStringLiteral("smoothness"));
    brush.pressure = unarchiver.decodeDouble(QStringLiteral("pressure"));
    brush.tolerance = unarchiver.decodeDouble(QStringLiteral("tolerance"));
    brush.fadeTolerance = unarchiver.decodeDouble(QStringLiteral("fadeTolerance"));
    brush.coherenceTolerance = unarchiver.decodeDouble(QStringLiteral("coherenceTolerance"));
}

// Registers the brush record `Brush`, held by shared pointer, for archiving by `className` with these
// fields, once however often it is asked.
template <typename Brush> void registerClass(const QString& className)
{
    static std::once_flag once;
    std::call_once(once, [&className] {
        pf::ArchiveClassRegistry::registerClass<std::shared_ptr<Brush>>(
            className, {QStringLiteral("NSObject")},
            [](const std::shared_ptr<Brush>& brush, pf::KeyedArchiver& archiver) {
                encode(*brush, archiver);
            },
            [](pf::KeyedUnarchiver& unarchiver) {
                auto brush = std::make_shared<Brush>();
                decode(*brush, unarchiver);
                return brush;
            });
    });
}

} // namespace BrushArchiveFields
