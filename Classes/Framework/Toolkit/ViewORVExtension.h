#pragma once

#include "Platform/Foundation/Rect.h"

#include <QPointer>
#include <QString>
#include <functional>
#include <utility>

class QPainter;

class QWidget;

namespace pf {
class Layer;
class TrackingArea;
class View;
class Window;
} // namespace pf

// Small operations on views and layers.
namespace ViewORVExtension {

// What most appearance setters of views and layers do: store the new value, then have the whole
// target drawn again.
template <typename Target, typename Field, typename Value>
void setAndRedisplay(Target& target, Field& field, Value&& value)
{
    field = std::forward<Value>(value);
    target.setNeedsDisplay();
}

// Gives a painted view (an OVShadowedView) the shared catalog's shadow of that name, none for an unknown
// name, and, when it draws text, the text colour of that shadow. Other views are left alone.
void setShadowName(QWidget* view, const QString& name);

// Puts `view` in `slot` instead of the view kept there, which leaves its superview and is deleted
// later. False, with nothing changed, when `view` is the one kept already.
bool replaceOwnedView(QPointer<pf::View>& slot, pf::View* view);

// Runs `call` at the next turn of the event loop, once however often it is asked for until then
// (`pending` is the view's own flag for it); a view deleted meanwhile takes the call with it. For the
// hover a view finds when its tracking areas are rebuilt under a still pointer: rebuilds happen inside
// setting a frame, adding a subview or an event Qt is delivering, and the hover report may delete the
// view or whatever was placing it.
void atNextTurn(pf::View* view, bool& pending, std::function<void()> call);

// Removes the tracking area the view keeps in `area`, if any, and forgets it there.
void dropTrackingArea(pf::View& view, pf::TrackingArea*& area);

// The rotation of a layer as seen from the root of its tree, in degrees in (-180, 180]: the direction
// of its x axis there. Scaling does not change it.
double globalLayerRotation(const pf::Layer& layer);

// The device pixels per point the view draws with.
double contentsScale(const QWidget* view);

// A view's frame and alpha set directly, or animated (through pf::ViewAnimator) when `animated`.
class Animator
{
public:
    Animator(pf::View* view, bool animated) : m_view(view), m_animated(animated) {}
    void setFrame(const pf::Rect& frame) const;
    void setFrameOrigin(pf::Point origin) const;
    void setAlphaValue(double alpha) const;

private:
    pf::View* m_view;
    bool m_animated;
};
inline Animator viewAnimator(pf::View* view, bool animated)
{
    return Animator(view, animated);
}

} // namespace ViewORVExtension

namespace ViewORVExtension {

// The window a view is seen in: its own, or, for a view shown in a layer of a 3D view (which is a
// window never shown), that 3D view's window.
pf::Window* displayWindow(const pf::View* view);
// How far the view is turned on screen, in degrees: the rotation of the layer showing it when a 3D
// view hosts it (or an ancestor of it), else 0.
double onScreenRotation(const pf::View* view);
// Takes the view's hover area `old` down (when there is one) and, unless `rect` is null, puts up one
// over `rect` that reports entering, leaving and moving while the window is key; returns the new area
// (null when none was put up) for the view to keep.
// Runs `draw`, inside the blue glow of a handle under the pointer when `highlighted` (`area` is what the
// glow may cover).
void drawHighlighted(QPainter& painter, bool highlighted, const pf::Rect& area,
                     const std::function<void(QPainter&)>& draw);
pf::TrackingArea* replaceHoverArea(pf::View* view, pf::TrackingArea* old, const pf::Rect& rect);

} // namespace ViewORVExtension
