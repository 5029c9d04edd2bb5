#pragma once

#include "Platform/Foundation/Size.h"

#include <QImage>

// The size of an image in points: its pixels divided by its device pixel ratio (a "@2x" image is as
// large as its plain sibling). A null image has the zero size.
namespace OVImageSize {

inline pf::Size pointSize(const QImage& image)
{
    if (image.isNull())
        return pf::Size();
    const QSizeF size = image.deviceIndependentSize();
    return pf::Size(size.width(), size.height());
}

} // namespace OVImageSize
