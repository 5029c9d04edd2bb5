#pragma once

#include <QDateTime>
#include <cmath>
#include <optional>

namespace pf {

// Property lists and keyed archives store a date as seconds (a double) since 2001-01-01 00:00:00 UTC.
// Both directions keep milliseconds, and refuse values more than about three million years from 2001:
// far beyond any real date, and a bound that keeps every conversion exact and defined.
namespace referencedate {

inline constexpr qint64 msFrom1970 = 978307200000LL;
inline constexpr double maxSeconds = 1e14;

inline std::optional<QDateTime> fromSeconds(double seconds)
{
    if (!std::isfinite(seconds) || std::fabs(seconds) > maxSeconds)
        return std::nullopt;
    return QDateTime::fromMSecsSinceEpoch(std::llround(seconds * 1000.0) + msFrom1970, Qt::UTC);
}

inline std::optional<double> toSeconds(const QDateTime& date)
{
    if (!date.isValid())
        return std::nullopt;
    const double seconds = double(date.toMSecsSinceEpoch() - msFrom1970) / 1000.0;
    if (std::fabs(seconds) > maxSeconds)
        return std::nullopt;
    return seconds;
}

} // namespace referencedate
} // namespace pf
