#include "Platform/Image/Color.h"

#include "Platform/Foundation/NumberText.h"

#include <QColor>
#include <QRegularExpression>
#include <algorithm>
#include <vector>

namespace pf {

Color Color::fromQColor(const QColor& color)
{
    const QColor rgb = color.toRgb();
    return Color(rgb.redF(), rgb.greenF(), rgb.blueF(), rgb.alphaF());
}

Color Color::fromString(const QString& text)
{
    // Never destroyed: filters read their settings on worker threads too, which may outlast the exit.
    static const auto* separators = new QRegularExpression(QStringLiteral("[\\s,/]+"));
    std::vector<double> values;
    for (const QString& part : text.trimmed().split(*separators, Qt::SkipEmptyParts)) {
        auto value = parseDouble(part);
        if (!value)
            return {};
        values.push_back(*value);
    }
    switch (values.size()) {
    case 1:
        return Color(values[0], values[0], values[0], 1.0);
    case 2:
        return Color(values[0], values[0], values[0], values[1]);
    case 3:
        return Color(values[0], values[1], values[2], 1.0);
    case 4:
        return Color(values[0], values[1], values[2], values[3]);
    default:
        return {};
    }
}

QColor Color::toQColor() const
{
    auto unit = [](double v) { return static_cast<float>(std::clamp(v, 0.0, 1.0)); };
    return QColor::fromRgbF(unit(m_red), unit(m_green), unit(m_blue), unit(m_alpha));
}

QString Color::toString() const
{
    return formatNumber(m_red, "%g") + QLatin1Char(' ') + formatNumber(m_green, "%g") + QLatin1Char(' ') +
           formatNumber(m_blue, "%g") + QLatin1Char(' ') + formatNumber(m_alpha, "%g");
}

} // namespace pf
