#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace fuzz {

// Stops the run as a crash, so libFuzzer keeps the input.
[[noreturn]] inline void failure(const char* what)
{
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

// The fuzzer's input over the same bytes, without a copy.
inline QByteArray input(const uint8_t* data, size_t size)
{
    return QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
}

// Whether a reader or writer gave nothing; one that does must say why in `error`, else the run stops as
// `silentFailure`.
template <typename Result>
bool failed(const Result& result, const QString& error,
            const char* silentFailure = "a refusal without a message")
{
    if (result)
        return false;
    if (error.isEmpty())
        failure(silentFailure);
    return true;
}

// Same type and value, recursively (QVariant's operator== compares numbers across types).
inline bool sameValue(const QVariant& a, const QVariant& b)
{
    if (a.metaType() != b.metaType())
        return false;
    switch (a.metaType().id()) {
    case QMetaType::QVariantList: {
        const QVariantList x = a.toList(), y = b.toList();
        if (x.size() != y.size())
            return false;
        for (qsizetype i = 0; i < x.size(); ++i)
            if (!sameValue(x[i], y[i]))
                return false;
        return true;
    }
    case QMetaType::QVariantMap: {
        const QVariantMap x = a.toMap(), y = b.toMap();
        if (x.keys() != y.keys())
            return false;
        for (auto it = x.cbegin(); it != x.cend(); ++it)
            if (!sameValue(it.value(), y.value(it.key())))
                return false;
        return true;
    }
    case QMetaType::Double:
        return (std::isnan(a.toDouble()) && std::isnan(b.toDouble())) || a.toDouble() == b.toDouble();
    default:
        return a == b;
    }
}

} // namespace fuzz
