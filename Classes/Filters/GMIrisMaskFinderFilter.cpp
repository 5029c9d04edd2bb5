#include "Classes/Filters/GMIrisMaskFinderFilter.h"

#include "Classes/Filters/MaskFilterSupport.h"
#include "Platform/Image/Sampler.h"

#include <algorithm>
#include <cmath>

using namespace pf;

namespace {

QVariantMap colorAttributes()
{
    return MaskFilterSupport::vectorAttributes(Vector(0, 0, 0, 1), FilterAttribute::TypeOpaqueColor);
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
                 MaskFilterSupport::vectorAttributes(Vector(20, 20), FilterAttribute::TypePosition));
    declareInput(QStringLiteral("inputOuterRadius"), distanceAttributes(16, 300));
    declareInput(QStringLiteral("inputPupilRadius"), distanceAttributes(10, 300));
    // No default: the brush always sets it.
    declareInput(QStringLiteral("inputTolerance"));
    declareInput(QStringLiteral("inputRefColorLight"), colorAttributes());
    declareInput(QStringLiteral("inputRefColorDark"), colorAttributes());
    declareInput(QStringLiteral("inputBoolPupil"), distanceAttributes(0.0));
    // Unset: the pupil lies about the centre, and no lid cuts the iris.
    declareInput(QStringLiteral("inputPupilCenter"));
    declareInput(QStringLiteral("inputUpperLid"), MaskFilterSupport::vectorAttributes(Vector(0, 0, 1)));
    declareInput(QStringLiteral("inputLowerLid"), MaskFilterSupport::vectorAttributes(Vector(0, 0, 1)));
    // The luminance of the white of the eye beside the limbus; 0 where none is known.
    declareInput(QStringLiteral("inputWhiteLuma"), distanceAttributes(0.0));
    // Half-way between the pupil's dark and the iris: darker pixels just beyond the pupil's circle are
    // still pupil; 0 where it is not known.
    declareInput(QStringLiteral("inputPupilLuma"), distanceAttributes(0.0));
}

Image GMIrisMaskFinderFilter::outputImage() const
{
    const Sampler image(imageValue(QStringLiteral("inputImage")));
    ApplyOptions options;
    options.definition = image.definition().extent();
    // A pixel reads itself and, to tell a catch light or the lashes, the iris around it: never farther
    // than a quarter of the radius beyond the iris's circle.
    const Vector centre = vectorValue(QStringLiteral("inputCenter"));
    const double reach = 1.3 * std::max(0.0, numberValue(QStringLiteral("inputOuterRadius"))) + 3;
    if (centre.count() == 2 && std::isfinite(reach)) {
        const Rect iris(centre.x() - reach, centre.y() - reach, 2 * reach, 2 * reach);
        options.regionOfInterest = [iris](int, const Rect& destination) { return destination.united(iris); };
    }
    const auto input = [this](const char* key) { return value(QString::fromLatin1(key)); };
    const auto line = [this](const char* key) {
        const Vector v = vectorValue(QString::fromLatin1(key));
        return QVariant::fromValue(v.count() == 3 ? v : Vector(0, 0, 1));
    };
    const Vector pupilCentre = vectorValue(QStringLiteral("inputPupilCenter"));
    return applySlot(0,
                     {QVariant::fromValue(image), numberArgument(QStringLiteral("inputPupilRadius")),
                      numberArgument(QStringLiteral("inputOuterRadius")), input("inputCenter"),
                      numberArgument(QStringLiteral("inputTolerance")), input("inputRefColorLight"),
                      numberArgument(QStringLiteral("inputBoolPupil")),
                      pupilCentre.count() == 2 ? QVariant::fromValue(pupilCentre) : input("inputCenter"),
                      line("inputUpperLid"), line("inputLowerLid"),
                      numberArgument(QStringLiteral("inputWhiteLuma")),
                      numberArgument(QStringLiteral("inputPupilLuma"))},
                     options);
}
