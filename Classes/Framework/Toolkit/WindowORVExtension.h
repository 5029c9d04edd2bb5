#pragma once

#include "Platform/Foundation/Rect.h"

#include <QImage>
#include <QRect>

namespace pf {
class Window;
}

// A picture of a window. Main thread only.
namespace WindowORVExtension {

// The window as it looks now, at device pixels, without the overlay windows floating over it (so the
// loupe can picture what lies under it), cropped to the content view unless the window is full screen.
QImage newCGImageScreenshot(pf::Window& window);

// The part of a window's picture (`imageSize` pixels, rows from the top) that shows the content view
// (`contentFrame` in the window's base coordinates, y-up, at `scale` pixels per point): all of it in
// full screen.
QRect screenshotCropRect(QSize imageSize, const pf::Rect& contentFrame, double scale, bool fullScreen);

} // namespace WindowORVExtension
