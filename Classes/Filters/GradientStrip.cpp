#include "Classes/Filters/GradientStrip.h"

#include "Classes/Framework/GradientORVExtension.h"

namespace GradientStrip {

std::optional<pf::Gradient> gradientFrom(const QVariant& value)
{
    if (value.metaType() == QMetaType::fromType<pf::Gradient>())
        return value.value<pf::Gradient>();
    if (value.metaType().id() == QMetaType::QString)
        return GradientORVExtension::gradientWithString(value.toString());
    return std::nullopt;
}

pf::Image strip(const pf::Gradient& gradient)
{
    return pf::Image::fromBitmap(gradient.bitmap(Width, 1, 0));
}

Input input(const QVariant& value)
{
    const std::optional<pf::Gradient> gradient = gradientFrom(value);
    if (!gradient)
        return {};
    return {QVariant::fromValue(*gradient), strip(*gradient)};
}

} // namespace GradientStrip
