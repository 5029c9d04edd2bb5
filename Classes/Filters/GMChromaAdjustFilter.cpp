#include "Classes/Filters/GMChromaAdjustFilter.h"

#include "Classes/Filters/MaskFilterSupport.h"
#include "Platform/Image/Sampler.h"

using namespace pf;
using MaskFilterSupport::numberAttributes;
using MaskFilterSupport::vectorAttributes;

GMChromaAdjustFilter::GMChromaAdjustFilter(const QString& className) : GMKernelFilter(className)
{
    loadDefaultKernel();
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputChromaShift"),
                 vectorAttributes(Vector(0, 0), FilterAttribute::TypeOffset));
    declareInput(QStringLiteral("inputChromaScale"), numberAttributes({.min = 0,
                                                                       .sliderMin = 0,
                                                                       .sliderMax = 2,
                                                                       .defaultValue = 1,
                                                                       .identity = 1,
                                                                       .type = FilterAttribute::TypeScalar}));
    declareInput(QStringLiteral("inputLumaScale"), numberAttributes({.min = 0,
                                                                     .sliderMin = 0.5,
                                                                     .sliderMax = 1.5,
                                                                     .defaultValue = 1,
                                                                     .identity = 1,
                                                                     .type = FilterAttribute::TypeScalar}));
    declareInput(QStringLiteral("inputLumaLift"), numberAttributes({.sliderMin = -0.5,
                                                                    .sliderMax = 0.5,
                                                                    .defaultValue = 0,
                                                                    .identity = 0,
                                                                    .type = FilterAttribute::TypeScalar}));
    declareInput(QStringLiteral("inputHueRange"), vectorAttributes(Vector(0, 0, 0)));
    declareInput(QStringLiteral("inputSaturationRange"), vectorAttributes(Vector(0, 0)));
    declareInput(QStringLiteral("inputLumaRange"), vectorAttributes(Vector(0, 0)));
    declareInput(QStringLiteral("inputSurroundImage"));
}

Image GMChromaAdjustFilter::outputImage() const
{
    const Vector shift = vectorValue(QStringLiteral("inputChromaShift"));
    const Vector hue = vectorValue(QStringLiteral("inputHueRange"));
    const Vector saturation = vectorValue(QStringLiteral("inputSaturationRange"));
    const Vector luma = vectorValue(QStringLiteral("inputLumaRange"));
    // Without a surround the image itself stands in, unread; with one each pixel reads its neighbours
    // and theirs, two pixels out.
    const Image surround = imageValue(QStringLiteral("inputSurroundImage"));
    const bool against = !surround.isNull();
    return applyToInputImage(
        0, ApplyExtent::Full,
        {QVariant::fromValue(Sampler(against ? surround : imageValue(QStringLiteral("inputImage")))),
         against ? 1.0 : 0.0, QVariant::fromValue(Vector(shift.x(), shift.y())),
         numberValue(QStringLiteral("inputChromaScale"), 1), numberValue(QStringLiteral("inputLumaScale"), 1),
         numberValue(QStringLiteral("inputLumaLift"), 0),
         QVariant::fromValue(Vector(hue.x(), hue.y(), hue.z())),
         QVariant::fromValue(Vector(saturation.x(), saturation.y())),
         QVariant::fromValue(Vector(luma.x(), luma.y()))},
        against ? 2.0 : 0.0);
}
