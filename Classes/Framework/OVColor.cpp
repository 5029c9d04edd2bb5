#include "Classes/Framework/OVColor.h"

#include "Classes/Framework/BundleORVExtension.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/NumberText.h"

#include <QStringList>

OVColor OVColor::patternColor(const QImage& image, const pf::Color& rgb)
{
    OVColor color(rgb);
    color.m_pattern = image;
    return color;
}

OVColor OVColor::colorFromDescription(const QString& text)
{
    QStringList pieces = text.split(QLatin1Char('/'));
    if (pieces.size() == 1)
        pieces = text.split(QLatin1Char(' '));
    auto number = [&](int index) { return pf::leadingNumberValue(pieces.at(index)); };
    pf::Color rgb;
    switch (pieces.size()) {
    case 1:
        rgb = pf::Color(number(0), number(0), number(0), 1.0);
        break;
    case 2:
        rgb = pf::Color(number(0), number(0), number(0), number(1));
        break;
    case 3:
        rgb = pf::Color(number(0), number(1), number(2), 1.0);
        break;
    case 4:
        rgb = pf::Color(number(0), number(1), number(2), number(3));
        break;
    default:
        rgb = pf::Color(number(0), number(1), number(2), 1.0);
        break;
    }
    if (rgb.red() == 0.0 && !text.isEmpty()) {
        const QImage image = ORVExtension::imageNamed(pf::Bundle::main(), text);
        if (!image.isNull())
            return patternColor(image, rgb);
    }
    return OVColor(rgb);
}
