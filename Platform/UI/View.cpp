#include "Platform/UI/View.h"

#include "Platform/Foundation/Assert.h"
#include "Platform/UI/Event.h"
#include "Platform/UI/EventRouter.h"
#include "Platform/UI/TrackingArea.h"
#include "Platform/UI/Window.h"

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QToolTip>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <utility>

namespace pf {

namespace {

// Placing and resizing views may reach a delegate (an image view reports its autoresizing, a subclass
// may do more), which may delete any view: loops that place views hold them weakly.
QList<QPointer<View>> weakly(const QList<View*>& views)
{
    QList<QPointer<View>> weak;
    weak.reserve(views.size());
    for (View* view : views)
        weak.append(view);
    return weak;
}

QRect roundedRect(const QRectF& rect)
{
    const int left = int(std::lround(rect.left()));
    const int top = int(std::lround(rect.top()));
    const int right = int(std::lround(rect.right()));
    const int bottom = int(std::lround(rect.bottom()));
    return QRect(left, top, std::max(0, right - left), std::max(0, bottom - top));
}

Rect rectThrough(Point a, Point b)
{
    return Rect(std::min(a.x, b.x), std::min(a.y, b.y), std::abs(a.x - b.x), std::abs(a.y - b.y));
}

// The rectangle through two opposite corners of `rect` as `convert` maps them; a null rectangle stays null.
template <typename Convert> Rect convertedRect(const Rect& rect, const Convert& convert)
{
    if (rect.isNull())
        return rect;
    const Rect r = rect.standardized();
    return rectThrough(convert(r.origin), convert(Point(r.maxX(), r.maxY())));
}

// The widget that holds a window's base coordinate system: the nearest pf::Window, else Qt's window.
QWidget* baseWidgetOf(const QWidget* widget)
{
    for (QWidget* w = const_cast<QWidget*>(widget); w; w = w->parentWidget())
        if (qobject_cast<Window*>(w))
            return w;
    return widget->window();
}

// Hidden by a call, as opposed to not shown yet (a window never shown counts as visible here, as a
// view in a window that is not on screen does).
bool isExplicitlyHidden(const QWidget* widget)
{
    return widget->isHidden() && widget->testAttribute(Qt::WA_WState_ExplicitShowHide);
}

} // namespace

View::View(const Rect& frame, QWidget* parent) : QWidget(parent), m_frame(frame.standardized())
{
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    EventRouter::install();
    placeWidget();
}

View::~View()
{
    EventRouter::viewWillBeDestroyed(this);
}

// Hierarchy ------------------------------------------------------------------------------------------

View* View::superview() const
{
    QWidget* parent = parentWidget();
    if (!parent || isWindow())
        return nullptr;
    // A window is no view: one cast answers both (this runs for every frame and every conversion).
    return qobject_cast<View*>(parent);
}

QList<View*> View::subviews() const
{
    QList<View*> views;
    for (QObject* child : children())
        if (auto* view = qobject_cast<View*>(child); view && !view->isWindow())
            views.append(view);
    return views;
}

void View::addSubview(View* view)
{
    PF_ASSERT(view && view != this && !isDescendantOf(view), "a view cannot contain itself");
    view->moveInto(this, Ordering::Above, nullptr);
}

void View::addSubview(View* view, Ordering place, View* relativeTo)
{
    PF_ASSERT(view && view != this && !isDescendantOf(view), "a view cannot contain itself");
    PF_ASSERT(!relativeTo || relativeTo->parentWidget() == this, "the reference view must be a subview");
    view->moveInto(this, place, relativeTo);
}

void View::removeFromSuperview()
{
    if (!parentWidget())
        return;
    moveInto(nullptr, Ordering::Above, nullptr);
}

void View::moveInto(QWidget* newParent, Ordering place, View* relativeTo)
{
    auto* newSuperview = qobject_cast<View*>(newParent);
    Window* oldWindow = window();
    Window* newWindow =
        newParent ? (qobject_cast<Window*>(newParent) ? qobject_cast<Window*>(newParent)
                                                      : (newSuperview ? newSuperview->window() : nullptr))
                  : nullptr;
    const bool windowChanges = oldWindow != newWindow;
    // The hooks are the views' own, and views tell their owners from them: any of the views, the new
    // parent or the reference sibling may be deleted on the way. What went is left alone; this view
    // gone, the move ends.
    const QPointer<View> self(this);
    const QPointer<QWidget> parentGuard(newParent);
    const QPointer<View> relativeGuard(relativeTo);
    auto forEachView = [](View* root, const auto& call) {
        QList<QPointer<View>> pending{root};
        while (!pending.isEmpty()) {
            const QPointer<View> view = pending.takeFirst();
            if (!view)
                continue;
            call(view.data());
            if (view)
                for (View* subview : view->subviews())
                    pending.append(subview);
        }
    };
    const auto parentGone = [&] { return newParent && !parentGuard; };
    if (windowChanges)
        forEachView(this, [newWindow](View* view) { view->viewWillMoveToWindow(newWindow); });
    if (!self || parentGone())
        return;
    viewWillMoveToSuperview(newSuperview);
    if (!self || parentGone())
        return;
    if (relativeTo && !relativeGuard)
        relativeTo = nullptr;

    // Reparenting hides a widget; a view shows in its new place unless it was hidden on purpose. A widget
    // given a new parent is its topmost child already (raising it would look for it among all of them).
    const bool wasHidden = isExplicitlyHidden(this);
    const bool reparented = newParent != parentWidget();
    if (reparented)
        setParent(newParent);
    if (newParent) {
        if (relativeTo && place == Ordering::Below)
            stackUnder(relativeTo);
        else if (relativeTo) {
            // Above a sibling: under the sibling that follows it, or on top when there is none.
            const QList<View*> siblings = newSuperview ? newSuperview->subviews() : QList<View*>();
            const qsizetype at = siblings.indexOf(relativeTo);
            View* next = nullptr;
            for (qsizetype i = at + 1; i < siblings.size(); ++i)
                if (siblings[i] != this) {
                    next = siblings[i];
                    break;
                }
            if (next)
                stackUnder(next);
            else if (!reparented)
                raise();
        } else if (!reparented) {
            raise();
        }
        placeWidget();
        if (!wasHidden)
            show();
        if (!self)
            return;
    }

    viewDidMoveToSuperview();
    if (!self)
        return;
    placeShownSubviews();
    if (!self)
        return;
    if (windowChanges)
        forEachView(this, [](View* view) {
            const QPointer<View> guard(view);
            view->viewDidMoveToWindow();
            if (guard)
                view->rebuildTrackingAreas();
        });
    else
        rebuildTrackingAreas();
}

bool View::isDescendantOf(const View* view) const
{
    for (const View* v = this; v; v = v->superview())
        if (v == view)
            return true;
    return false;
}

Window* View::window() const
{
    for (QWidget* w = parentWidget(); w; w = w->parentWidget())
        if (auto* window = qobject_cast<Window*>(w))
            return window;
    return nullptr;
}

Responder* View::defaultNextResponder() const
{
    if (View* view = superview())
        return view;
    return window();
}

// Geometry -------------------------------------------------------------------------------------------

Rect View::frame() const
{
    QWidget* parent = parentWidget();
    if (parent && !superview() && !isWindow() && !qobject_cast<Window*>(parent)) {
        // A superview that is not ours sets the geometry; read the frame from it, y-up.
        const QRect g = geometry();
        return Rect(g.x(), parent->height() - g.y() - g.height(), g.width(), g.height());
    }
    return m_frame;
}

void View::setFrame(const Rect& newFrame)
{
    const Rect frame = newFrame.standardized();
    const Size oldSize = this->frame().size;
    if (frame == this->frame())
        return;
    m_frame = frame;
    placeWidget();
    if (!(oldSize == frame.size))
        frameDidChange(oldSize);
    else
        rebuildTrackingAreas();
}

void View::setFrameOrigin(Point origin)
{
    setFrame(Rect(origin, frame().size));
}

void View::setFrameSize(Size size)
{
    setFrame(Rect(frame().origin, size));
}

Rect View::bounds() const
{
    return Rect(m_boundsOrigin, frame().size);
}

void View::setBoundsOrigin(Point origin)
{
    if (origin == m_boundsOrigin)
        return;
    m_boundsOrigin = origin;
    const QPointer<View> self(this);
    for (const QPointer<View>& view : weakly(subviews()))
        if (view)
            view->placeWidget();
    if (!self)
        return;
    update();
    rebuildTrackingAreas();
    if (self)
        updateChildTrackingAreasRecursively();
    if (self)
        boundsOriginDidChange();
}

void View::setFlipped(bool flipped)
{
    if (flipped == m_flipped)
        return;
    m_flipped = flipped;
    const QPointer<View> self(this);
    for (const QPointer<View>& view : weakly(subviews()))
        if (view)
            view->placeWidget();
    if (self)
        update();
}

Rect View::visibleRect() const
{
    Rect visible = convertRectToView(bounds(), nullptr);
    for (const View* ancestor = superview(); ancestor; ancestor = ancestor->superview())
        visible = visible.intersected(ancestor->convertRectToView(ancestor->bounds(), nullptr));
    if (visible.isNull())
        return Rect(m_boundsOrigin, Size(0, 0));
    return convertRectFromView(visible, nullptr);
}

void View::placeWidget(bool evenOutOfSight)
{
    QRect geometry;
    QWidget* parent = parentWidget();
    View* view = nullptr;
    if (!parent || isWindow()) {
        geometry = QRect(pos(), roundedRect(QRectF(0, 0, m_frame.width(), m_frame.height())).size());
    } else if ((view = superview())) {
        geometry = roundedRect(view->rectToWidget(m_frame));
    } else {
        geometry = roundedRect(
            QRectF(m_frame.minX(), parent->height() - m_frame.maxY(), m_frame.width(), m_frame.height()));
    }
    const QRect before = this->geometry();
    if (geometry == before) {
        m_placementDeferred = false;
        return;
    }
    if (view && view->m_placesOnlyShownSubviews && !evenOutOfSight) {
        // Out of sight where it was and where it goes: the widget can wait until it comes into view.
        const QRect shown = view->shownRect();
        if (!geometry.intersects(shown) && !before.intersects(shown)) {
            m_placementDeferred = true;
            return;
        }
    }
    const bool wasDeferred = std::exchange(m_placementDeferred, false);
    m_placing = true;
    setGeometry(geometry);
    m_placing = false;
    if (wasDeferred && geometry.size() != before.size()) {
        // While deferred, subviews were placed against the widget's old height (they hang from its lower
        // left): they follow now.
        for (const QPointer<View>& subview : weakly(subviews()))
            if (subview)
                subview->placeWidget();
    } else if (geometry.size() == before.size()) {
        // What this view shows changed (Qt reports a move only once the widget is shown); a new size
        // re-places every subview when the frame change is handled.
        placeShownSubviews();
    }
    if (wasDeferred) {
        // Tracking areas waited too.
        const QPointer<View> self(this);
        rebuildTrackingAreas();
        if (self)
            updateChildTrackingAreasRecursively();
    }
}

QRect View::shownRect() const
{
    QRect shown = rect();
    if (const QWidget* parent = parentWidget(); parent && !isWindow())
        shown &= QRect(-pos(), parent->size());
    return shown;
}

void View::setPlacesOnlyShownSubviews(bool flag)
{
    m_placesOnlyShownSubviews = flag;
    if (!flag)
        placeShownSubviews(true);
}

void View::placeShownSubviews(bool all)
{
    if (!m_placesOnlyShownSubviews && !all)
        return;
    const QRect shown = shownRect();
    // A frame within a point of the shown part may round into it.
    const Rect shownFrames = rectFromWidget(QRectF(shown)).insetBy(-1, -1);
    QList<QPointer<View>> coming;
    for (QObject* child : children()) {
        auto* view = qobject_cast<View*>(child);
        if (!view || !view->m_placementDeferred)
            continue;
        // Still out of sight, its widget as well as its frame: nothing to do (the cheap test of hundreds).
        if (!all && !view->m_frame.intersects(shownFrames) && !view->geometry().intersects(shown))
            continue;
        coming.append(view);
    }
    for (const QPointer<View>& view : coming)
        if (view)
            view->placeWidget(all);
}

void View::frameDidChange(Size oldSize)
{
    const QPointer<View> self(this);
    if (m_autoresizesSubviews)
        resizeSubviewsWithOldSize(oldSize);
    if (!self)
        return;
    // Subviews are placed from the lower left: a new height moves them all in widget coordinates. A
    // subview that shows only part of its own may now show another part.
    for (const QPointer<View>& view : weakly(subviews())) {
        if (view)
            view->placeWidget();
        if (view)
            view->placeShownSubviews();
    }
    if (!self)
        return;
    update();
    rebuildTrackingAreas();
    if (self)
        updateChildTrackingAreasRecursively();
}

void View::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (m_placing)
        return;
    // Qt sized the widget itself (a layout, a window manager, a direct call): adopt its size.
    const Size oldSize = m_frame.size;
    const Size newSize(width(), height());
    const QSize expected = roundedRect(QRectF(0, 0, oldSize.width, oldSize.height)).size();
    if (size() == expected)
        return;
    if (View* view = superview()) {
        // Keep the top edge where Qt put it.
        const Rect placed = view->rectFromWidget(QRectF(geometry()));
        m_frame = placed;
    } else {
        m_frame.size = newSize;
        if (QWidget* parent = parentWidget(); parent && !isWindow())
            m_frame = frame();
    }
    frameDidChange(oldSize);
}

void View::moveEvent(QMoveEvent* event)
{
    QWidget::moveEvent(event);
    if (m_placing || isWindow())
        return;
    // Qt moved the widget: what it shows of its subviews changed.
    placeShownSubviews();
    if (View* view = superview()) {
        const QRect expected = roundedRect(view->rectToWidget(m_frame));
        if (geometry() != expected)
            m_frame.origin = view->rectFromWidget(QRectF(geometry())).origin;
    } else if (parentWidget()) {
        m_frame.origin = frame().origin;
    }
    rebuildTrackingAreas();
}

Point View::pointFromWidget(QPointF point) const
{
    const double y = isFlipped() ? point.y() : height() - point.y();
    return Point(point.x() + m_boundsOrigin.x, y + m_boundsOrigin.y);
}

QPointF View::pointToWidget(Point point) const
{
    const double x = point.x - m_boundsOrigin.x;
    const double y = point.y - m_boundsOrigin.y;
    return QPointF(x, isFlipped() ? y : height() - y);
}

Rect View::rectFromWidget(const QRectF& rect) const
{
    return rectThrough(pointFromWidget(rect.topLeft()), pointFromWidget(rect.bottomRight()));
}

QRectF View::rectToWidget(const Rect& rect) const
{
    const Rect r = rect.standardized();
    const QPointF a = pointToWidget(r.origin);
    const QPointF b = pointToWidget(Point(r.maxX(), r.maxY()));
    return QRectF(QPointF(std::min(a.x(), b.x()), std::min(a.y(), b.y())),
                  QPointF(std::max(a.x(), b.x()), std::max(a.y(), b.y())));
}

// A point of this view's coordinates in its superview's (y-up for a parent that is not a View).
Point View::toSuperview(Point point) const
{
    const Rect f = frame();
    const double ux = point.x - m_boundsOrigin.x;
    const double fromBottom =
        isFlipped() ? f.height() - (point.y - m_boundsOrigin.y) : point.y - m_boundsOrigin.y;
    const View* view = superview();
    if (view && view->isFlipped())
        return Point(f.minX() + ux, f.minY() + f.height() - fromBottom);
    return Point(f.minX() + ux, f.minY() + fromBottom);
}

Point View::fromSuperview(Point point) const
{
    const Rect f = frame();
    const View* view = superview();
    const double ux = point.x - f.minX();
    const double fromBottom =
        view && view->isFlipped() ? f.height() - (point.y - f.minY()) : point.y - f.minY();
    const double y = isFlipped() ? f.height() - fromBottom : fromBottom;
    return Point(ux + m_boundsOrigin.x, y + m_boundsOrigin.y);
}

Point View::topViewOriginInBase() const
{
    // For the top view of a chain (no View superview): where its lower left lies in the base system.
    QWidget* base = baseWidgetOf(this);
    if (base == this)
        return Point(0, 0);
    const QPointF topLeft = mapTo(base, QPointF(0, 0));
    return Point(topLeft.x(), base->height() - topLeft.y() - frame().height());
}

Point View::toBase(Point point) const
{
    if (View* view = superview())
        return view->toBase(toSuperview(point));
    // Own coordinates relative to the lower left of this view, then placed in the base system.
    const Point inParent = toSuperview(point);
    const Rect f = frame();
    const Point origin = topViewOriginInBase();
    return Point(origin.x + inParent.x - f.minX(), origin.y + inParent.y - f.minY());
}

Point View::fromBase(Point point) const
{
    if (View* view = superview())
        return fromSuperview(view->fromBase(point));
    const Rect f = frame();
    const Point origin = topViewOriginInBase();
    return fromSuperview(Point(point.x - origin.x + f.minX(), point.y - origin.y + f.minY()));
}

namespace {

// A point of `widget`'s base system on the screen, y-up.
Point baseToScreen(const QWidget* baseWidget, Point point)
{
    const QPoint global = baseWidget->mapToGlobal(QPoint(0, 0));
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double screenHeight = screen ? screen->geometry().height() : 0;
    const double yDown = global.y() + baseWidget->height() - point.y;
    return Point(global.x() + point.x, screenHeight - yDown);
}

Point screenToBase(const QWidget* baseWidget, Point point)
{
    const QPoint global = baseWidget->mapToGlobal(QPoint(0, 0));
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double screenHeight = screen ? screen->geometry().height() : 0;
    const double yDown = screenHeight - point.y;
    return Point(point.x - global.x(), baseWidget->height() - (yDown - global.y()));
}

} // namespace

Point View::convertPointToView(Point point, const View* view) const
{
    const Point base = toBase(point);
    if (!view)
        return base;
    const QWidget* mine = baseWidgetOf(this);
    const QWidget* theirs = baseWidgetOf(view);
    if (mine == theirs)
        return view->fromBase(base);
    return view->fromBase(screenToBase(theirs, baseToScreen(mine, base)));
}

Point View::convertPointFromView(Point point, const View* view) const
{
    if (!view)
        return fromBase(point);
    return view->convertPointToView(point, this);
}

Rect View::convertRectToView(const Rect& rect, const View* view) const
{
    return convertedRect(rect, [&](Point point) { return convertPointToView(point, view); });
}

Rect View::convertRectFromView(const Rect& rect, const View* view) const
{
    return convertedRect(rect, [&](Point point) { return convertPointFromView(point, view); });
}

Point View::convertPointToScreen(Point point) const
{
    return baseToScreen(baseWidgetOf(this), toBase(point));
}

Point View::convertPointFromScreen(Point point) const
{
    return fromBase(screenToBase(baseWidgetOf(this), point));
}

// Autoresizing ---------------------------------------------------------------------------------------

namespace {

// One dimension: the margins before and after and the size share the change among the flexible ones in
// proportion to their sizes before it (equally when those sizes add up to nothing).
void resizeDimension(double& position, double& size, double oldSuperSize, double newSuperSize,
                     bool minFlexible, bool sizeFlexible, bool maxFlexible)
{
    const double delta = newSuperSize - oldSuperSize;
    const int flexibleCount = int(minFlexible) + int(sizeFlexible) + int(maxFlexible);
    if (delta == 0 || flexibleCount == 0)
        return;
    const double before = position;
    const double after = oldSuperSize - position - size;
    const double total = (minFlexible ? before : 0) + (sizeFlexible ? size : 0) + (maxFlexible ? after : 0);
    double positionShare, sizeShare;
    if (total > 0) {
        positionShare = minFlexible ? delta * before / total : 0;
        sizeShare = sizeFlexible ? delta * size / total : 0;
    } else {
        positionShare = minFlexible ? delta / flexibleCount : 0;
        sizeShare = sizeFlexible ? delta / flexibleCount : 0;
    }
    position += positionShare;
    size = std::max(0.0, size + sizeShare);
}

} // namespace

Rect View::autoresizedFrame(const Rect& frame, unsigned mask, Size oldSuperviewSize, Size newSuperviewSize)
{
    Rect result = frame.standardized();
    resizeDimension(result.origin.x, result.size.width, oldSuperviewSize.width, newSuperviewSize.width,
                    mask & MinXMargin, mask & WidthSizable, mask & MaxXMargin);
    resizeDimension(result.origin.y, result.size.height, oldSuperviewSize.height, newSuperviewSize.height,
                    mask & MinYMargin, mask & HeightSizable, mask & MaxYMargin);
    return result;
}

void View::resizeSubviewsWithOldSize(Size oldSize)
{
    for (const QPointer<View>& view : weakly(subviews()))
        if (view)
            view->resizeWithOldSuperviewSize(oldSize);
}

void View::resizeWithOldSuperviewSize(Size oldSuperviewSize)
{
    const View* view = superview();
    if (!view || m_autoresizingMask == NotSizable)
        return;
    setFrame(autoresizedFrame(frame(), m_autoresizingMask, oldSuperviewSize, view->frame().size));
}

// Appearance and drawing ---------------------------------------------------------------------------

void View::setAlphaValue(double alpha)
{
    alpha = std::clamp(alpha, 0.0, 1.0);
    if (alpha == m_alpha)
        return;
    m_alpha = alpha;
    update();
}

double View::effectiveAlphaValue() const
{
    double alpha = m_alpha;
    for (const View* view = superview(); view; view = view->superview())
        alpha *= view->m_alpha;
    return alpha;
}

bool View::isHiddenOrHasHiddenAncestor() const
{
    for (const QWidget* w = this; w; w = w->parentWidget()) {
        if (isExplicitlyHidden(w))
            return true;
        if (w->isWindow() || qobject_cast<const Window*>(w))
            return false;
    }
    return false;
}

void View::setNeedsDisplay(bool flag)
{
    if (!flag)
        return;
    m_needsDisplay = true;
    update();
}

void View::setNeedsDisplayInRect(const Rect& rect)
{
    if (rect.isEmpty())
        return;
    m_needsDisplay = true;
    update(rectToWidget(rect).toAlignedRect());
}

void View::drawRect(QPainter&, const Rect&) {}

void View::displayIfNeeded()
{
    if (m_needsDisplay)
        repaint();
}

QImage View::snapshot(double scale)
{
    // Everything is drawn, also what its superviews would not show.
    QList<View*> pending{this};
    while (!pending.isEmpty()) {
        View* view = pending.takeLast();
        view->placeShownSubviews(true);
        pending.append(view->subviews());
    }
    const QSize pixels(std::max(1, int(std::ceil(width() * scale))),
                       std::max(1, int(std::ceil(height() * scale))));
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::transparent);
    render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

void View::paintEvent(QPaintEvent* event)
{
    m_needsDisplay = false;
    const double alpha = effectiveAlphaValue();
    if (alpha <= 0)
        return;
    QPainter painter(this);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform |
                           QPainter::TextAntialiasing);
    painter.setOpacity(alpha);
    if (!isFlipped()) {
        painter.translate(0, height());
        painter.scale(1, -1);
    }
    painter.translate(-m_boundsOrigin.x, -m_boundsOrigin.y);
    drawRect(painter, rectFromWidget(QRectF(event->rect())));
}

// Events ---------------------------------------------------------------------------------------------

View* View::hitTest(Point pointInSuperview)
{
    if (isExplicitlyHidden(this) || isTransparentForMouse())
        return nullptr;
    if (!frame().contains(pointInSuperview))
        return nullptr;
    const Point local = fromSuperview(pointInSuperview);
    const QList<View*> views = subviews();
    for (auto it = views.rbegin(); it != views.rend(); ++it)
        if (View* hit = (*it)->hitTest(local))
            return hit;
    return this;
}

void View::setTransparentForMouse(bool transparent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents, transparent);
}

bool View::isTransparentForMouse() const
{
    return testAttribute(Qt::WA_TransparentForMouseEvents);
}

void View::setAcceptsFirstResponder(bool accepts)
{
    m_acceptsFirstResponder = accepts;
    setFocusPolicy(accepts ? Qt::ClickFocus : Qt::NoFocus);
}

void View::viewWillMoveToWindow(Window*) {}

void View::viewWillMoveToSuperview(View*) {}

void View::deliverMouseEvent(const Event& event)
{
    dispatch(event);
}

void View::mousePressEvent(QMouseEvent* event)
{
    handleMouse(event, true);
}

void View::mouseDoubleClickEvent(QMouseEvent* event)
{
    // Qt turns the second press of a double click into this event; click counts are ours.
    handleMouse(event, true);
}

void View::mouseMoveEvent(QMouseEvent* event)
{
    handleMouse(event, false);
}

void View::mouseReleaseEvent(QMouseEvent* event)
{
    handleMouse(event, false);
}

void View::handleMouse(QMouseEvent* event, bool press)
{
    if (!EventRouter::handleViewMouseEvent(this, event, press))
        event->ignore();
}

void View::wheelEvent(QWheelEvent* event)
{
    if (!EventRouter::handleViewWheelEvent(this, event))
        event->ignore();
}

void View::keyPressEvent(QKeyEvent* event)
{
    handleKey(event, true);
}

void View::keyReleaseEvent(QKeyEvent* event)
{
    handleKey(event, false);
}

void View::handleKey(QKeyEvent* event, bool press)
{
    const Event converted = EventRouter::keyEventFromQt(*event, press, window());
    QPointer<View> guard(this);
    dispatch(converted);
    if (converted.wasUnhandled() && guard)
        EventRouter::passKeyToHost(this, event);
}

void View::focusInEvent(QFocusEvent* event)
{
    QWidget::focusInEvent(event);
    // Qt is still moving the focus and goes on with this widget (and the one it left) after the event,
    // while the responders' owners, hearing of the change, may delete either: the window follows at
    // the next turn, if the focus is still here then.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!hasFocus())
                return;
            if (Window* w = window())
                w->noteFocusMovedTo(this);
        },
        Qt::QueuedConnection);
}

void View::focusOutEvent(QFocusEvent* event)
{
    QWidget::focusOutEvent(event);
    // The keyboard went elsewhere in the window (a click into a text field, the tab key): this view
    // resigns. A window merely losing activation keeps its first responder.
    const Qt::FocusReason reason = event->reason();
    if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason ||
        reason == Qt::MenuBarFocusReason)
        return;
    // At the next turn, as above (Qt moves the focus away when it hides or reparents this view, and
    // goes on with it after the event); focus that came back, or went into a subview, is not lost.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (hasFocus() || isAncestorOf(QApplication::focusWidget()))
                return;
            if (Window* w = window())
                w->noteFocusLeft(this);
        },
        Qt::QueuedConnection);
}

void View::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    rebuildTrackingAreas();
}

void View::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    rebuildTrackingAreas();
}

bool View::event(QEvent* event)
{
    switch (event->type()) {
    case QEvent::ParentChange:
        placeWidget();
        break;
    case QEvent::ToolTip: {
        auto* help = static_cast<QHelpEvent*>(event);
        const Point p = pointFromWidget(help->pos());
        for (const ToolTip& tip : m_toolTips) {
            if (tip.rect.contains(p)) {
                QToolTip::showText(help->globalPos(), tip.text, this, rectToWidget(tip.rect).toAlignedRect());
                return true;
            }
        }
        if (!m_toolTips.empty()) {
            QToolTip::hideText();
            event->ignore();
            return true;
        }
        break;
    }
    case QEvent::NativeGesture:
        if (EventRouter::handleViewGesture(this, event))
            return true;
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

// Tooltips -------------------------------------------------------------------------------------------

int View::addToolTipRect(const Rect& rect, const QString& text)
{
    const int tag = m_nextToolTipTag++;
    m_toolTips.push_back({tag, rect.standardized(), text});
    return tag;
}

void View::removeToolTip(int tag)
{
    std::erase_if(m_toolTips, [tag](const ToolTip& tip) { return tip.tag == tag; });
}

void View::removeAllToolTips()
{
    m_toolTips.clear();
}

// Tracking areas -------------------------------------------------------------------------------------

TrackingArea* View::addTrackingArea(std::unique_ptr<TrackingArea> area)
{
    PF_ASSERT(area, "no tracking area");
    area->m_view = this;
    TrackingArea* raw = area.get();
    m_trackingAreas.push_back(std::move(area));
    EventRouter::trackingAreaAdded(raw);
    return raw;
}

void View::removeTrackingArea(TrackingArea* area)
{
    auto it = std::find_if(m_trackingAreas.begin(), m_trackingAreas.end(),
                           [area](const auto& owned) { return owned.get() == area; });
    if (it == m_trackingAreas.end())
        return;
    EventRouter::trackingAreaRemoved(area);
    m_trackingAreas.erase(it);
}

std::vector<TrackingArea*> View::trackingAreas() const
{
    std::vector<TrackingArea*> areas;
    for (const auto& area : m_trackingAreas)
        areas.push_back(area.get());
    return areas;
}

void View::rebuildTrackingAreas()
{
    // Out of sight there is nothing to track; the areas are rebuilt when the widget is placed.
    if (m_placementDeferred)
        return;
    updateTrackingAreas();
}

void View::updateChildTrackingAreasRecursively()
{
    // A rebuild may report a hover, and its delegate may delete any of these views.
    for (const QPointer<View>& view : weakly(subviews())) {
        if (!view || view->m_placementDeferred)
            continue;
        view->rebuildTrackingAreas();
        if (view)
            view->updateChildTrackingAreasRecursively();
    }
}

} // namespace pf
