#include "Platform/Image/CropFilter.h"

#include "Platform/Image/BuiltinFilterSupport.h"

namespace pf {

using namespace builtin;

namespace {
const QString InputRectangleKey = QStringLiteral("inputRectangle");
}

CropFilter::CropFilter() : Filter(QStringLiteral("CICrop"))
{
    declareInput(InputImageKey, imageAttributes());
    declareInput(InputRectangleKey,
                 vectorAttributes(Vector::fromRect(Rect::infinite()), FilterAttribute::TypeRectangle));
}

Image CropFilter::outputImage() const
{
    const Image input = imageValue(InputImageKey);
    if (input.isNull())
        return Image();
    const Vector v = vectorValue(InputRectangleKey);
    if (v.count() < 4)
        return input;
    return input.imageByCroppingToRect(v.rect());
}

} // namespace pf
