#pragma once

#include "Platform/Foundation/Rect.h"

#include <QPointer>
#include <functional>
#include <memory>
#include <vector>

namespace pf {

class Timer;
class View;
class Window;

// Animates views (not layers): frame, alpha, bounds origin (a scrolling clip view), fading out and
// removing, fading out and hiding; and windows' frames. Changes are collected in groups with a duration, a
// timing function and a completion that runs once every animation of the group has ended (at the next turn of
// the event loop when there were none). Time comes from pf::Clock, so tests step it. A change outside any
// group animates on its own with the default duration, 0.25 s. A new animation of a view's property
// replaces the running one, starting from where that one had got to. Main thread only.
//
//     ViewAnimator::beginGrouping();
//     ViewAnimator::setDuration(ViewAnimator::slowMotionRequested() ? 2.5 : 0.25);
//     ViewAnimator::setCompletion([this] { layoutDidFinish(); });
//     ViewAnimator::animateFrame(item, newFrame);
//     ViewAnimator::endGrouping();
class ViewAnimator
{
public:
    enum class Timing
    {
        Linear,
        EaseIn,
        EaseOut,
        EaseInEaseOut,
    };

    static constexpr double defaultDuration = 0.25;

    // Groups nest; the settings apply to the innermost open group.
    static void beginGrouping();
    static void endGrouping();
    static void setDuration(double seconds);
    static void setTimingFunction(Timing timing);
    static void setCompletion(std::function<void()> completion);
    // The innermost open group's duration (the default when no group is open) and completion (empty when
    // none), so that a caller may chain its own completion onto one set before it.
    static double duration();
    static std::function<void()> completion();
    static bool isGrouping();
    // A whole group: `changes` runs inside it.
    static void runGroup(double duration, const std::function<void()>& changes,
                         std::function<void()> completion = nullptr, Timing timing = Timing::EaseInEaseOut);

    static void animateFrame(View* view, const Rect& frame);
    static void animateAlpha(View* view, double alpha);
    static void animateBoundsOrigin(View* view, Point origin);
    // A window's frame (screen coordinates), as setFrame would set it; an overlay slides inside its parent.
    static void animateWindowFrame(Window* window, const Rect& frame);
    // Fades to alpha 0, then removes the view from its superview and deletes it.
    static void fadeOutAndRemove(View* view);
    // Fades to alpha 0, then hides the view and gives it back its alpha (so showing it shows it).
    static void fadeOutAndHide(View* view);

    // Whether the modifier flags now are exactly Shift and nothing else: animations then run slowly,
    // so that a person can inspect them.
    static bool slowMotionRequested();
    // `normal`, or `slow` while slow motion is requested.
    static double durationFor(double normal, double slow) { return slowMotionRequested() ? slow : normal; }

    // Animations running now (for tests and for callers that wait).
    static int runningCount();
    // The eased progress for a linear progress t in 0..1.
    static double ease(Timing timing, double t);
};

} // namespace pf
