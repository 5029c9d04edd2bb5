#include "Classes/ToolObjects/GMConverter.h"

QVariantMap GMConverter::record(const GMConverter& converter)
{
    return {{QStringLiteral("converter"), QVariant::fromValue(converter)}};
}

GMConverter GMConverter::fromRecord(const QVariant& record)
{
    const QVariant converter = record.toMap().value(QStringLiteral("converter"));
    if (converter.metaType() == QMetaType::fromType<GMConverter>())
        return converter.value<GMConverter>();
    return GMConverter();
}

bool GMConverter::isNumber(const QVariant& value)
{
    switch (value.metaType().id()) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Bool:
        return true;
    default:
        return false;
    }
}
