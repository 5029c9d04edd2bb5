#include "Classes/Filters/OVKeepColorFilter.h"

#include "Classes/Filters/FrameworkFilterSupport.h"
#include "Classes/Framework/ColorORVExtension.h"
#include "Platform/Image/Sampler.h"

using namespace pf;

OVKeepColorFilter::OVKeepColorFilter(const QString& className) : OVFilter(className)
{
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputColor"),
                 {{FilterAttribute::Default, QVariant::fromValue(Color(1, 0, 0, 1))},
                  {FilterAttribute::Type, FilterAttribute::TypeDistance}});
    declareInput(QStringLiteral("inputIntensity"), {{FilterAttribute::SliderMin, 0.0},
                                                    {FilterAttribute::SliderMax, 1.0},
                                                    {FilterAttribute::Default, 0.4},
                                                    {FilterAttribute::Type, FilterAttribute::TypeDistance}});
}

void OVKeepColorFilter::registerClass()
{
    registerMember<OVKeepColorFilter>(QStringLiteral("OVKeepColorFilter"));
}

Image OVKeepColorFilter::outputImage() const
{
    const Image image = imageValue(QStringLiteral("inputImage"));
    const double hue = hasValue(QStringLiteral("inputColor"))
                           ? ORVExtension::hsv(colorValue(QStringLiteral("inputColor"))).hue
                           : 0.0;
    return FrameworkFilterSupport::applyOver(
        kernel(), {QVariant::fromValue(Sampler(image)), hue, numberValue(QStringLiteral("inputIntensity"))},
        image);
}
