#pragma once

#include <QVariant>
#include <cmath>
#include <gtest/gtest.h>

// QVariant's operator== compares numbers across types; a round trip must also keep the type.
inline void expectSameValue(const QVariant& expected, const QVariant& actual,
                            const QString& path = QStringLiteral("/"))
{
    SCOPED_TRACE(path.toStdString());
    ASSERT_EQ(expected.metaType(), actual.metaType()) << expected.typeName() << " vs " << actual.typeName();
    if (expected.metaType().id() == QMetaType::QVariantList) {
        const QVariantList a = expected.toList(), b = actual.toList();
        ASSERT_EQ(a.size(), b.size());
        for (qsizetype i = 0; i < a.size(); ++i)
            expectSameValue(a[i], b[i], path + QString::number(i) + '/');
    } else if (expected.metaType().id() == QMetaType::QVariantMap) {
        const QVariantMap a = expected.toMap(), b = actual.toMap();
        ASSERT_EQ(a.keys(), b.keys());
        for (auto it = a.cbegin(); it != a.cend(); ++it)
            expectSameValue(it.value(), b.value(it.key()), path + it.key() + '/');
    } else if (expected.metaType().id() == QMetaType::Double && std::isnan(expected.toDouble())) {
        EXPECT_TRUE(std::isnan(actual.toDouble()));
    } else if (expected.metaType().id() == QMetaType::Double && expected.toDouble() == 0) {
        // Equal as numbers, but a zero's sign is part of the value.
        EXPECT_EQ(actual.toDouble(), 0.0);
        EXPECT_EQ(std::signbit(expected.toDouble()), std::signbit(actual.toDouble()));
    } else {
        EXPECT_EQ(expected, actual);
    }
}
