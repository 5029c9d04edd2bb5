#pragma once

#include <QMetaType>
#include <QVariantMap>
#include <functional>
#include <memory>

// How a setting's number is turned into a filter input's number (a blueprint's conversion). Shared
// between copies of a wrapper; immutable.
class GMConverter
{
public:
    GMConverter() = default;
    explicit GMConverter(std::function<double(double)> function)
        : m_function(std::make_shared<const std::function<double(double)>>(std::move(function)))
    {}
    bool isNull() const { return !m_function; }
    double operator()(double x) const { return m_function ? (*m_function)(x) : x; }
    bool operator==(const GMConverter& other) const { return m_function == other.m_function; }

    // A conversion record as the tables keep it: {"converter": converter}.
    static QVariantMap record(const GMConverter& converter);
    static GMConverter fromRecord(const QVariant& record);
    // Whether a value is a number a converter applies to (booleans count, as property lists store them).
    static bool isNumber(const QVariant& value);

private:
    std::shared_ptr<const std::function<double(double)>> m_function;
};

Q_DECLARE_METATYPE(GMConverter)
