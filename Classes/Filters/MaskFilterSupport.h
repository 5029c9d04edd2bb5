#pragma once

#include "Platform/Foundation/Rect.h"
#include "Platform/Image/Color.h"
#include "Platform/Image/Filter.h"
#include "Platform/Image/Kernel.h"
#include "Platform/Image/Sampler.h"
#include "Platform/Image/Vector.h"

#include <QVariant>
#include <QVariantMap>

// Small pieces the filters share: attribute records, apply options with a margin, and kernel
// arguments made from input values.
namespace MaskFilterSupport {

// A number input's attribute record: minimum, maximum, slider range, default, identity and type, each
// left out when not given (NaN, or an empty type).
struct NumberAttributes
{
    double min = qQNaN();
    double max = qQNaN();
    double sliderMin = qQNaN();
    double sliderMax = qQNaN();
    double defaultValue = qQNaN();
    double identity = qQNaN();
    QString type = pf::FilterAttribute::TypeDistance;
};
QVariantMap numberAttributes(const NumberAttributes& attributes);
// A vector input with a default and, where given, a type.
QVariantMap vectorAttributes(const pf::Vector& defaultValue, const QString& type = QString());
// A colour input with a default and, where given, a type.
QVariantMap colorAttributes(const pf::Color& defaultValue, const QString& type = QString());

// Options with the given domain and extent; with a margin, every sampler reads that many pixels
// around each destination pixel (horizontally and vertically).
pf::ApplyOptions options(const pf::Rect& definition, const pf::Rect& extent, double marginX = 0,
                         double marginY = 0);

// Options defined where the sampler's image is, over its rectangle with the origin truncated to whole
// pixels. A clamping sampler reaches to infinity; its image's own rectangle is used, which is what the
// image covers and what can be rendered.
pf::ApplyOptions domainOf(const pf::Sampler& sampler);

// The rectangle of an image, or (0, 0, 0, 0) when there is no image or it has no rectangle.
pf::Rect rectOf(const pf::Image& image);
// Options for a kernel that reads each image only at the destination's own pixels and whose output is
// defined over the image's size at the origin, the rectangle given as it is (not rounded).
pf::ApplyOptions atOriginReadingInPlace(const pf::Image& image);

// A wrapped image argument.
inline QVariant samplerArgument(const pf::Sampler& sampler)
{
    return QVariant::fromValue(sampler);
}
// A two-component position from a vector input (missing components read as 0).
QVariant pointArgument(const pf::Vector& vector);
// A four-component vector from a vector input.
QVariant rectArgument(const pf::Vector& vector);

} // namespace MaskFilterSupport
