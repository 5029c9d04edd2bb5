#include "Classes/Filters/GMAutoBrush.h"

#include "Classes/Framework/KernelResource.h"
#include "Platform/Image/CpuKernelRenderer.h"
#include "Platform/Image/CpuRendering.h"
#include "Platform/Image/Sampler.h"

#include <algorithm>
#include <cmath>

using namespace pf;

namespace {

const QString ClassName = QStringLiteral("GMAutoBrush");
// Works out the colours a step compares the photo with, once for the step (see the kernel text).
const QString ReferencesKernel = QStringLiteral("smartBrushReferences");
// Where that kernel's 2 x 4 pixels lie; the brush kernels read them at their centres.
const Rect ReferencesExtent(0, 0, 2, 4);
// The kernel that compares the photo with a step's references for the brush kernel of the name before it.
const QString SamplesSuffix = QStringLiteral("Samples");
// How far from a pixel corner that kernel reads the photo, in pixels (see its region of interest).
constexpr double SamplesPhotoReach = 27;

// A step's first kernels are computed once for the step, ahead of the brush kernel, where renders run
// on the CPU. As intermediates of the brush's render, every tile of it would compute them again over
// nearly all of their extent, and a render weighed so would run as one tile on one core. Passes
// compute each intermediate once anyway, and would only read these back and upload them again.
Image computedOnce(const Image& recipe, const Rect& bounds)
{
    if (recipe.isNull() || !CpuKernelRenderer::wanted())
        return recipe;
    return CpuRendering::attach(
        recipe, std::make_shared<const CpuRendering>(
                    bounds, Bitmap::Format::RGBAf, [recipe, bounds](const Rect& region, Bitmap& out) {
                        return CpuRendering::renderInput(recipe,
                                                         region.offsetBy(bounds.minX(), bounds.minY()), out);
                    }));
}

} // namespace

GMAutoBrush::GMAutoBrush() : GMBasicBrush(ClassName, false)
{
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("kernelName"));
    declareInput(QStringLiteral("inputFaceWidth"));
}

void GMAutoBrush::registerClass()
{
    OVFilter::registerForCopying(ClassName, strokeKeys() << QStringLiteral("inputImage")
                                                         << QStringLiteral("kernelName")
                                                         << QStringLiteral("inputFaceWidth"));
    Filter::registerFilter(ClassName, [] { return std::make_shared<GMAutoBrush>(); });
}

QStringList GMAutoBrush::smartBrushKernelNames()
{
    QStringList names;
    for (const Kernel& kernel : KernelResource::kernels(ClassName))
        if (kernel.name() != ReferencesKernel && !kernel.name().endsWith(SamplesSuffix))
            names << kernel.name();
    return names;
}

Image GMAutoBrush::outputImage() const
{
    if (kernelName().isEmpty()) {
        // The filter is used by one thread at a time, and the name it gives itself is meant to stay.
        const_cast<GMAutoBrush*>(this)->setKernelName(QStringLiteral("autoBrush"));
    }
    const Kernel stroke = kernelWithName(kernelName());
    if (stroke.isNull() || imageValue(QStringLiteral("inputCanvasStart")).isNull())
        return Image();
    const Kernel samplesKernel = kernelWithName(kernelName() + SamplesSuffix);
    if (samplesKernel.isNull())
        return Image();
    const Sampler photo(imageValue(QStringLiteral("inputImage")));
    QVariantList arguments = strokeArguments();

    // The references read the photo around both ends (at most 8 pixels out, plus the 2 x 2 average)
    // and, on a pupil, for the iris around it (up to 48 pixels and a third more beyond the pupil's edge).
    const double radius = std::max(numberValue(QStringLiteral("inputBrushSize")) * 0.5, 0.0);
    const double around = std::max(10.0, 1.35 * std::min(radius, 48.0) + 4.0);
    const Point p1 = vectorValue(QStringLiteral("inputPoint1")).point();
    const Point p2 = vectorValue(QStringLiteral("inputPoint2")).point();
    const Rect ends = Rect(p1.x - around, p1.y - around, 2 * around, 2 * around)
                          .united(Rect(p2.x - around, p2.y - around, 2 * around, 2 * around));
    ApplyOptions referenceOptions;
    referenceOptions.definition = ReferencesExtent;
    referenceOptions.extent = ReferencesExtent;
    referenceOptions.regionOfInterest = [ends](int, const Rect&) { return ends; };
    const Image references = computedOnce(
        kernelWithName(ReferencesKernel)
            .apply({arguments[0], arguments[1], arguments[2], QVariant::fromValue(photo)}, referenceOptions),
        ReferencesExtent);
    if (references.isNull())
        return Image();
    const QVariant referencesSampler = QVariant::fromValue(Sampler(references, Sampler::FilterMode::Nearest));

    // Only pixels within the radius of the segment walk, and a walk never leaves that reach: the photo
    // is compared with the references at the pixel corners there (a corner a pixel beyond, as a walk's
    // point rounds to the nearest one), once per step.
    const double reach = radius + 2.0;
    const Rect walked = Rect(std::min(p1.x, p2.x) - reach, std::min(p1.y, p2.y) - reach,
                             std::abs(p2.x - p1.x) + 2 * reach, std::abs(p2.y - p1.y) + 2 * reach)
                            .integral();
    ApplyOptions samplesOptions;
    samplesOptions.definition = walked;
    samplesOptions.extent = walked;
    // A corner is the mean of the four photo pixels around it; the skin brush also judges a pale corner
    // by the photo up to 24 pixels out (its walks across pale content to the dark of an eye) and the
    // pixels around those. A photo that is an effect's result is rendered only where this says, and a
    // read beyond it would find nothing, which looks like the dark of an eye.
    samplesOptions.regionOfInterest = [](int index, const Rect& destination) {
        return index == 1 ? ReferencesExtent : destination.insetBy(-SamplesPhotoReach, -SamplesPhotoReach);
    };
    // The width of the face painted on, where known (0 otherwise): the skin brush looks that far round a
    // pale pixel for the dark of an eye.
    const double faceWidth = numberValue(QStringLiteral("inputFaceWidth"));
    const Image compared =
        samplesKernel.apply({arguments[0], arguments[1], arguments[2], QVariant::fromValue(photo),
                             referencesSampler, std::isfinite(faceWidth) ? std::max(faceWidth, 0.0) : 0.0},
                            samplesOptions);
    if (compared.isNull())
        return Image();
    const Image samples = computedOnce(compared, walked);

    arguments << QVariant::fromValue(Sampler(samples, Sampler::FilterMode::Nearest)) << referencesSampler;
    // A pixel reads the samples on its way back to the segment, at most a radius away, and every one of
    // the step's references. Saying so keeps renders split into tiles equal to whole ones, even for
    // brushes larger than a tile.
    auto regionOfInterest = [reach](int index, const Rect& destination) {
        if (index == 3)
            return ReferencesExtent;
        if (index == 2)
            return destination.insetBy(-reach, -reach);
        return destination;
    };
    return applyStroke(stroke, arguments, regionOfInterest);
}
