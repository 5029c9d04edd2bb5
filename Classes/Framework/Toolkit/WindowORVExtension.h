#pragma once

#include "Platform/Foundation/Rect.h"

#include <QImage>
#include <QRect>

namespace pf {
class Window;
}

// Pictures of windows, and the end of a window an owner keeps. Main thread only.
namespace WindowORVExtension {

// Deletes a window its owner is done with (nothing for none), taking its delegate away first so that
// the closing window does not call back into an owner on its way out.
void deleteWithoutDelegate(pf::Window* window);

// The window as it looks now, at device pixels, without the overlay windows floating over it (so the
// loupe can picture what lies under it), cropped to the content view unless the window is full screen.
QImage newCGImageScreenshot(pf::Window& window);

// The part of a window's picture (`imageSize` pixels, rows from the top) that shows the content view
// (`contentFrame` in the window's base coordinates, y-up, at `scale` pixels per point): all of it in
// full screen.
QRect screenshotCropRect(QSize imageSize, const pf::Rect& contentFrame, double scale, bool fullScreen);

} // namespace WindowORVExtension
