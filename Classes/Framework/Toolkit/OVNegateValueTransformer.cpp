#include "Classes/Framework/Toolkit/OVNegateValueTransformer.h"

QVariant OVNegateValueTransformer::transformedValue(const QVariant& value) const
{
    return QVariant(-value.toDouble());
}

QVariant OVNegateValueTransformer::reverseTransformedValue(const QVariant& value) const
{
    return transformedValue(value);
}
