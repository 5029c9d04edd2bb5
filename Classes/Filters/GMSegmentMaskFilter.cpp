#include "Classes/Filters/GMSegmentMaskFilter.h"

#include "Classes/Filters/MaskFilterSupport.h"
#include "Platform/Foundation/Log.h"

#include <algorithm>
#include <cmath>

using namespace pf;
using namespace MaskFilterSupport;

namespace {

bool hasArea(const Image& image)
{
    if (image.isNull())
        return false;
    const Rect extent = image.extent();
    return !extent.isNull() && !extent.isInfinite() && extent.width() > 0 && extent.height() > 0;
}

} // namespace

GMSegmentMaskFilter::GMSegmentMaskFilter(const QString& className, double rectangleSizeFactor)
    : GMKernelFilter(className), m_rectangleSizeFactor(rectangleSizeFactor)
{}

void GMSegmentMaskFilter::declareSegmentInputs()
{
    declareInput(QStringLiteral("inputPoint1"),
                 vectorAttributes(Vector(100, 200), FilterAttribute::TypePosition));
    declareInput(QStringLiteral("inputPoint2"),
                 vectorAttributes(Vector(50, 250), FilterAttribute::TypePosition));
    declareInput(QStringLiteral("inputSize"),
                 numberAttributes({.min = 1, .sliderMin = 1, .sliderMax = 300, .defaultValue = 30}));
}

void GMSegmentMaskFilter::declareBoolean(const QString& key)
{
    declareInput(key,
                 {{FilterAttribute::Default, false}, {FilterAttribute::Type, FilterAttribute::TypeBoolean}});
}

double GMSegmentMaskFilter::size() const
{
    return numberValue(QStringLiteral("inputSize"), 0.0);
}

QVariant GMSegmentMaskFilter::point(const QString& key) const
{
    return pointArgument(vectorValue(key));
}

QVariantList GMSegmentMaskFilter::segmentArguments(double sizeFactor) const
{
    return {point(QStringLiteral("inputPoint1")), point(QStringLiteral("inputPoint2")), size() * sizeFactor};
}

QVariantList GMSegmentMaskFilter::edgeRegionArguments() const
{
    QVariantList arguments = segmentArguments(0.5);
    arguments << samplerArgument(Sampler(imageValue(QStringLiteral("inputEdgeImage"))))
              << samplerArgument(Sampler(imageValue(QStringLiteral("inputImage"))));
    for (const char* key : {"inputToleranceHigh", "inputToleranceMid", "inputToleranceLow"})
        arguments << numberArgument(QString::fromLatin1(key));
    return arguments;
}

Rect GMSegmentMaskFilter::dirtyRectForInput() const
{
    const double s = size() * m_rectangleSizeFactor;
    const Point a = vectorValue(QStringLiteral("inputPoint1")).point();
    const Point b = vectorValue(QStringLiteral("inputPoint2")).point();
    return Rect(std::min(a.x, b.x) - s, std::min(a.y, b.y) - s, std::abs(b.x - a.x) + 2 * s,
                std::abs(b.y - a.y) + 2 * s);
}

ApplyOptions GMSegmentMaskFilter::segmentOptions(const std::vector<AffineTransform>& laterSamplers,
                                                 bool withRegionRule) const
{
    const Rect rect = dirtyRectForInput();
    ApplyOptions o = options(rect, rect);
    if (!withRegionRule)
        return o;
    const double s = size();
    std::vector<AffineTransform> toSampler;
    for (const AffineTransform& matrix : laterSamplers)
        toSampler.push_back(matrix.inverted());
    o.regionOfInterest = [s, toSampler](int index, const Rect& destination) {
        if (index <= 1)
            return destination.insetBy(-s, -s);
        // A scaled sampler is read at the destination's own pixels, which lie elsewhere in its space.
        const size_t later = size_t(index - 2);
        return later < toSampler.size() ? toSampler[later].map(destination) : destination;
    };
    return o;
}

std::optional<AffineTransform> GMSegmentMaskFilter::referenceScale() const
{
    if (!boolValue(QStringLiteral("inputBoolUseRefMask")))
        return std::nullopt;
    const Image image = imageValue(QStringLiteral("inputImage"));
    const Image reference = imageValue(QStringLiteral("inputReferenceMask"));
    if (!hasArea(image) || !hasArea(reference)) {
        pf::warning(QStringLiteral("%1: the reference mask or the image is empty; the mask is made without "
                                   "the reference")
                        .arg(name()));
        return std::nullopt;
    }
    return AffineTransform::scale(image.extent().width() / reference.extent().width(),
                                  image.extent().height() / reference.extent().height());
}
