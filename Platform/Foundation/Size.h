#pragma once

#include <QMetaType>
#include <QSizeF>
#include <iosfwd>

class QDebug;

namespace pf {

// A width and a height; either may be negative (a rectangle with a negative size extends the other way).
struct Size
{
    double width = 0, height = 0;

    constexpr Size() = default;
    constexpr Size(double width, double height) : width(width), height(height) {}

    bool operator==(const Size&) const = default;

    QSizeF toQSizeF() const { return {width, height}; }
    static Size fromQSizeF(const QSizeF& size) { return {size.width(), size.height()}; }
};

QDebug operator<<(QDebug debug, const Size& size);
void PrintTo(const Size& size, std::ostream* stream);

} // namespace pf

Q_DECLARE_METATYPE(pf::Size)
