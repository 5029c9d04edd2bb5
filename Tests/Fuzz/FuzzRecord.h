#pragma once

// A registered class for the unarchiver fuzzer: its decoder uses every decoding call.
#include "Platform/Foundation/ArchiveClassRegistry.h"
#include "Platform/Foundation/KeyedArchiver.h"
#include "Platform/Foundation/KeyedUnarchiver.h"

#include <memory>

struct FuzzRecord
{
    QString name;
    double scale = 0;
    qint32 count = 0;
    qint64 seed = 0;
    bool enabled = false;
    QVariant payload;
    std::shared_ptr<FuzzRecord> child;
};

Q_DECLARE_METATYPE(std::shared_ptr<FuzzRecord>)

inline void registerFuzzRecord()
{
    using Ptr = std::shared_ptr<FuzzRecord>;
    pf::ArchiveClassRegistry::registerClass<Ptr>(
        "FuzzRecord", {"NSObject"},
        [](const Ptr& record, pf::KeyedArchiver& archiver) {
            archiver.encodeObject("name", record->name);
            archiver.encodeDouble("scale", record->scale);
            archiver.encodeInt32("count", record->count);
            archiver.encodeInt64("seed", record->seed);
            archiver.encodeBool("enabled", record->enabled);
            archiver.encodeObject("payload", record->payload);
            archiver.encodeObject("child", QVariant::fromValue(record->child));
        },
        [](pf::KeyedUnarchiver& unarchiver) {
            auto record = std::make_shared<FuzzRecord>();
            record->name = unarchiver.decodeObjectOfType<QString>("name");
            record->scale = unarchiver.decodeDouble("scale");
            record->count = unarchiver.decodeInt32("count");
            record->seed = unarchiver.decodeInt64("seed");
            record->enabled = unarchiver.decodeBool("enabled");
            record->payload = unarchiver.decodeObject("payload");
            if (unarchiver.containsValueForKey("child"))
                record->child = unarchiver.decodeObjectOfType<Ptr>("child");
            return record;
        });
}
