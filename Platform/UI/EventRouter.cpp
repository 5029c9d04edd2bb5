#include "Platform/UI/EventRouter.h"

#include "Platform/UI/Clock.h"
#include "Platform/UI/TrackingArea.h"
#include "Platform/UI/View.h"
#include "Platform/UI/Window.h"

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QNativeGestureEvent>
#include <QStyleHints>
#include <QWheelEvent>
#include <QWindow>

#include <algorithm>
#include <vector>

namespace pf {

namespace {

EventRouter* theRouter = nullptr;

int buttonNumber(Qt::MouseButton button)
{
    switch (button) {
    case Qt::LeftButton:
        return 0;
    case Qt::RightButton:
        return 1;
    default:
        return 2;
    }
}

EventType downType(int button)
{
    return button == 0   ? EventType::LeftMouseDown
           : button == 1 ? EventType::RightMouseDown
                         : EventType::OtherMouseDown;
}

EventType upType(int button)
{
    return button == 0   ? EventType::LeftMouseUp
           : button == 1 ? EventType::RightMouseUp
                         : EventType::OtherMouseUp;
}

EventType draggedType(int button)
{
    return button == 0   ? EventType::LeftMouseDragged
           : button == 1 ? EventType::RightMouseDragged
                         : EventType::OtherMouseDragged;
}

QWidget* topLevelOf(QObject* watched)
{
    auto* window = qobject_cast<QWindow*>(watched);
    if (!window)
        return nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->windowHandle() == window)
            return widget;
    return nullptr;
}

// The outermost view of the chain of views `view` is in.
View* rootViewOf(View* view)
{
    while (View* superview = view->superview())
        view = superview;
    return view;
}

// A point of the top-level widget in base coordinates of the pf::Window at that place (or of the
// top-level itself), and that window.
Window* windowAt(QWidget* topLevel, QPointF globalPosition, Point* basePoint)
{
    auto* window = qobject_cast<Window*>(topLevel);
    if (!window) {
        const QPointF local = topLevel->mapFromGlobal(globalPosition);
        *basePoint = Point(local.x(), topLevel->height() - local.y());
        return nullptr;
    }
    const QPointF local = window->mapFromGlobal(globalPosition);
    Window* inner = window->windowAtBasePoint(Point(local.x(), window->height() - local.y()));
    const QPointF innerLocal = inner->mapFromGlobal(globalPosition);
    *basePoint = Point(innerLocal.x(), inner->height() - innerLocal.y());
    return inner;
}

// The Qt widget around a chain of views: the parent of its outermost view, unless that is a window
// (which the responder chain has reached already) or there is none.
QWidget* hostOf(View* view)
{
    View* root = rootViewOf(view);
    QWidget* parent = root->parentWidget();
    if (!parent || root->isWindow() || qobject_cast<Window*>(parent))
        return nullptr;
    return parent;
}

// Views that turned an event away and passed it on to what lies beneath them, while it is delivered
// there: none of them is "beneath" for another (two overlapping views that both take no hits would
// otherwise hand the event back and forth).
std::vector<const QWidget*>& passingThrough()
{
    static std::vector<const QWidget*> views;
    return views;
}

// The deepest visible widget under `at` (in `parent`'s coordinates) among `parent`'s descendants, or
// `parent` itself, leaving out the views passing an event through and whatever is inside them.
QWidget* deepestAt(QWidget* parent, QPoint at)
{
    const QObjectList& children = parent->children();
    const std::vector<const QWidget*>& excluded = passingThrough();
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        auto* child = qobject_cast<QWidget*>(*it);
        if (!child || child->isWindow() || !child->isVisible() ||
            child->testAttribute(Qt::WA_TransparentForMouseEvents) ||
            std::find(excluded.begin(), excluded.end(), child) != excluded.end())
            continue;
        const QPoint local = at - child->pos();
        if (!child->rect().contains(local) || (!child->mask().isEmpty() && !child->mask().contains(local)))
            continue;
        return deepestAt(child, local);
    }
    return parent;
}

// What a view that takes no hits lets an event through to: the widget that would have had it were the
// view not there. The view is marked as passing through while the event is sent on.
class PassThrough
{
public:
    PassThrough(View* view, QPointF position) : m_view(view)
    {
        passingThrough().push_back(view);
        QWidget* top = view->QWidget::window();
        m_beneath = deepestAt(top, view->mapTo(top, position).toPoint());
        m_at = m_beneath ? m_beneath->mapFrom(top, view->mapTo(top, position)) : QPointF();
    }
    ~PassThrough()
    {
        auto& views = passingThrough();
        views.erase(std::find(views.begin(), views.end(), m_view));
    }
    PassThrough(const PassThrough&) = delete;
    PassThrough& operator=(const PassThrough&) = delete;

    QWidget* beneath() const { return m_beneath; }
    // The event's position in the widget beneath.
    QPointF at() const { return m_at; }

private:
    const QWidget* m_view;
    QWidget* m_beneath = nullptr;
    QPointF m_at;
};

void sendMouseToHost(QWidget* host, const QWidget* from, const QMouseEvent& event)
{
    QMouseEvent copy(event.type(),
                     from->mapTo(host->window(), event.position()) - host->mapTo(host->window(), QPointF()),
                     event.globalPosition(), event.button(), event.buttons(), event.modifiers());
    QApplication::sendEvent(host, &copy);
}

EventPhase phaseFromQt(Qt::ScrollPhase phase)
{
    switch (phase) {
    case Qt::ScrollBegin:
        return EventPhase::Began;
    case Qt::ScrollUpdate:
        return EventPhase::Changed;
    case Qt::ScrollEnd:
        return EventPhase::Ended;
    default:
        return EventPhase::None;
    }
}

// Qt's X11 (and Windows) back ends hand on a wheel turned with Alt held with its two axes swapped, so
// that Alt scrolls Qt's own widgets sideways. Our views read the wheel as it was turned: Option with the
// wheel is a gesture of its own (it zooms the canvas), not a sideways scroll. Wayland does not swap.
bool altSwapsWheelAxes()
{
    static const bool swaps = !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
    return swaps;
}

Event wheelEventFromQt(const QWheelEvent& wheel, Point location, Window* window)
{
    // One classic notch is 120 eighths of a degree; a precise device also reports pixels.
    const bool precise = !wheel.pixelDelta().isNull();
    const bool swapped = (wheel.modifiers() & Qt::AltModifier) && altSwapsWheelAxes();
    const QPoint angle = swapped ? wheel.angleDelta().transposed() : wheel.angleDelta();
    const QPoint pixels = swapped ? wheel.pixelDelta().transposed() : wheel.pixelDelta();
    const double deltaX = angle.x() / 120.0;
    const double deltaY = angle.y() / 120.0;
    const bool momentum = wheel.phase() == Qt::ScrollMomentum;
    Event event =
        Event::scrollEvent(location, modifierFlagsFromQt(wheel.modifiers()), Clock::current().now(), window,
                           deltaX, deltaY, precise, momentum ? EventPhase::None : phaseFromQt(wheel.phase()),
                           momentum ? EventPhase::Changed : EventPhase::None);
    if (precise)
        event.setScrollingDeltas(pixels.x(), pixels.y());
    event.setDirectionInverted(wheel.inverted());
    return event;
}

} // namespace

EventRouter::EventRouter() = default;

void EventRouter::install()
{
    if (theRouter || !QCoreApplication::instance())
        return;
    theRouter = new EventRouter;
    theRouter->setParent(QCoreApplication::instance());
    QCoreApplication::instance()->installEventFilter(theRouter);
}

EventRouter* EventRouter::instance()
{
    install();
    return theRouter;
}

QPointF EventRouter::pointerGlobalPosition()
{
    static const bool hasPointer = QGuiApplication::platformName() != QLatin1String("offscreen");
    if (hasPointer || !theRouter || !theRouter->m_hasGlobalPosition)
        return QCursor::pos();
    return theRouter->m_lastGlobalPosition;
}

View* EventRouter::mouseTarget()
{
    return theRouter ? theRouter->m_mouseTarget.data() : nullptr;
}

int EventRouter::clickCountForPress(int button, QPointF screenPosition)
{
    const double now = Clock::current().now();
    const double distance = QApplication::styleHints()->mouseDoubleClickDistance();
    const QPointF moved = screenPosition - m_lastPressPosition;
    // A press before the last one (another clock took over) follows nothing.
    const double gap = now - m_lastPressTime;
    if (button == m_lastPressButton && gap >= 0 && gap <= Event::doubleClickInterval() &&
        std::abs(moved.x()) <= distance && std::abs(moved.y()) <= distance)
        ++m_clickCount;
    else
        m_clickCount = 1;
    m_lastPressTime = now;
    m_lastPressPosition = screenPosition;
    m_lastPressButton = button;
    return m_clickCount;
}

bool EventRouter::takesNoHit(View* view, QPointF position)
{
    return !view->hitTest(view->toSuperview(view->pointFromWidget(position)));
}

bool EventRouter::handleViewMouseEvent(View* view, QMouseEvent* event, bool press)
{
    EventRouter* router = instance();
    const bool doubleClick = event->type() == QEvent::MouseButtonDblClick;
    if (doubleClick && !takesNoHit(view, event->position()))
        return true; // Qt also delivers the press itself; counts are ours
    const Point location = view->toBase(view->pointFromWidget(event->position()));
    Window* window = view->window();
    QPointer<View> guard(view);

    if (press) {
        if (router->m_mouseTarget && event->buttons() != event->button())
            return true; // another button while one is down: the first press owns the drag
        if (takesNoHit(view, event->position())) {
            // The press, its drags and its release belong to what lies beneath the view.
            const PassThrough through(view, event->position());
            QWidget* beneath = through.beneath();
            if (!beneath)
                return true;
            QMouseEvent copy(event->type(), through.at(), event->globalPosition(), event->button(),
                             event->buttons(), event->modifiers());
            if (doubleClick) {
                QApplication::sendEvent(beneath, &copy);
                return true;
            }
            router->m_mouseTarget = nullptr;
            router->m_forwardHost = nullptr;
            QPointer<QWidget> receiver(beneath);
            QApplication::sendEvent(beneath, &copy);
            // A view beneath took it as its own press; a plain widget gets the drags from here.
            if (!router->m_mouseTarget && !router->m_forwardHost && receiver)
                router->m_forwardHost = receiver;
            return true;
        }
        View* root = rootViewOf(view);
        const QPointF inRoot = view->mapTo(root, event->position());
        View* target = root->hitTest(root->toSuperview(root->pointFromWidget(inRoot)));
        if (!target)
            return false;
        const int button = buttonNumber(event->button());
        const int clicks = router->clickCountForPress(button, event->globalPosition());
        // Taking the keyboard tells the window's delegate, the old key window and the old first
        // responder, any of which may delete the target, its window or the view the event came to.
        const QPointer<View> targetGuard(target);
        if (const QPointer<Window> targetWindow = target->window()) {
            if (!targetWindow->isKeyWindow() && targetWindow->canBecomeKeyWindow())
                targetWindow->makeKeyWindow();
            if (targetGuard && targetWindow && target->acceptsFirstResponder() &&
                targetWindow->firstResponder() != target)
                targetWindow->makeFirstResponder(target);
        }
        if (!targetGuard)
            return true; // the press had its effect: its target is gone
        router->m_mouseTarget = target;
        router->m_mouseButton = button;
        router->m_forwardHost = nullptr;
        Event converted = Event::fromQtMouse(downType(button), *event, location, window, clicks);
        converted.setButtonNumber(button);
        target->dispatch(converted);
        if (converted.wasUnhandled() && guard) {
            // Nobody in the chain took the press: the widget around the views gets it, and its drags.
            if (QWidget* host = hostOf(guard)) {
                router->m_mouseTarget = nullptr;
                router->m_forwardHost = host;
                sendMouseToHost(host, guard, *event);
            }
        }
        return true;
    }

    if (QWidget* host = router->m_forwardHost) {
        if (event->buttons() == Qt::NoButton)
            router->m_forwardHost = nullptr;
        sendMouseToHost(host, view, *event);
        return true;
    }
    View* target = router->m_mouseTarget;
    if (event->type() == QEvent::MouseMove) {
        if (!target || event->buttons() == Qt::NoButton)
            return false;
        Event converted = Event::fromQtMouse(draggedType(router->m_mouseButton), *event, location, window,
                                             router->m_clickCount);
        converted.setButtonNumber(router->m_mouseButton);
        target->dispatch(converted);
        return true;
    }
    if (event->type() == QEvent::MouseButtonRelease) {
        const int button = buttonNumber(event->button());
        if (!target || button != router->m_mouseButton)
            return target != nullptr;
        router->m_mouseTarget = nullptr;
        Event converted = Event::fromQtMouse(upType(button), *event, location, window, router->m_clickCount);
        converted.setButtonNumber(button);
        target->dispatch(converted);
        // Areas whose inside state changed silently during the drag are settled now.
        updateTracking();
        return true;
    }
    return false;
}

bool EventRouter::handleViewWheelEvent(View* view, QWheelEvent* event)
{
    if (takesNoHit(view, event->position())) {
        const PassThrough through(view, event->position());
        if (QWidget* beneath = through.beneath()) {
            QWheelEvent copy(through.at(), event->globalPosition(), event->pixelDelta(), event->angleDelta(),
                             event->buttons(), event->modifiers(), event->phase(), event->inverted());
            QApplication::sendEvent(beneath, &copy);
        }
        return true;
    }
    View* root = rootViewOf(view);
    View* target =
        root->hitTest(root->toSuperview(root->pointFromWidget(view->mapTo(root, event->position()))));
    if (!target)
        return false;
    const Event converted =
        wheelEventFromQt(*event, view->toBase(view->pointFromWidget(event->position())), view->window());
    QPointer<View> guard(view);
    target->dispatch(converted);
    if (converted.wasUnhandled() && guard) {
        if (QWidget* host = hostOf(guard)) {
            const QPointF at =
                guard->mapTo(host->window(), event->position()) - host->mapTo(host->window(), QPointF());
            QWheelEvent copy(at, event->globalPosition(), event->pixelDelta(), event->angleDelta(),
                             event->buttons(), event->modifiers(), event->phase(), event->inverted());
            QApplication::sendEvent(host, &copy);
        }
    }
    return true;
}

void EventRouter::passKeyToHost(View* view, QKeyEvent* event)
{
    if (QWidget* host = hostOf(view)) {
        QKeyEvent copy(event->type(), event->key(), event->modifiers(), event->text(), event->isAutoRepeat(),
                       ushort(event->count()));
        QApplication::sendEvent(host, &copy);
    }
}

bool EventRouter::handleViewGesture(View* view, QEvent* event)
{
    auto* gesture = static_cast<QNativeGestureEvent*>(event);
    if (gesture->gestureType() != Qt::ZoomNativeGesture && gesture->gestureType() != Qt::BeginNativeGesture &&
        gesture->gestureType() != Qt::EndNativeGesture)
        return false;
    if (takesNoHit(view, gesture->position())) {
        const PassThrough through(view, gesture->position());
        if (QWidget* beneath = through.beneath()) {
            QNativeGestureEvent copy(gesture->gestureType(), gesture->pointingDevice(),
                                     gesture->fingerCount(), through.at(), through.at(),
                                     gesture->globalPosition(), gesture->value(), gesture->delta());
            QApplication::sendEvent(beneath, &copy);
        }
        gesture->accept();
        return true;
    }
    View* root = rootViewOf(view);
    View* target =
        root->hitTest(root->toSuperview(root->pointFromWidget(view->mapTo(root, gesture->position()))));
    if (!target)
        return false;
    Event converted =
        Event::fromQtMouse(EventType::Magnify, *gesture,
                           view->toBase(view->pointFromWidget(gesture->position())), view->window(), 0);
    switch (gesture->gestureType()) {
    case Qt::BeginNativeGesture:
        converted.setPhase(EventPhase::Began);
        break;
    case Qt::EndNativeGesture:
        converted.setPhase(EventPhase::Ended);
        break;
    default:
        converted.setPhase(EventPhase::Changed);
        converted.setMagnification(gesture->value());
        break;
    }
    // Taken: a display server delivers the gesture to the innermost widget under the pointer, and an
    // event left unaccepted goes on to each parent view, which would route it to the target again.
    gesture->accept();
    target->dispatch(converted);
    return true;
}

Event EventRouter::keyEventFromQt(const QKeyEvent& event, bool press, Window* window)
{
    unsigned flags = modifierFlagsFromQt(event.modifiers());
    const Point location = window ? window->mouseLocationOutsideOfEventStream() : Point();
    const int code = keyCodeFromQtKey(event.key());
    if (const unsigned flag = modifierFlagForQtKey(event.key())) {
        // The flags after the change, whatever the windowing system reported with the key itself.
        flags = press ? (flags | flag) : (flags & ~flag);
        return Event::keyEvent(EventType::FlagsChanged, location, flags, Clock::current().now(), window, {},
                               {}, false, code);
    }
    QString ignoringModifiers = event.text();
    if (event.key() >= 0x20 && event.key() < 0x7f) {
        ignoringModifiers = QString(QChar(event.key()));
        if (!(event.modifiers() & Qt::ShiftModifier))
            ignoringModifiers = ignoringModifiers.toLower();
    }
    return Event::keyEvent(press ? EventType::KeyDown : EventType::KeyUp, location, flags,
                           Clock::current().now(), window, event.text(), ignoringModifiers,
                           event.isAutoRepeat(), code);
}

// Tracking areas ---------------------------------------------------------------------------------

void EventRouter::trackingAreaAdded(TrackingArea* area)
{
    EventRouter* router = instance();
    router->m_areas.append(area);
    // The starting state: assumed inside, or tested silently against where the pointer is now.
    if (area->options() & TrackingArea::AssumeInside) {
        area->m_inside = true;
        return;
    }
    View* view = area->view();
    const Rect rect = (area->options() & TrackingArea::InVisibleRect) ? view->visibleRect() : area->rect();
    area->m_inside = view->isVisible() &&
                     rect.contains(view->pointFromWidget(view->mapFromGlobal(pointerGlobalPosition())));
}

void EventRouter::trackingAreaRemoved(TrackingArea* area)
{
    if (theRouter)
        theRouter->m_areas.removeAll(area);
}

void EventRouter::viewWillBeDestroyed(View* view)
{
    if (!theRouter)
        return;
    for (TrackingArea* area : view->trackingAreas())
        theRouter->m_areas.removeAll(area);
}

void EventRouter::updateTracking()
{
    if (!theRouter || !theRouter->m_lastTopLevel)
        return;
    theRouter->track(theRouter->m_lastTopLevel, pointerGlobalPosition(), theRouter->m_pointerInside,
                     QApplication::mouseButtons() != Qt::NoButton);
}

void EventRouter::track(QWidget* topLevel, QPointF globalPosition, bool pointerInside, bool buttonsDown)
{
    Point basePoint;
    Window* windowUnderPointer = pointerInside ? windowAt(topLevel, globalPosition, &basePoint) : nullptr;
    const unsigned flags = Event::currentModifierFlags();
    const double now = Clock::current().now();

    struct Change
    {
        TrackingArea* area;
        quint64 serial;
        EventType type;
    };
    QList<Change> exits, enters, moves;
    for (TrackingArea* area : std::as_const(m_areas)) {
        View* view = area->view();
        if (!view || view->QWidget::window() != topLevel)
            continue;
        bool active = true;
        const unsigned options = area->options();
        Window* areaWindow = view->window();
        if (!(options & TrackingArea::ActiveAlways)) {
            if (options & TrackingArea::ActiveInKeyWindow)
                active = areaWindow && areaWindow->isKeyWindow();
            else if (options & TrackingArea::ActiveInActiveApp)
                active = Window::keyWindow() != nullptr || QApplication::activeWindow() != nullptr;
            else if (options & TrackingArea::ActiveWhenFirstResponder)
                active = areaWindow && areaWindow->firstResponder() == view;
        }
        bool inside = false;
        if (active && pointerInside && view->isVisible() &&
            (!windowUnderPointer || windowUnderPointer == areaWindow)) {
            const Rect rect = (options & TrackingArea::InVisibleRect) ? view->visibleRect() : area->rect();
            inside = rect.contains(view->pointFromWidget(view->mapFromGlobal(globalPosition)));
        }
        const bool silent = buttonsDown && !(options & TrackingArea::EnabledDuringMouseDrag);
        if (inside != area->m_inside) {
            area->m_inside = inside;
            if (!silent && (options & TrackingArea::MouseEnteredAndExited))
                (inside ? enters : exits)
                    .append(
                        {area, area->m_serial, inside ? EventType::MouseEntered : EventType::MouseExited});
        } else if (inside && !silent && (options & TrackingArea::MouseMoved)) {
            moves.append({area, area->m_serial, EventType::MouseMoved});
        }
    }
    // Exits before entries, so an owner moving between two of its areas sees them in that order. Each
    // report may remove areas, delete views and windows or make new areas (perhaps where a removed
    // one lay): an area is reported only while it is still installed, the same area as when tested.
    for (const QList<Change>* list : {&exits, &enters, &moves}) {
        for (const Change& change : *list) {
            if (!std::any_of(m_areas.begin(), m_areas.end(), [&](const TrackingArea* installed) {
                    return installed == change.area && installed->m_serial == change.serial;
                }))
                continue; // removed by an earlier report
            TrackingArea* area = change.area;
            Responder* owner = area->owner();
            if (!owner)
                continue;
            View* view = area->view();
            Window* window = view ? view->window() : nullptr;
            const Point location =
                window ? window->convertPointFromScreen(Event::mouseLocation()) : basePoint;
            if (change.type == EventType::MouseMoved)
                owner->mouseMoved(
                    Event::mouseEvent(EventType::MouseMoved, location, flags, now, window, 0, 0));
            else
                owner->dispatch(Event::enterExitEvent(change.type, location, flags, now, window, area));
        }
    }
}

// Cursors ----------------------------------------------------------------------------------------

void EventRouter::refreshCursor()
{
    if (!theRouter || !theRouter->m_lastTopLevel)
        return;
    theRouter->applyCursorAt(theRouter->m_lastTopLevel, pointerGlobalPosition(), theRouter->m_pointerInside);
}

void EventRouter::applyCursorAt(QWidget* topLevel, QPointF globalPosition, bool pointerInside)
{
    std::optional<QCursor> wanted;
    if (pointerInside) {
        Point basePoint;
        if (Window* window = windowAt(topLevel, globalPosition, &basePoint);
            window && !window->areCursorRectsEnabled())
            wanted = window->windowCursor().value_or(QCursor(Qt::ArrowCursor));
    }
    if (wanted) {
        if (m_overrideCursorSet)
            QApplication::changeOverrideCursor(*wanted);
        else
            QApplication::setOverrideCursor(*wanted);
        m_overrideCursorSet = true;
    } else if (m_overrideCursorSet) {
        QApplication::restoreOverrideCursor();
        m_overrideCursorSet = false;
    }
}

// Monitors and the event filter -------------------------------------------------------------------

quint64 EventRouter::addMonitor(quint64 mask, Monitor monitor)
{
    const quint64 id = m_nextMonitorId++;
    m_monitors.append({id, mask, std::move(monitor)});
    return id;
}

void EventRouter::removeMonitor(quint64 id)
{
    m_monitors.removeIf([id](const MonitorEntry& entry) { return entry.id == id; });
}

bool EventRouter::runMonitors(const Event& event)
{
    const quint64 bit = eventMask(event.type());
    const QList<MonitorEntry> monitors = m_monitors; // a monitor may add or remove monitors
    for (const MonitorEntry& entry : monitors) {
        if (!(entry.mask & bit))
            continue;
        const bool stillThere = std::any_of(m_monitors.begin(), m_monitors.end(),
                                            [&](const MonitorEntry& e) { return e.id == entry.id; });
        if (stillThere && !entry.monitor(event))
            return false;
    }
    return true;
}

bool EventRouter::eventFilter(QObject* watched, QEvent* event)
{
    if (!watched->isWindowType())
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseMove: {
        QWidget* topLevel = topLevelOf(watched);
        if (!topLevel)
            return false;
        auto* mouse = static_cast<QMouseEvent*>(event);
        Point basePoint;
        QPointer<Window> window = windowAt(topLevel, mouse->globalPosition(), &basePoint);
        // Monitors, the window and the tracking reports may close and delete the window the event came
        // to: what is gone is neither tracked nor given the event.
        const QPointer<QWidget> topGuard(topLevel);
        if (!m_monitors.isEmpty() || window) {
            const int button = buttonNumber(mouse->button());
            EventType type = EventType::MouseMoved;
            if (event->type() == QEvent::MouseButtonPress)
                type = downType(button);
            else if (event->type() == QEvent::MouseButtonRelease)
                type = upType(button);
            else if (mouse->buttons() != Qt::NoButton)
                type = draggedType(m_mouseButton);
            Event converted = Event::fromQtMouse(type, *mouse, basePoint, window, m_clickCount);
            converted.setButtonNumber(button);
            if (!m_monitors.isEmpty() && !runMonitors(converted))
                return true;
            if (!topGuard)
                return true;
            // The window sees its event before any of its views (it may take the keyboard first).
            if (window && !window->sendEvent(converted))
                return true;
            if (!topGuard)
                return true;
        }
        m_lastTopLevel = topLevel;
        m_lastGlobalPosition = mouse->globalPosition();
        m_hasGlobalPosition = true;
        m_pointerInside = true;
        if (event->type() == QEvent::MouseMove) {
            track(topLevel, mouse->globalPosition(), true, mouse->buttons() != Qt::NoButton);
            if (!topGuard)
                return true;
            applyCursorAt(topLevel, mouse->globalPosition(), true);
        }
        return false;
    }
    case QEvent::Leave: {
        QWidget* topLevel = topLevelOf(watched);
        if (!topLevel)
            return false;
        const QPointer<QWidget> topGuard(topLevel);
        m_lastTopLevel = topLevel;
        m_pointerInside = false;
        track(topLevel, pointerGlobalPosition(), false, QApplication::mouseButtons() != Qt::NoButton);
        if (!topGuard)
            return true;
        applyCursorAt(topLevel, pointerGlobalPosition(), false);
        return false;
    }
    case QEvent::Wheel: {
        if (m_monitors.isEmpty())
            return false;
        QWidget* topLevel = topLevelOf(watched);
        if (!topLevel)
            return false;
        auto* wheel = static_cast<QWheelEvent*>(event);
        Point basePoint;
        Window* window = windowAt(topLevel, wheel->globalPosition(), &basePoint);
        return !runMonitors(wheelEventFromQt(*wheel, basePoint, window));
    }
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        if (m_monitors.isEmpty())
            return false;
        QWidget* topLevel = topLevelOf(watched);
        Window* window = Window::keyWindow();
        if (!window)
            window = qobject_cast<Window*>(topLevel);
        return !runMonitors(
            keyEventFromQt(*static_cast<QKeyEvent*>(event), event->type() == QEvent::KeyPress, window));
    }
    default:
        return false;
    }
}

} // namespace pf
