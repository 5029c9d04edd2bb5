#include "Classes/Filters/GMIrisMaskFinderFilter.h"

#include "Platform/Image/Sampler.h"

using namespace pf;

namespace {

QVariantMap radiusAttributes(double defaultValue)
{
    return {{FilterAttribute::Min, 0.0},
            {FilterAttribute::SliderMin, 0.0},
            {FilterAttribute::SliderMax, 300.0},
            {FilterAttribute::Default, defaultValue},
            {FilterAttribute::Type, FilterAttribute::TypeDistance}};
}

QVariantMap colorAttributes()
{
    return {{FilterAttribute::Default, QVariant::fromValue(Vector(0, 0, 0, 1))},
            {FilterAttribute::Type, FilterAttribute::TypeOpaqueColor}};
}

} // namespace

GMIrisMaskFinderFilter::GMIrisMaskFinderFilter(const QString& className) : GMKernelFilter(className)
{
    loadKernels({{QStringLiteral("GMIrisMaskFinderFilterIrisKernel"), 0},
                 {QStringLiteral("GMIrisMaskFinderFilterPupilKernel"), 0},
                 {QStringLiteral("GMCutFromImageFilterKernel"), 0},
                 {QStringLiteral("GMPlaceImageInImageFilterKernel"), 0}});
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputCenter"),
                 {{FilterAttribute::Default, QVariant::fromValue(Vector(20, 20))},
                  {FilterAttribute::Type, FilterAttribute::TypePosition}});
    declareInput(QStringLiteral("inputOuterRadius"), radiusAttributes(16));
    declareInput(QStringLiteral("inputPupilRadius"), radiusAttributes(10));
    // No default: the brush always sets it.
    declareInput(QStringLiteral("inputTolerance"));
    declareInput(QStringLiteral("inputRefColorLight"), colorAttributes());
    declareInput(QStringLiteral("inputRefColorDark"), colorAttributes());
    declareInput(QStringLiteral("inputBoolPupil"), distanceAttributes(0.0));
}

Image GMIrisMaskFinderFilter::outputImage() const
{
    const Sampler image(imageValue(QStringLiteral("inputImage")));
    ApplyOptions options;
    options.definition = image.definition().extent();
    // Each pixel reads only itself: the default region of interest, the destination, is exact.
    const auto input = [this](const char* key) { return value(QString::fromLatin1(key)); };
    return applySlot(0,
                     {QVariant::fromValue(image), numberArgument(QStringLiteral("inputPupilRadius")),
                      numberArgument(QStringLiteral("inputOuterRadius")), input("inputCenter"),
                      numberArgument(QStringLiteral("inputTolerance")), input("inputRefColorLight"),
                      numberArgument(QStringLiteral("inputBoolPupil"))},
                     options);
}
