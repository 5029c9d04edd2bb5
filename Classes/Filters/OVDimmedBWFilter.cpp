#include "Classes/Filters/OVDimmedBWFilter.h"

#include "Classes/Filters/FrameworkFilterSupport.h"
#include "Platform/Image/Sampler.h"

using namespace pf;

OVDimmedBWFilter::OVDimmedBWFilter(const QString& className) : OVFilter(className)
{
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputBrightness"), {{FilterAttribute::SliderMin, 0.0},
                                                     {FilterAttribute::SliderMax, 1.0},
                                                     {FilterAttribute::Default, 0.6}});
}

std::shared_ptr<OVDimmedBWFilter> OVDimmedBWFilter::sharedDimmedBWFilter()
{
    // Never destroyed: renders on other threads may still use it while the program exits.
    static const auto* shared = [] {
        auto filter = std::make_shared<OVDimmedBWFilter>();
        filter->setDefaults();
        return new std::shared_ptr<OVDimmedBWFilter>(std::move(filter));
    }();
    return *shared;
}

Image OVDimmedBWFilter::outputImage() const
{
    const Image image = imageValue(QStringLiteral("inputImage"));
    return FrameworkFilterSupport::applyOver(
        kernel(), {QVariant::fromValue(Sampler(image)), numberValue(QStringLiteral("inputBrightness"))},
        image);
}
