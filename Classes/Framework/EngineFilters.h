#pragma once

#include "Platform/Foundation/AffineTransform.h"
#include "Platform/Foundation/Rect.h"
#include "Platform/Image/Filter.h"
#include "Platform/Image/Image.h"

#include <QString>

// The engine's built-in filters that the image helpers call by name ("CIAffineTransform", "CICrop",
// ...), each set up with its defaults and its documented inputs. Where a name is not registered the
// same result comes from the image's own operations (transform, crop, clamp, composite), so the helpers
// work whichever filters a program registered.
namespace EngineFilters {

// A new filter of that name, or null when none is registered (nothing is logged).
pf::FilterPtr registered(const QString& name);

// "CIAffineTransform": the image mapped by the transform.
pf::Image affineTransform(const pf::Image& image, const pf::AffineTransform& transform);
// "CILanczosScaleTransform": scaled by `scale` vertically and by scale * aspectRatio horizontally.
pf::Image lanczosScale(const pf::Image& image, double scale, double aspectRatio);
// "CIAffineClamp": the edge pixels repeated outward without end, then mapped by the transform.
pf::Image affineClamp(const pf::Image& image, const pf::AffineTransform& transform);
// "CICrop".
pf::Image crop(const pf::Image& image, const pf::Rect& rect);
// "CISourceOverCompositing": the image over the background.
pf::Image sourceOver(const pf::Image& image, const pf::Image& background);
// "CIAreaAverage" over the extent: a 1 x 1 image; null when the filter is not registered.
pf::Image areaAverage(const pf::Image& image, const pf::Rect& extent);

} // namespace EngineFilters
