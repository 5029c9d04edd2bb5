#include "Classes/Filters/GMAutoBrush.h"

#include "Classes/Framework/KernelResource.h"
#include "Platform/Image/Sampler.h"

#include <algorithm>

using namespace pf;

namespace {

const QString ClassName = QStringLiteral("GMAutoBrush");

} // namespace

GMAutoBrush::GMAutoBrush() : GMBasicBrush(ClassName, false)
{
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("kernelName"));
}

void GMAutoBrush::registerClass()
{
    OVFilter::registerForCopying(ClassName, strokeKeys() << QStringLiteral("inputImage")
                                                         << QStringLiteral("kernelName"));
    Filter::registerFilter(ClassName, [] { return std::make_shared<GMAutoBrush>(); });
}

QStringList GMAutoBrush::smartBrushKernelNames()
{
    QStringList names;
    for (const Kernel& kernel : KernelResource::kernels(ClassName))
        names << kernel.name();
    return names;
}

Image GMAutoBrush::outputImage() const
{
    if (kernelName().isEmpty()) {
        // The filter is used by one thread at a time, and the name it gives itself is meant to stay.
        const_cast<GMAutoBrush*>(this)->setKernelName(QStringLiteral("autoBrush"));
    }
    QVariantList arguments = strokeArguments();
    arguments << QVariant::fromValue(Sampler(imageValue(QStringLiteral("inputImage"))));
    // A pixel reads the photo on its way back to the segment, at most a radius away, and around both
    // ends for the reference colour (at most 8 pixels out, plus the 2 x 2 average) and, on a pupil, for
    // the iris around it (up to 48 pixels and a third more beyond the pupil's edge). Saying so keeps
    // renders split into tiles equal to whole ones, even for brushes larger than a tile.
    const double radius = std::max(numberValue(QStringLiteral("inputBrushSize")) * 0.5, 0.0);
    const double reach = radius + 2.0;
    const double around = std::max(10.0, 1.35 * std::min(radius, 48.0) + 4.0);
    const Point p1 = vectorValue(QStringLiteral("inputPoint1")).point();
    const Point p2 = vectorValue(QStringLiteral("inputPoint2")).point();
    auto regionOfInterest = [reach, around, p1, p2](int index, const Rect& destination) {
        if (index != 2)
            return destination;
        const Rect ends = Rect(p1.x - around, p1.y - around, 2 * around, 2 * around)
                              .united(Rect(p2.x - around, p2.y - around, 2 * around, 2 * around));
        return destination.insetBy(-reach, -reach).united(ends);
    };
    return applyStroke(kernelWithName(kernelName()), arguments, regionOfInterest);
}
