#pragma once

#include "Classes/Framework/OVFilter.h"
#include "Platform/Image/Color.h"

// Lays beard stubble onto a background: the image is the stubble texture (dark hairs on a light
// ground), tinted by "inputColor" and weighed by "inputIntensity". The output has the image's domain
// and rectangle. Without a colour there is no output (and a warning), as for any missing argument.
class GMBeardStubbleCompositing : public OVFilter
{
public:
    explicit GMBeardStubbleCompositing(
        const QString& className = QStringLiteral("GMBeardStubbleCompositing"));

    pf::Image inputImage() const { return imageValue(QStringLiteral("inputImage")); }
    void setInputImage(const pf::Image& image) { setImage(image, QStringLiteral("inputImage")); }
    pf::Image inputBackgroundImage() const { return imageValue(QStringLiteral("inputBackgroundImage")); }
    void setInputBackgroundImage(const pf::Image& image)
    {
        setImage(image, QStringLiteral("inputBackgroundImage"));
    }
    QVariant inputColor() const { return value(QStringLiteral("inputColor")); }
    void setInputColor(const pf::Color& color)
    {
        setValue(QVariant::fromValue(color), QStringLiteral("inputColor"));
    }
    QVariant inputIntensity() const { return value(QStringLiteral("inputIntensity")); }
    void setInputIntensity(double intensity) { setValue(intensity, QStringLiteral("inputIntensity")); }

    pf::Image outputImage() const override;
};
