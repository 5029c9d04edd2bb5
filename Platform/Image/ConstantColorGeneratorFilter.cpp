#include "Platform/Image/ConstantColorGeneratorFilter.h"

#include "Platform/Image/BuiltinFilterSupport.h"

namespace pf {

using namespace builtin;

ConstantColorGeneratorFilter::ConstantColorGeneratorFilter()
    : Filter(QStringLiteral("CIConstantColorGenerator"))
{
    declareInput(InputColorKey, colorAttributes(Color(1, 0, 0, 1)));
}

Image ConstantColorGeneratorFilter::outputImage() const
{
    if (!hasValue(InputColorKey))
        return Image();
    return Image::constantColor(colorValue(InputColorKey));
}

} // namespace pf
