#pragma once

#include "Platform/Foundation/Rect.h"

#include <functional>

namespace pf {
class View;
}

// Scrolling a rectangle into view as little as possible. Main thread only.
namespace ScrollViewORVExtension {

// The bounds origin that shows `frame` (in the coordinates of the visible rectangle, y-up), per axis:
// an axis where the frame lies inside the visible extent, or covers it, stays; otherwise the frame's
// low or high edge is aligned with the visible one. Horizontally, a frame beyond the visible left edge
// aligns its left edge when `topLeftVisible` is set or it is wider, else its right edge; a frame
// starting before it aligns its left edge when it fits, else its right edge. Vertically, a frame above
// the visible bottom aligns its top when `topLeftVisible` is set or it fits, else its bottom; a frame
// starting below it aligns its bottom when it fits, else its top.
pf::Point scrolledOrigin(const pf::Rect& frame, const pf::Rect& visible, bool topLeftVisible);

// Moves the clip view's bounds origin to scrolledOrigin() of its bounds (animated with `useAnimator`),
// then calls `reflectScrolledClipView` so the scroll view follows. `frame` is in the clip view's
// coordinates, which are the document's.
void scrollShowingFrame(pf::View& clipView, const pf::Rect& frame, bool topLeftVisible, bool useAnimator,
                        const std::function<void()>& reflectScrolledClipView);

} // namespace ScrollViewORVExtension
