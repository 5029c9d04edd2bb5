#include "Platform/Image/AffineTransformFilter.h"

namespace pf {

AffineTransformFilter::AffineTransformFilter() : TransformedImageFilter(QStringLiteral("CIAffineTransform"))
{}

Image AffineTransformFilter::beforeTransform(const Image& input) const
{
    return input;
}

} // namespace pf
