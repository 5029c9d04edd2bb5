#include "Classes/ToolObjects/OVBrushFramework/ArchivedPoints.h"

#include "Platform/Foundation/KeyedArchiver.h"
#include "Platform/Foundation/KeyedUnarchiver.h"
#include "Platform/Foundation/NumberText.h"

#include <QStringList>
#include <cmath>
#include <optional>

namespace {

const QString CountKey = QStringLiteral("number of points");

QString pointText(const pf::Point& point)
{
    return QStringLiteral("{%1, %2}").arg(pf::formatShortest(point.x), pf::formatShortest(point.y));
}

std::optional<pf::Point> pointFromText(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (!trimmed.startsWith(QLatin1Char('{')) || !trimmed.endsWith(QLatin1Char('}')))
        return std::nullopt;
    const QStringList parts = trimmed.mid(1, trimmed.size() - 2).split(QLatin1Char(','));
    if (parts.size() != 2)
        return std::nullopt;
    const std::optional<double> x = pf::parseDouble(parts[0]), y = pf::parseDouble(parts[1]);
    if (!x || !y)
        return std::nullopt;
    return pf::Point(*x, *y);
}

} // namespace

namespace ArchivedPoints {

void encode(const std::vector<pf::Point>& points, pf::KeyedArchiver& archiver)
{
    archiver.encodeInt32(CountKey, qint32(points.size()));
    for (const pf::Point& point : points)
        archiver.encodeUnkeyedObject(pointText(point));
}

std::vector<pf::Point> decode(pf::KeyedUnarchiver& unarchiver)
{
    const qint32 count = unarchiver.decodeInt32(CountKey);
    std::vector<pf::Point> points;
    for (qint32 i = 0; i < count && !unarchiver.hasFailed(); ++i) {
        const QVariant value = unarchiver.decodeUnkeyedObject();
        const std::optional<pf::Point> point =
            value.metaType().id() == QMetaType::QString ? pointFromText(value.toString()) : std::nullopt;
        if (!point) {
            unarchiver.failWithError(
                value.isValid()
                    ? QStringLiteral("%1: point %2 is not a point").arg(unarchiver.className()).arg(i + 1)
                    : QStringLiteral("%1: %2 points are announced but only %3 are stored")
                          .arg(unarchiver.className())
                          .arg(count)
                          .arg(i));
            return {};
        }
        // "{nan, 0}" and "{inf, 1}" read as numbers but mark no place on the photo: such a point would
        // make a step paint over all the brush reaches. It is left out; the stroke goes on without it.
        if (std::isfinite(point->x) && std::isfinite(point->y))
            points.push_back(*point);
    }
    return points;
}

} // namespace ArchivedPoints
