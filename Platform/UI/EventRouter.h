#pragma once

#include "Platform/UI/Event.h"

#include <QObject>
#include <QPointer>

class QKeyEvent;
class QMouseEvent;
class QWheelEvent;

namespace pf {

class TrackingArea;
class View;
class Window;

// Routes Qt's input to views the way the interface expects: presses go to the view that hit testing
// finds (honouring overrides) and that view receives the drags and the release; a view that takes no
// hit where the windowing system gave it a press, a wheel or a gesture (its hitTest() finds neither it
// nor a subview there) lets the event through to the widget beneath it, view or not, with the press's
// drags and release; what the responder
// chain leaves unhandled goes on to the Qt widget the views sit in (a scroll area, a layout); click counts
// follow the clock and the double-click interval; tracking areas are tested on every pointer movement; event
// monitors see input first and may swallow it; a window's cursor wins while its cursor rectangles are
// disabled. One per application, installed by the first view; main thread only.
class EventRouter : public QObject
{
    Q_OBJECT

public:
    static void install();
    static EventRouter* instance();

    // Called by views.
    static bool handleViewMouseEvent(View* view, QMouseEvent* event, bool press);
    static bool handleViewWheelEvent(View* view, QWheelEvent* event);
    static bool handleViewGesture(View* view, QEvent* event);
    static Event keyEventFromQt(const QKeyEvent& event, bool press, Window* window);
    // A key event the views left unhandled goes on to the Qt widget around them, if any.
    static void passKeyToHost(View* view, QKeyEvent* event);
    static void trackingAreaAdded(TrackingArea* area);
    static void trackingAreaRemoved(TrackingArea* area);
    static void viewWillBeDestroyed(View* view);
    // Re-tests the tracking areas and the cursor at the pointer's position now, as after a movement.
    static void updateTracking();
    static void refreshCursor();

    // Monitors see every event of their mask (bits eventMask(type)) before it is delivered; a monitor
    // returning false swallows it (later monitors and the views never see it).
    using Monitor = std::function<bool(const Event&)>;
    quint64 addMonitor(quint64 mask, Monitor monitor);
    void removeMonitor(quint64 id);

    // Where the pointer is on the screen (Qt's y-down global coordinates). A platform without a
    // pointer of its own (the offscreen one of tests) has it only from the last input event.
    static QPointF pointerGlobalPosition();

    // The view receiving the current press's drags and release, if any.
    static View* mouseTarget();

    // Click counting, exposed for tests: the count a press of `button` at `screenPosition` now gets.
    int clickCountForPress(int button, QPointF screenPosition);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    EventRouter();
    // Whether the view takes no hit at `position` (its widget coordinates).
    static bool takesNoHit(View* view, QPointF position);
    bool runMonitors(const Event& event);
    void track(QWidget* topLevel, QPointF globalPosition, bool pointerInside, bool buttonsDown);
    void applyCursorAt(QWidget* topLevel, QPointF globalPosition, bool pointerInside);

    struct MonitorEntry
    {
        quint64 id;
        quint64 mask;
        Monitor monitor;
    };
    QList<MonitorEntry> m_monitors;
    quint64 m_nextMonitorId = 1;
    QList<TrackingArea*> m_areas;

    QPointer<View> m_mouseTarget;
    QPointer<QWidget> m_forwardHost; // receives a press nobody in the views took, and its drags
    int m_mouseButton = 0;

    double m_lastPressTime = -1e9;
    QPointF m_lastPressPosition;
    int m_lastPressButton = -1;
    int m_clickCount = 0;

    QPointer<QWidget> m_lastTopLevel;
    QPointF m_lastGlobalPosition;
    bool m_hasGlobalPosition = false;
    bool m_pointerInside = false;
    bool m_overrideCursorSet = false;
};

} // namespace pf
