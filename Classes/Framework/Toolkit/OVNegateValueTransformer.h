#pragma once

#include <QMetaType>
#include <QVariant>

// Turns a number into its negative, both ways, for binding a control to a setting that runs the other
// way. A missing value counts as 0 (giving -0).
class OVNegateValueTransformer
{
public:
    static QMetaType transformedValueClass() { return QMetaType::fromType<double>(); }
    static bool allowsReverseTransformation() { return true; }

    QVariant transformedValue(const QVariant& value) const;
    QVariant reverseTransformedValue(const QVariant& value) const;
};
