#pragma once

#include "Platform/Foundation/Point.h"

class QWidget;

namespace pf {
class View;
}

// The look of the editor window's controls as set, whatever is on screen while it animates. Panels
// hide controls by fading them to an alpha of 0, and a faded control must neither react nor count as
// shown: what counts is the alpha it goes to, kept with the view while the fade runs. A change made
// without animation replaces a running animation of the same property, so the last word wins.
namespace OVViewState {

// The alpha last set through setAlpha() (the target of a running fade), else the view's alpha now.
double modelAlpha(const QWidget* view);
// Sets the alpha at once, or fades to it (in the animation group open now, if any).
void setAlpha(pf::View* view, double alpha, bool animated = false);
// False as soon as the view or one of its superviews has a model alpha of exactly 0; true otherwise,
// also for a widget that is not a view.
bool isVisible(const QWidget* view);
// Moves the view's frame origin over `duration` seconds (0: at once).
void setFrameOrigin(pf::View* view, pf::Point origin, double duration = 0);

} // namespace OVViewState
