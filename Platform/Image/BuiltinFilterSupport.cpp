#include "Platform/Image/BuiltinFilterSupport.h"

#include "Platform/Image/Filter.h"
#include "Platform/Image/ImageNode.h"
#include "Platform/Image/Sampler.h"

#include <cmath>

#include "Engine/Engine.h"

namespace pf::builtin {

namespace {

const QString ClassTransform = QStringLiteral("NSAffineTransform");

bool isWhole(double value)
{
    return std::isfinite(value) && value == std::floor(value);
}

// Whether reading the recipe at pixel centres lands on pixel centres of whatever holds its pixels.
bool keepsPixelCentres(const ImageNode* node)
{
    while (node) {
        switch (node->kind) {
        case ImageNode::Kind::Empty:
        case ImageNode::Kind::Bitmap:
        case ImageNode::Kind::Tiles:
        case ImageNode::Kind::Constant:
        case ImageNode::Kind::Kernel:
            return true;
        case ImageNode::Kind::Transform: {
            const AffineTransform& t = node->transform;
            // Quarter turns and mirrors by whole pixels map the pixel grid onto itself.
            const bool straight = t.b == 0 && t.c == 0 && std::abs(t.a) == 1 && std::abs(t.d) == 1;
            const bool turned = t.a == 0 && t.d == 0 && std::abs(t.b) == 1 && std::abs(t.c) == 1;
            if (!(straight || turned) || !isWhole(t.tx) || !isWhole(t.ty))
                return false;
            node = node->input.get();
            continue;
        }
        case ImageNode::Kind::Crop:
            node = node->input.get();
            continue;
        case ImageNode::Kind::Clamp:
            // Clamping moves a point to the nearest edge pixel centre: a centre only for whole edges.
            if (!isIntegral(node->rect))
                return false;
            node = node->input.get();
            continue;
        }
    }
    return true;
}

} // namespace

QVariantMap imageAttributes()
{
    return {{FilterAttribute::Class, FilterAttribute::ClassImage},
            {FilterAttribute::Type, FilterAttribute::TypeImage}};
}

QVariantMap numberAttributes(double defaultValue, double minimum, double sliderMaximum, const QString& type,
                             std::optional<double> maximum)
{
    QVariantMap attributes{{FilterAttribute::Class, FilterAttribute::ClassNumber},
                           {FilterAttribute::Default, defaultValue},
                           {FilterAttribute::Min, minimum},
                           {FilterAttribute::SliderMin, minimum},
                           {FilterAttribute::SliderMax, sliderMaximum},
                           {FilterAttribute::Type, type}};
    if (maximum)
        attributes.insert(FilterAttribute::Max, *maximum);
    return attributes;
}

QVariantMap vectorAttributes(const Vector& defaultValue, const QString& type)
{
    return {{FilterAttribute::Class, FilterAttribute::ClassVector},
            {FilterAttribute::Default, QVariant::fromValue(defaultValue)},
            {FilterAttribute::Type, type}};
}

QVariantMap colorAttributes(const Color& defaultValue)
{
    return {{FilterAttribute::Class, FilterAttribute::ClassColor},
            {FilterAttribute::Default, QVariant::fromValue(defaultValue)},
            {FilterAttribute::Type, FilterAttribute::TypeColor}};
}

QVariantMap transformAttributes()
{
    const QVariant identity = QVariant::fromValue(AffineTransform());
    return {{FilterAttribute::Class, ClassTransform},
            {FilterAttribute::Default, identity},
            {FilterAttribute::Identity, identity},
            {FilterAttribute::Type, FilterAttribute::TypeTransform}};
}

Kernel kernelNamed(const QString& text, const QString& name)
{
    for (const Kernel& kernel : Kernel::kernelsWithString(text, name))
        if (kernel.name() == name)
            return kernel;
    return Kernel();
}

Image onPixelGrid(const Image& image)
{
    if (image.isNull() || keepsPixelCentres(image.node().get()))
        return image;
    ApplyOptions options;
    options.definition = image.definition().extent();
    options.extent = image.extent();
    return Kernel::copy().apply({QVariant::fromValue(image)}, options);
}

Rect grown(const Rect& rect, double dx, double dy)
{
    return rect.insetBy(-dx, -dy);
}

bool isIntegral(const Rect& rect)
{
    if (rect.isNull())
        return false;
    if (rect.isInfinite())
        return true;
    return isWhole(rect.minX()) && isWhole(rect.minY()) && isWhole(rect.maxX()) && isWhole(rect.maxY());
}

} // namespace pf::builtin
