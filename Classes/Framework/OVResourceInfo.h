#pragma once

#include <QString>
#include <limits>
#include <optional>

// The parts of a resource file name "TYPE#NNN#NAME#OPTIONS": a five-character type code, a three-digit
// index, the name and the options. A plain value.
class OVResourceInfo
{
public:
    // The index of a name that has none.
    static constexpr quint64 NotFound = std::numeric_limits<qint64>::max();

    const std::optional<QString>& type() const { return m_type; }
    void setType(std::optional<QString> type) { m_type = std::move(type); }
    quint64 index() const { return m_index; }
    void setIndex(quint64 index) { m_index = index; }
    const QString& name() const { return m_name; }
    void setName(QString name) { m_name = std::move(name); }
    const std::optional<QString>& options() const { return m_options; }
    void setOptions(std::optional<QString> options) { m_options = std::move(options); }

    bool operator==(const OVResourceInfo&) const = default;

private:
    std::optional<QString> m_type;
    quint64 m_index = NotFound;
    QString m_name;
    std::optional<QString> m_options;
};
