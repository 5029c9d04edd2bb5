#include "Platform/Image/Vector.h"

#include "Platform/Foundation/NumberText.h"

#include <QRegularExpression>

namespace pf {

Vector Vector::fromRect(const Rect& rect)
{
    if (rect.isNull())
        return Vector(0, 0, 0, 0);
    return Vector(rect.origin.x, rect.origin.y, rect.size.width, rect.size.height);
}

Vector Vector::fromString(const QString& text)
{
    QString body = text.trimmed();
    if (body.startsWith(QLatin1Char('[')) && body.endsWith(QLatin1Char(']')))
        body = body.mid(1, body.size() - 2);
    // Never destroyed: filters read their settings on worker threads too, which may outlast the exit.
    static const auto* separators = new QRegularExpression(QStringLiteral("[\\s,]+"));
    std::vector<double> values;
    for (const QString& part : body.split(*separators, Qt::SkipEmptyParts)) {
        auto value = parseDouble(part);
        if (!value)
            return {};
        values.push_back(*value);
    }
    return Vector(std::move(values));
}

double Vector::at(int index) const
{
    return index >= 0 && index < count() ? m_values[static_cast<size_t>(index)] : 0.0;
}

AffineTransform Vector::transform() const
{
    AffineTransform t;
    t.a = at(0);
    t.b = at(1);
    t.c = at(2);
    t.d = at(3);
    t.tx = at(4);
    t.ty = at(5);
    return t;
}

QString Vector::toString() const
{
    QStringList parts;
    for (double value : m_values)
        parts << formatNumber(value, "%g");
    return QLatin1Char('[') + parts.join(QLatin1Char(' ')) + QLatin1Char(']');
}

} // namespace pf
