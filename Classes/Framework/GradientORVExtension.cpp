#include "Classes/Framework/GradientORVExtension.h"

#include "Classes/Framework/OVColor.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/NumberText.h"

#include <QStringList>
#include <cmath>

namespace GradientORVExtension {

namespace {

// Stored values are single precision. A number beyond its range ("1e39") reads as 0, as text that is
// not a number does: an infinite stop would put NaN into every colour the gradient gives.
double storedNumber(const QString& item)
{
    const float value = float(pf::leadingNumberValue(item));
    return std::isfinite(value) ? double(value) : 0.0;
}

} // namespace

QString stringRepresentation(const pf::Gradient& gradient)
{
    QStringList numbers;
    for (const pf::Gradient::Stop& stop : gradient.stops()) {
        for (double value :
             {stop.location, stop.color.red(), stop.color.green(), stop.color.blue(), stop.color.alpha()})
            numbers.append(pf::formatNumber(value, "%f"));
    }
    return numbers.join(QLatin1Char(' '));
}

std::optional<pf::Gradient> gradientWithString(const QString& text)
{
    const QStringList items = text.split(QLatin1Char(' '));
    const qsizetype count = items.size();
    if (count % 5 != 0) {
        if (count < 5) {
            const pf::Color color = OVColor::componentsFromDescription(text);
            return pf::Gradient(color, color);
        }
        if (count == 8) {
            const pf::Color start =
                OVColor::componentsFromDescription(items.mid(0, 4).join(QLatin1Char(' ')));
            const pf::Color end = OVColor::componentsFromDescription(items.mid(4, 4).join(QLatin1Char(' ')));
            return pf::Gradient(start, end);
        }
        pf::warning(QStringLiteral("Number of Gradient Components is not a multiple of 5:\n%1").arg(text));
    }
    std::vector<pf::Gradient::Stop> stops;
    for (qsizetype group = 0; group < count / 5; ++group) {
        const qsizetype at = group * 5;
        stops.push_back({storedNumber(items.at(at)),
                         pf::Color(storedNumber(items.at(at + 1)), storedNumber(items.at(at + 2)),
                                   storedNumber(items.at(at + 3)), storedNumber(items.at(at + 4)))});
    }
    if (stops.size() < 2)
        return std::nullopt;
    return pf::Gradient(std::move(stops));
}

} // namespace GradientORVExtension
