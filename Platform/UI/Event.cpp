#include "Platform/UI/Event.h"

#include "Platform/UI/Clock.h"
#include "Platform/UI/EventRouter.h"
#include "Platform/UI/TrackingArea.h"
#include "Platform/UI/Window.h"

#include <QCursor>
#include <QGuiApplication>
#include <QInputEvent>
#include <QScreen>
#include <QStyleHints>

namespace pf {

namespace {

std::function<unsigned()>& modifierFlagsProvider()
{
    static std::function<unsigned()> provider;
    return provider;
}

std::function<unsigned()>& pressedMouseButtonsProvider()
{
    static std::function<unsigned()> provider;
    return provider;
}

} // namespace

namespace {

// Qt's modifier and the platform's flag for each key: Command is Ctrl, Control is Meta.
const std::pair<Qt::KeyboardModifier, unsigned> modifierTable[] = {
    {Qt::ShiftModifier, Modifier::Shift},       {Qt::ControlModifier, Modifier::Command},
    {Qt::MetaModifier, Modifier::Control},      {Qt::AltModifier, Modifier::Option},
    {Qt::KeypadModifier, Modifier::NumericPad},
};

} // namespace

unsigned modifierFlagsFromQt(Qt::KeyboardModifiers modifiers)
{
    unsigned flags = 0;
    for (const auto& [qt, flag] : modifierTable)
        if (modifiers & qt)
            flags |= flag;
    return flags;
}

Qt::KeyboardModifiers qtModifiersFromFlags(unsigned flags)
{
    Qt::KeyboardModifiers modifiers;
    for (const auto& [qt, flag] : modifierTable)
        if (flags & flag)
            modifiers |= qt;
    return modifiers;
}

int keyCodeFromQtKey(int qtKey)
{
    static const QHash<int, int> table = [] {
        QHash<int, int> codes;
        const char* letters = "ASDFHGZXCV?BQWERYT";
        for (int code = 0; letters[code]; ++code)
            if (letters[code] != '?')
                codes.insert(letters[code], code);
        const std::pair<int, int> rest[] = {
            {'1', 18},
            {'2', 19},
            {'3', 20},
            {'4', 21},
            {'6', 22},
            {'5', 23},
            {'=', 24},
            {'9', 25},
            {'7', 26},
            {'-', 27},
            {'8', 28},
            {'0', 29},
            {']', 30},
            {'O', KeyCode::O},
            {'U', KeyCode::U},
            {'[', 33},
            {'I', KeyCode::I},
            {'P', KeyCode::P},
            {'L', KeyCode::L},
            {'J', KeyCode::J},
            {'\'', 39},
            {'K', KeyCode::K},
            {';', 41},
            {'\\', 42},
            {',', 43},
            {'/', 44},
            {'N', KeyCode::N},
            {'M', KeyCode::M},
            {'.', 47},
            {'`', 50},
            {Qt::Key_Return, KeyCode::Return},
            {Qt::Key_Enter, KeyCode::KeypadEnter},
            {Qt::Key_Tab, KeyCode::Tab},
            {Qt::Key_Backtab, KeyCode::Tab},
            {Qt::Key_Space, KeyCode::Space},
            {Qt::Key_Backspace, KeyCode::Delete},
            {Qt::Key_Escape, KeyCode::Escape},
            {Qt::Key_Control, KeyCode::Command},
            {Qt::Key_Shift, KeyCode::Shift},
            {Qt::Key_CapsLock, KeyCode::CapsLock},
            {Qt::Key_Alt, KeyCode::Option},
            {Qt::Key_AltGr, KeyCode::RightOption},
            {Qt::Key_Meta, KeyCode::Control},
            {Qt::Key_Super_L, KeyCode::Control},
            {Qt::Key_Super_R, KeyCode::RightControl},
            {Qt::Key_Home, KeyCode::Home},
            {Qt::Key_PageUp, KeyCode::PageUp},
            {Qt::Key_Delete, KeyCode::ForwardDelete},
            {Qt::Key_End, KeyCode::End},
            {Qt::Key_PageDown, KeyCode::PageDown},
            {Qt::Key_Left, KeyCode::LeftArrow},
            {Qt::Key_Right, KeyCode::RightArrow},
            {Qt::Key_Down, KeyCode::DownArrow},
            {Qt::Key_Up, KeyCode::UpArrow},
            {Qt::Key_F1, 122},
            {Qt::Key_F2, 120},
            {Qt::Key_F3, 99},
            {Qt::Key_F4, 118},
            {Qt::Key_F5, 96},
            {Qt::Key_F6, 97},
            {Qt::Key_F7, 98},
            {Qt::Key_F8, 100},
            {Qt::Key_F9, 101},
            {Qt::Key_F10, 109},
            {Qt::Key_F11, 103},
            {Qt::Key_F12, 111},
        };
        for (const auto& [key, code] : rest)
            codes.insert(key, code);
        return codes;
    }();
    return table.value(qtKey, -1);
}

unsigned modifierFlagForQtKey(int qtKey)
{
    switch (qtKey) {
    case Qt::Key_Shift:
        return Modifier::Shift;
    case Qt::Key_Control:
        return Modifier::Command;
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
        return Modifier::Control;
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
        return Modifier::Option;
    case Qt::Key_CapsLock:
        return Modifier::CapsLock;
    default:
        return 0;
    }
}

Event::Event(EventType type, Point locationInWindow, unsigned modifierFlags, double timestamp, Window* window)
    : m_type(type), m_window(window), m_location(locationInWindow), m_modifierFlags(modifierFlags),
      m_timestamp(timestamp)
{}

Window* Event::window() const
{
    return m_window.data();
}

Event Event::mouseEvent(EventType type, Point locationInWindow, unsigned modifierFlags, double timestamp,
                        Window* window, int clickCount, double pressure)
{
    Event event(type, locationInWindow, modifierFlags, timestamp, window);
    event.m_clickCount = clickCount;
    event.m_pressure = pressure;
    switch (type) {
    case EventType::RightMouseDown:
    case EventType::RightMouseUp:
    case EventType::RightMouseDragged:
        event.m_buttonNumber = 1;
        break;
    case EventType::OtherMouseDown:
    case EventType::OtherMouseUp:
    case EventType::OtherMouseDragged:
        event.m_buttonNumber = 2;
        break;
    default:
        break;
    }
    return event;
}

Event Event::enterExitEvent(EventType type, Point locationInWindow, unsigned modifierFlags, double timestamp,
                            Window* window, TrackingArea* area)
{
    Event event = mouseEvent(type, locationInWindow, modifierFlags, timestamp, window, 0, 0);
    event.m_trackingArea = area;
    if (area)
        event.m_userData = area->userInfo();
    return event;
}

Event Event::keyEvent(EventType type, Point locationInWindow, unsigned modifierFlags, double timestamp,
                      Window* window, const QString& characters, const QString& charactersIgnoringModifiers,
                      bool isARepeat, int keyCode)
{
    Event event(type, locationInWindow, modifierFlags, timestamp, window);
    event.m_characters = characters;
    event.m_charactersIgnoringModifiers = charactersIgnoringModifiers;
    event.m_isARepeat = isARepeat;
    event.m_keyCode = keyCode;
    return event;
}

Event Event::scrollEvent(Point locationInWindow, unsigned modifierFlags, double timestamp, Window* window,
                         double deltaX, double deltaY, bool precise, EventPhase phase,
                         EventPhase momentumPhase)
{
    Event event(EventType::ScrollWheel, locationInWindow, modifierFlags, timestamp, window);
    event.m_deltaX = deltaX;
    event.m_deltaY = deltaY;
    event.m_scrollingDeltaX = deltaX;
    event.m_scrollingDeltaY = deltaY;
    event.m_precise = precise;
    event.m_phase = phase;
    event.m_momentumPhase = momentumPhase;
    return event;
}

Event Event::fromQtMouse(EventType type, const QInputEvent& qtEvent, Point locationInWindow, Window* window,
                         int clickCount)
{
    return mouseEvent(type, locationInWindow, modifierFlagsFromQt(qtEvent.modifiers()),
                      Clock::current().now(), window, clickCount);
}

unsigned Event::currentModifierFlags()
{
    if (modifierFlagsProvider())
        return modifierFlagsProvider()();
    return modifierFlagsFromQt(QGuiApplication::queryKeyboardModifiers());
}

void Event::setModifierFlagsProvider(std::function<unsigned()> provider)
{
    modifierFlagsProvider() = std::move(provider);
}

Point Event::mouseLocation()
{
    const QPointF position = EventRouter::pointerGlobalPosition();
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double height = screen ? screen->geometry().height() : 0;
    return {double(position.x()), height - double(position.y())};
}

void Event::setPressedMouseButtonsProvider(std::function<unsigned()> provider)
{
    pressedMouseButtonsProvider() = std::move(provider);
}

unsigned Event::pressedMouseButtons()
{
    if (pressedMouseButtonsProvider())
        return pressedMouseButtonsProvider()();
    const Qt::MouseButtons buttons = QGuiApplication::mouseButtons();
    unsigned bits = 0;
    if (buttons & Qt::LeftButton)
        bits |= 1;
    if (buttons & Qt::RightButton)
        bits |= 2;
    if (buttons & Qt::MiddleButton)
        bits |= 4;
    return bits;
}

double Event::doubleClickInterval()
{
    return QGuiApplication::styleHints()->mouseDoubleClickInterval() / 1000.0;
}

} // namespace pf
