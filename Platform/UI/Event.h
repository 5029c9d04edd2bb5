#pragma once

#include "Platform/Foundation/Point.h"

#include <QPointer>
#include <QString>
#include <QVariantMap>
#include <functional>

class QInputEvent;
class QWidget;

namespace pf {

class TrackingArea;
class Window;

// Modifier flags with the platform's bit values, so that stored masks and the comparisons of the
// product's code read as its design gives them. Keys map as: Command = Ctrl, Control = Meta (the
// "Super" or "Windows" key), Option = Alt, Shift = Shift.
namespace Modifier {
inline constexpr unsigned CapsLock = 1u << 16;
inline constexpr unsigned Shift = 1u << 17;
inline constexpr unsigned Control = 1u << 18;
inline constexpr unsigned Option = 1u << 19;
inline constexpr unsigned Command = 1u << 20;
inline constexpr unsigned NumericPad = 1u << 21;
inline constexpr unsigned Function = 1u << 23;
// The bits above that do not depend on the device.
inline constexpr unsigned DeviceIndependentMask = 0xffff0000u;
} // namespace Modifier

unsigned modifierFlagsFromQt(Qt::KeyboardModifiers modifiers);
Qt::KeyboardModifiers qtModifiersFromFlags(unsigned flags);

// Event types with the platform's numbers; a monitor's mask has bit (1 << type) for each type.
enum class EventType
{
    None = 0,
    LeftMouseDown = 1,
    LeftMouseUp = 2,
    RightMouseDown = 3,
    RightMouseUp = 4,
    MouseMoved = 5,
    LeftMouseDragged = 6,
    RightMouseDragged = 7,
    MouseEntered = 8,
    MouseExited = 9,
    KeyDown = 10,
    KeyUp = 11,
    FlagsChanged = 12,
    ScrollWheel = 22,
    OtherMouseDown = 25,
    OtherMouseUp = 26,
    OtherMouseDragged = 27,
    Magnify = 30,
};

constexpr quint64 eventMask(EventType type)
{
    return quint64(1) << int(type);
}

// Phases of a scroll or gesture with the platform's values. A classic wheel has no phase (None).
enum class EventPhase
{
    None = 0,
    Began = 1,
    Stationary = 2,
    Changed = 4,
    Ended = 8,
    Cancelled = 16,
    MayBegin = 32,
};

// Virtual key codes with the platform's values (positions on an ANSI keyboard), for the keys the
// interface compares codes of. Letters and digits follow the US layout.
namespace KeyCode {
inline constexpr int A = 0, S = 1, D = 2, F = 3, H = 4, G = 5, Z = 6, X = 7, C = 8, V = 9, B = 11, Q = 12,
                     W = 13, E = 14, R = 15, Y = 16, T = 17, O = 31, U = 32, I = 34, P = 35, L = 37, J = 38,
                     K = 40, N = 45, M = 46;
inline constexpr int Return = 36, Tab = 48, Space = 49, Delete = 51, Escape = 53, Command = 55, Shift = 56,
                     CapsLock = 57, Option = 58, Control = 59, RightShift = 60, RightOption = 61,
                     RightControl = 62, Function = 63, KeypadEnter = 76, Home = 115, PageUp = 116,
                     ForwardDelete = 117, End = 119, PageDown = 121, LeftArrow = 123, RightArrow = 124,
                     DownArrow = 125, UpArrow = 126;
} // namespace KeyCode

// The virtual key code of a Qt key (-1 for keys without one), and the modifier flag a modifier key
// sets (0 for other keys).
int keyCodeFromQtKey(int qtKey);
unsigned modifierFlagForQtKey(int qtKey);

// One input event as the interface sees it: y-up positions, the platform's modifier flags, click
// counts, wheel deltas with phases. Values, cheap to copy. Made by the views and windows from Qt's
// events, or by the factory functions below to re-dispatch or synthesise one.
class Event
{
public:
    Event() = default;

    // A mouse event (down, up, dragged, moved) at a point in the window's base coordinates.
    static Event mouseEvent(EventType type, Point locationInWindow, unsigned modifierFlags, double timestamp,
                            Window* window, int clickCount = 1, double pressure = 1.0);
    static Event enterExitEvent(EventType type, Point locationInWindow, unsigned modifierFlags,
                                double timestamp, Window* window, TrackingArea* area);
    static Event keyEvent(EventType type, Point locationInWindow, unsigned modifierFlags, double timestamp,
                          Window* window, const QString& characters,
                          const QString& charactersIgnoringModifiers, bool isARepeat, int keyCode);
    static Event scrollEvent(Point locationInWindow, unsigned modifierFlags, double timestamp, Window* window,
                             double deltaX, double deltaY, bool precise, EventPhase phase = EventPhase::None,
                             EventPhase momentumPhase = EventPhase::None);

    EventType type() const { return m_type; }
    Window* window() const;
    // Position in the window's base coordinates (y-up, origin at the lower left of its content).
    Point locationInWindow() const { return m_location; }
    unsigned modifierFlags() const { return m_modifierFlags; }
    // Seconds on the interface clock (Clock::current()).
    double timestamp() const { return m_timestamp; }

    // Mouse events.
    int clickCount() const { return m_clickCount; }
    // 0 left, 1 right, 2 and up the other buttons.
    int buttonNumber() const { return m_buttonNumber; }
    double pressure() const { return m_pressure; }

    // Enter and exit events: the area that sent them and its user information.
    TrackingArea* trackingArea() const { return m_trackingArea; }
    QVariantMap userData() const { return m_userData; }

    // Key events.
    QString characters() const { return m_characters; }
    QString charactersIgnoringModifiers() const { return m_charactersIgnoringModifiers; }
    bool isARepeat() const { return m_isARepeat; }
    int keyCode() const { return m_keyCode; }

    // Scroll wheel: one classic wheel notch is 1.0 in deltaX/deltaY (positive: up, and left).
    // scrollingDelta is in lines for a classic wheel and in pixels where the device reports precise
    // deltas (a touchpad), which hasPreciseScrollingDeltas tells.
    double deltaX() const { return m_deltaX; }
    double deltaY() const { return m_deltaY; }
    double deltaZ() const { return 0; }
    double scrollingDeltaX() const { return m_scrollingDeltaX; }
    double scrollingDeltaY() const { return m_scrollingDeltaY; }
    bool hasPreciseScrollingDeltas() const { return m_precise; }
    EventPhase phase() const { return m_phase; }
    EventPhase momentumPhase() const { return m_momentumPhase; }
    bool isDirectionInvertedFromDevice() const { return m_inverted; }

    // Magnify gesture: the change of scale this event adds (0.1 = 10 % larger).
    double magnification() const { return m_magnification; }

    // True once the event went up the responder chain to its end without a taker; the view that turned
    // the Qt event into this one then lets Qt offer it to the widgets around.
    bool wasUnhandled() const { return m_unhandled; }
    void markUnhandled() const { m_unhandled = true; }

    // The state of the input devices now, outside any event.
    // Current modifier flags; tests may replace the source (an empty function restores the real one).
    static unsigned currentModifierFlags();
    static void setModifierFlagsProvider(std::function<unsigned()> provider);
    // Pointer position on the screen, y-up (origin at the lower left of the primary screen).
    static Point mouseLocation();
    // Bit i set while mouse button i is down; tests may replace the source (an empty function restores
    // the real one).
    static unsigned pressedMouseButtons();
    static void setPressedMouseButtonsProvider(std::function<unsigned()> provider);
    // Seconds within which a second press counts as part of a multiple click.
    static double doubleClickInterval();

    // Building from Qt events (used by View and Window).
    static Event fromQtMouse(EventType type, const QInputEvent& event, Point locationInWindow, Window* window,
                             int clickCount);
    void setButtonNumber(int number) { m_buttonNumber = number; }
    void setMagnification(double value) { m_magnification = value; }
    void setPhase(EventPhase phase) { m_phase = phase; }
    void setDirectionInverted(bool inverted) { m_inverted = inverted; }
    void setScrollingDeltas(double x, double y)
    {
        m_scrollingDeltaX = x;
        m_scrollingDeltaY = y;
    }
    void setType(EventType type) { m_type = type; }

private:
    // The part every kind of event has; the factories add their own.
    Event(EventType type, Point locationInWindow, unsigned modifierFlags, double timestamp, Window* window);

    EventType m_type = EventType::None;
    QPointer<Window> m_window;
    Point m_location;
    unsigned m_modifierFlags = 0;
    double m_timestamp = 0;
    int m_clickCount = 0;
    int m_buttonNumber = 0;
    double m_pressure = 0;
    TrackingArea* m_trackingArea = nullptr;
    QVariantMap m_userData;
    QString m_characters, m_charactersIgnoringModifiers;
    bool m_isARepeat = false;
    int m_keyCode = -1;
    double m_deltaX = 0, m_deltaY = 0, m_scrollingDeltaX = 0, m_scrollingDeltaY = 0;
    bool m_precise = false;
    EventPhase m_phase = EventPhase::None, m_momentumPhase = EventPhase::None;
    bool m_inverted = false;
    double m_magnification = 0;
    mutable bool m_unhandled = false;
};

} // namespace pf
