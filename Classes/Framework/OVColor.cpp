#include "Classes/Framework/OVColor.h"

#include "Classes/Framework/BundleORVExtension.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/NumberText.h"

#include <QStringList>
#include <cmath>
#include <mutex>

pf::Color OVColor::componentsFromDescription(const QString& text)
{
    QStringList pieces = text.split(QLatin1Char('/'));
    if (pieces.size() == 1)
        pieces = text.split(QLatin1Char(' '));
    auto number = [&](int index) { return pf::leadingNumberValue(pieces.at(index)); };
    switch (pieces.size()) {
    case 1:
        return pf::Color(number(0), number(0), number(0), 1.0);
    case 2:
        return pf::Color(number(0), number(0), number(0), number(1));
    case 3:
        return pf::Color(number(0), number(1), number(2), 1.0);
    case 4:
        return pf::Color(number(0), number(1), number(2), number(3));
    default:
        return pf::Color(number(0), number(1), number(2), 1.0);
    }
}

pf::PaintColor OVColor::colorFromDescription(const QString& text)
{
    const pf::Color rgb = componentsFromDescription(text);
    if (rgb.red() == 0.0 && !text.isEmpty()) {
        const QImage image = ORVExtension::imageNamed(pf::Bundle::main(), text);
        if (!image.isNull())
            return pf::PaintColor::pattern(image);
    }
    return pf::PaintColor::calibratedRGB(rgb.red(), rgb.green(), rgb.blue(), rgb.alpha());
}

QString OVColor::descriptionForNSColor(const pf::PaintColor& color)
{
    const std::optional<pf::PaintColor> rgb = color.usingSpace(pf::PaintColor::Space::CalibratedRGB);
    const double red = rgb ? rgb->red() : 0, green = rgb ? rgb->green() : 0, blue = rgb ? rgb->blue() : 0,
                 alpha = rgb ? rgb->alpha() : 0;
    return QStringList{pf::formatNumber(red), pf::formatNumber(green), pf::formatNumber(blue),
                       pf::formatNumber(alpha)}
        .join(QLatin1Char(' '));
}

pf::PaintColor OVColor::colorFromHsv(double h, double s, double v)
{
    if (s == 0.0)
        return pf::PaintColor::calibratedRGB(v, v, v, 1.0);
    double x = h * 360 / 60;
    // A hue of exactly 1 is once round the circle: red, as 0 is (its own sector would give magenta).
    if (x >= 6 && x < 7)
        x -= 6;
    const int i = int(std::floor(x));
    // The fractions are kept in single precision, as colours of the interface are.
    const double f = float(x - i);
    const double p = float((1 - s) * v);
    const double q = float((1 - f * s) * v);
    const double t = float((1 - s * (1 - f)) * v);
    switch (i) {
    case 0:
        return pf::PaintColor::calibratedRGB(v, t, p);
    case 1:
        return pf::PaintColor::calibratedRGB(q, v, p);
    case 2:
        return pf::PaintColor::calibratedRGB(p, v, t);
    case 3:
        return pf::PaintColor::calibratedRGB(p, q, v);
    case 4:
        return pf::PaintColor::calibratedRGB(t, p, v);
    default:
        return pf::PaintColor::calibratedRGB(v, p, q);
    }
}

std::optional<pf::PaintColor> OVColor::noiseColor()
{
    static std::mutex mutex;
    // Never destroyed: worker threads (renders, strokes, openings) may still use it while the program exits.
    static std::optional<pf::PaintColor>& noise = *new std::optional<pf::PaintColor>;
    std::lock_guard lock(mutex);
    if (!noise) {
        const QImage tile = ORVExtension::imageNamed(pf::Bundle::main(), QStringLiteral("NoiseFull.png"));
        if (tile.isNull())
            pf::warning(QStringLiteral("noise image 'NoiseFull.png' is not in bundle"));
        else
            noise = pf::PaintColor::pattern(tile);
    }
    return noise;
}
