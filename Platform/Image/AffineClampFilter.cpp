#include "Platform/Image/AffineClampFilter.h"

namespace pf {

AffineClampFilter::AffineClampFilter() : TransformedImageFilter(QStringLiteral("CIAffineClamp")) {}

Image AffineClampFilter::beforeTransform(const Image& input) const
{
    return input.imageByClampingToExtent();
}

} // namespace pf
