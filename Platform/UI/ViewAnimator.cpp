#include "Platform/UI/ViewAnimator.h"

#include "Platform/UI/Clock.h"
#include "Platform/UI/Event.h"
#include "Platform/UI/Timer.h"
#include "Platform/UI/View.h"
#include "Platform/UI/Window.h"

#include <QCoreApplication>
#include <algorithm>
#include <cmath>
#include <unordered_map>

namespace pf {

namespace {

enum class Property
{
    Frame,
    Alpha,
    BoundsOrigin,
    WindowFrame,
};
enum class Finish
{
    Nothing,
    RemoveAndDelete,
    HideAndRestoreAlpha,
};

struct GroupState
{
    int pending = 0; // animations not yet ended
    bool closed = false;
    std::function<void()> completion;
};

struct Animation
{
    QPointer<View> view;
    QPointer<Window> window;      // a window's frame instead of a view's property
    const void* target = nullptr; // the view or window, compared without reaching into its guard
    Property property;
    Rect fromRect, toRect; // frames; bounds origins use the origins
    double fromValue = 0, toValue = 0;
    double start = 0, duration = 0;
    ViewAnimator::Timing timing = ViewAnimator::Timing::EaseInEaseOut;
    Finish finish = Finish::Nothing;
    double restoreAlpha = 1;
    std::shared_ptr<GroupState> group;
    // Given way to a newer animation of the same property (or ended) while a tick walks the list.
    bool replaced = false;
};

struct OpenGroup
{
    double duration = ViewAnimator::defaultDuration;
    ViewAnimator::Timing timing = ViewAnimator::Timing::EaseInEaseOut;
    std::shared_ptr<GroupState> state = std::make_shared<GroupState>();
};

struct Animator
{
    std::vector<OpenGroup> open;
    // Animations that run, in the order they started; one given way or ended during a tick is marked
    // `replaced` and dropped when the list closes up at the next tick.
    std::vector<Animation> running;
    // The animations a tick is stepping (taken out of `running`), or null outside a tick.
    std::vector<Animation>* ticking = nullptr;
    // Where the latest animation of each target and property lies, so that a new one finds the one it
    // replaces without a search: a layout animating thousands of views, again while the last one runs,
    // would otherwise search thousands of animations for each.
    struct Key
    {
        const void* target;
        Property property;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash
    {
        std::size_t operator()(const Key& key) const
        {
            return std::hash<const void*>()(key.target) ^ (std::size_t(key.property) << 1);
        }
    };
    struct Place
    {
        bool inTicking;
        std::size_t index;
    };
    std::unordered_map<Key, Place, KeyHash> latest;
    std::shared_ptr<Timer> ticker;

    static Key keyOf(const Animation& animation) { return {animation.target, animation.property}; }
    Animation* at(const Place& place)
    {
        if (place.inTicking)
            return ticking && place.index < ticking->size() ? &(*ticking)[place.index] : nullptr;
        return place.index < running.size() ? &running[place.index] : nullptr;
    }
    // Forgets where `animation` lies when it is the latest of its target and property.
    void forget(const Animation& animation)
    {
        const auto found = latest.find(keyOf(animation));
        if (found != latest.end() && at(found->second) == &animation)
            latest.erase(found);
    }
};

Animator& animator()
{
    static Animator instance;
    return instance;
}

double lerp(double a, double b, double t)
{
    return a + (b - a) * t;
}

Rect lerp(const Rect& from, const Rect& to, double t)
{
    return Rect(lerp(from.minX(), to.minX(), t), lerp(from.minY(), to.minY(), t),
                lerp(from.width(), to.width(), t), lerp(from.height(), to.height(), t));
}

bool targetGone(const Animation& animation)
{
    return animation.property == Property::WindowFrame ? !animation.window : !animation.view;
}

void apply(Animation& animation, double t)
{
    if (animation.property == Property::WindowFrame) {
        if (Window* window = animation.window)
            window->setFrame(lerp(animation.fromRect, animation.toRect, t));
        return;
    }
    View* view = animation.view;
    if (!view)
        return;
    switch (animation.property) {
    case Property::Frame:
        view->setFrame(lerp(animation.fromRect, animation.toRect, t));
        break;
    case Property::Alpha:
        view->setAlphaValue(lerp(animation.fromValue, animation.toValue, t));
        break;
    case Property::BoundsOrigin:
        view->setBoundsOrigin(Point(lerp(animation.fromRect.minX(), animation.toRect.minX(), t),
                                    lerp(animation.fromRect.minY(), animation.toRect.minY(), t)));
        break;
    case Property::WindowFrame:
        break;
    }
}

void groupAnimationEnded(const std::shared_ptr<GroupState>& group)
{
    if (--group->pending == 0 && group->closed && group->completion) {
        auto completion = std::move(group->completion);
        group->completion = nullptr;
        completion();
    }
}

void finish(Animation& animation)
{
    apply(animation, 1);
    if (View* view = animation.view) {
        if (animation.finish == Finish::RemoveAndDelete) {
            view->removeFromSuperview();
            view->deleteLater();
        } else if (animation.finish == Finish::HideAndRestoreAlpha) {
            view->hide();
            view->setAlphaValue(animation.restoreAlpha);
        }
    }
}

void tick()
{
    Animator& a = animator();
    const double now = Clock::current().now();
    // Each step sets a frame or an alpha, and the views' own hooks may start, replace or finish
    // animations (and run completions) meanwhile: the tick steps the animations it took out, new ones
    // gather in `running`, and one a newer animation replaces is marked and skipped. Ended animations
    // leave the list before their finishing work runs, which may start new ones.
    std::vector<Animation> current;
    current.swap(a.running);
    a.ticking = &current;
    for (auto& [key, place] : a.latest)
        place.inTicking = true;
    std::vector<Animation> ended;
    for (std::size_t i = 0; i < current.size(); ++i) {
        if (current[i].replaced)
            continue;
        const double t = current[i].duration > 0 ? (now - current[i].start) / current[i].duration : 1;
        if (t >= 1 || targetGone(current[i])) {
            a.forget(current[i]);
            ended.push_back(std::move(current[i]));
            current[i].replaced = true;
            continue;
        }
        apply(current[i], ViewAnimator::ease(current[i].timing, std::max(0.0, t)));
    }
    a.ticking = nullptr;
    // Thousands ending together must not each shift the rest: the others close up in one pass, and the
    // latest of each target and property is found again.
    std::vector<Animation> kept;
    kept.reserve(current.size() + a.running.size());
    for (Animation& animation : current)
        if (!animation.replaced)
            kept.push_back(std::move(animation));
    for (Animation& animation : a.running)
        if (!animation.replaced)
            kept.push_back(std::move(animation));
    a.running = std::move(kept);
    a.latest.clear();
    for (std::size_t i = 0; i < a.running.size(); ++i)
        a.latest[Animator::keyOf(a.running[i])] = {false, i};
    if (a.running.empty() && a.ticker) {
        a.ticker->invalidate();
        a.ticker.reset();
    }
    for (Animation& animation : ended) {
        finish(animation);
        groupAnimationEnded(animation.group);
    }
}

void startTicker()
{
    Animator& a = animator();
    if (a.ticker && a.ticker->isValid())
        return;
    a.ticker = Timer::scheduled(1.0 / 60, true, [](Timer&) { tick(); });
}

void add(Animation animation)
{
    Animator& a = animator();
    const bool ownGroup = a.open.empty();
    if (ownGroup)
        ViewAnimator::beginGrouping();
    // Finishing at once, and a replaced animation's completion, may open groups of their own (a view
    // laying out its subviews), which moves the open groups: the group is held by its state from here.
    const OpenGroup& group = a.open.back();
    const std::shared_ptr<GroupState> state = group.state;
    animation.duration = group.duration;
    animation.timing = group.timing;
    animation.group = state;
    animation.start = Clock::current().now();
    animation.target = animation.window ? static_cast<const void*>(animation.window.data())
                                        : static_cast<const void*>(animation.view.data());
    // A running animation of the same property gives way; its group counts it as ended. During a tick
    // it may be among those the tick is stepping.
    const auto same = [&](const Animation& other) {
        return !other.replaced && other.target == animation.target && other.property == animation.property &&
               other.view == animation.view && other.window == animation.window;
    };
    std::shared_ptr<GroupState> replacedGroup;
    if (const auto found = a.latest.find(Animator::keyOf(animation)); found != a.latest.end()) {
        Animation* other = a.at(found->second);
        if (other && same(*other)) {
            replacedGroup = other->group;
            other->replaced = true;
            a.latest.erase(found);
        }
    }
    if (replacedGroup)
        groupAnimationEnded(replacedGroup);
    ++state->pending;
    if (animation.duration <= 0) {
        finish(animation);
        --state->pending; // the group's completion waits for endGrouping()
    } else {
        a.latest[Animator::keyOf(animation)] = {false, a.running.size()};
        a.running.push_back(std::move(animation));
        startTicker();
    }
    if (ownGroup)
        ViewAnimator::endGrouping();
}

} // namespace

void ViewAnimator::beginGrouping()
{
    animator().open.push_back(OpenGroup());
}

void ViewAnimator::endGrouping()
{
    Animator& a = animator();
    if (a.open.empty())
        return;
    std::shared_ptr<GroupState> state = a.open.back().state;
    a.open.pop_back();
    state->closed = true;
    if (state->pending == 0 && state->completion) {
        // Nothing to wait for: the completion runs after the current event, as it would after a frame.
        auto completion = std::move(state->completion);
        state->completion = nullptr;
        Timer::afterThisEvent(completion);
    }
}

void ViewAnimator::setDuration(double seconds)
{
    if (!animator().open.empty())
        animator().open.back().duration = std::max(0.0, seconds);
}

void ViewAnimator::setTimingFunction(Timing timing)
{
    if (!animator().open.empty())
        animator().open.back().timing = timing;
}

void ViewAnimator::setCompletion(std::function<void()> completion)
{
    if (!animator().open.empty())
        animator().open.back().state->completion = std::move(completion);
}

double ViewAnimator::duration()
{
    return animator().open.empty() ? defaultDuration : animator().open.back().duration;
}

std::function<void()> ViewAnimator::completion()
{
    return animator().open.empty() ? nullptr : animator().open.back().state->completion;
}

bool ViewAnimator::isGrouping()
{
    return !animator().open.empty();
}

void ViewAnimator::runGroup(double duration, const std::function<void()>& changes,
                            std::function<void()> completion, Timing timing)
{
    beginGrouping();
    setDuration(duration);
    setTimingFunction(timing);
    setCompletion(std::move(completion));
    changes();
    endGrouping();
}

void ViewAnimator::animateFrame(View* view, const Rect& frame)
{
    add({.view = view,
         .property = Property::Frame,
         .fromRect = view->frame(),
         .toRect = frame.standardized()});
}

void ViewAnimator::animateWindowFrame(Window* window, const Rect& frame)
{
    add({.window = window,
         .property = Property::WindowFrame,
         .fromRect = window->frame(),
         .toRect = frame.standardized()});
}

void ViewAnimator::animateAlpha(View* view, double alpha)
{
    add({.view = view,
         .property = Property::Alpha,
         .fromValue = view->alphaValue(),
         .toValue = std::clamp(alpha, 0.0, 1.0)});
}

void ViewAnimator::animateBoundsOrigin(View* view, Point origin)
{
    add({.view = view,
         .property = Property::BoundsOrigin,
         .fromRect = Rect(view->bounds().origin, Size()),
         .toRect = Rect(origin, Size())});
}

namespace {

void fadeOut(View* view, Finish finish)
{
    add({.view = view,
         .property = Property::Alpha,
         .fromValue = view->alphaValue(),
         .toValue = 0,
         .finish = finish,
         .restoreAlpha = view->alphaValue()});
}

} // namespace

void ViewAnimator::fadeOutAndRemove(View* view)
{
    fadeOut(view, Finish::RemoveAndDelete);
}

void ViewAnimator::fadeOutAndHide(View* view)
{
    fadeOut(view, Finish::HideAndRestoreAlpha);
}

bool ViewAnimator::slowMotionRequested()
{
    return (Event::currentModifierFlags() & Modifier::DeviceIndependentMask) == Modifier::Shift;
}

int ViewAnimator::runningCount()
{
    const Animator& a = animator();
    const auto live = [](const std::vector<Animation>& list) {
        return int(std::count_if(list.begin(), list.end(),
                                 [](const Animation& animation) { return !animation.replaced; }));
    };
    return live(a.running) + (a.ticking ? live(*a.ticking) : 0);
}

double ViewAnimator::ease(Timing timing, double t)
{
    t = std::clamp(t, 0.0, 1.0);
    // Cubic Bézier curves through (0,0) and (1,1) with the platform's control points, solved for x = t.
    auto bezier = [t](double x1, double y1, double x2, double y2) {
        auto coordinate = [](double p1, double p2, double s) {
            return 3 * (1 - s) * (1 - s) * s * p1 + 3 * (1 - s) * s * s * p2 + s * s * s;
        };
        double low = 0, high = 1, s = t;
        for (int i = 0; i < 50; ++i) {
            s = (low + high) / 2;
            if (coordinate(x1, x2, s) < t)
                low = s;
            else
                high = s;
        }
        return coordinate(y1, y2, s);
    };
    switch (timing) {
    case Timing::Linear:
        return t;
    case Timing::EaseIn:
        return bezier(0.42, 0, 1, 1);
    case Timing::EaseOut:
        return bezier(0, 0, 0.58, 1);
    case Timing::EaseInEaseOut:
        return bezier(0.42, 0, 0.58, 1);
    }
    return t;
}

} // namespace pf
