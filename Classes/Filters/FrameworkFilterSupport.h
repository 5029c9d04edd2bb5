#pragma once

#include "Platform/Image/Filter.h"
#include "Platform/Image/Image.h"
#include "Platform/Image/Kernel.h"

#include <QVariantList>
#include <QVariantMap>
#include <functional>

// What the framework's filters share: applying a kernel where one image is, and running the engine's
// built-in filters by name.
namespace FrameworkFilterSupport {

// The kernel applied to `arguments`, defined where `reference` is and with its extent as the apply call
// takes it (origin truncated to whole pixels). A null kernel gives no image.
pf::Image applyOver(const pf::Kernel& kernel, const QVariantList& arguments, const pf::Image& reference,
                    std::function<pf::Rect(int, const pf::Rect&)> regionOfInterest = {});

// Options for a kernel that lays `image` over `background`: defined where either is, over the union of
// their rectangles (origin truncated to whole pixels; an infinite union stays infinite).
pf::ApplyOptions overBoth(const pf::Image& image, const pf::Image& background);

// The output of the built-in (or any registered) filter `name` with its defaults and then `inputs`.
pf::Image builtin(const QString& name, const QVariantMap& inputs);

inline QVariant var(const pf::Image& image)
{
    return QVariant::fromValue(image);
}

// The Gaussian blur (standard deviation `sigma` pixels) of an image with its edge pixels repeated
// outward, so that its border is not pulled towards transparency, cut back to the image's extent.
pf::Image blurWithinExtent(const pf::Image& image, double sigma);

// The Gaussian blur of a picture, cut to its extent, without repeating its edges: within three
// sigmas of the border the coverage fades, so read its colours unpremultiplied (which makes them the
// mean of the picture's own pixels there). A picture in memory is blurred this way far faster than
// with its edges repeated.
pf::Image blurOfPicture(const pf::Image& image, double sigma);

// A frame's shadow: the built-in blur `blurName` of its mask over `radius` pixels, inverted, so the
// shadow is dark where the blurred mask is light, cut to `extent`.
pf::Image invertedBlurOfMask(const QString& blurName, const pf::Image& mask, double radius,
                             const pf::Rect& extent);

// Whether a rectangle has a finite, positive width and height.
bool hasArea(const pf::Rect& rect);

} // namespace FrameworkFilterSupport
