#include "Classes/Framework/Toolkit/OVCursorStack.h"

#include "Classes/Framework/Toolkit/OVWindowRegistry.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/UI/Window.h"

#include <QDebug>
#include <QPointer>
#include <memory>

namespace {

OVWindowRegistry<OVCursorStack>& registry()
{
    static OVWindowRegistry<OVCursorStack> stacks;
    return stacks;
}

// Strings and numbers as they read; object keys as the pointer they hold.
QString describe(const QVariant& key)
{
    if (key.metaType() != QMetaType::fromType<quintptr>() && key.canConvert<QString>())
        return key.toString();
    QString text;
    QDebug(&text).noquote() << key;
    return text;
}

} // namespace

void OVCursorStack::pushCursor(const std::optional<QCursor>& cursor, const QVariant& key, pf::Window* window)
{
    if (!window)
        return;
    OVCursorStack* stack = cursorStackForWindow(window);
    if (!stack)
        stack = registry().insert(window, std::make_unique<OVCursorStack>(window));
    window->disableCursorRects();
    stack->pushCursor(cursor, key);
}

void OVCursorStack::replaceCursor(const std::optional<QCursor>& cursor, const QVariant& key,
                                  pf::Window* window)
{
    if (OVCursorStack* stack = cursorStackForWindow(window))
        stack->replaceCursor(cursor, key);
}

void OVCursorStack::popCursorForKey(const QVariant& key, pf::Window* window)
{
    if (OVCursorStack* stack = cursorStackForWindow(window))
        stack->popCursorForKey(key);
}

OVCursorStack* OVCursorStack::cursorStackForWindow(const pf::Window* window)
{
    return window ? registry().find(window) : nullptr;
}

void OVCursorStack::removeCursorStackForWindow(pf::Window* window)
{
    if (!window || !cursorStackForWindow(window))
        return;
    window->enableCursorRects();
    registry().remove(window);
}

int OVCursorStack::registeredWindowCount()
{
    return registry().count();
}

OVCursorStack::OVCursorStack(pf::Window* window) : m_stack(window)
{
    QPointer<pf::Window> weak(window);
    m_willCloseObserver = pf::NotificationCenter::defaultCenter().addObserver(
        pf::Window::willCloseNotification, window, [weak](const pf::Notification&) {
            // Removal destroys this stack and its observer: the delivery holds a copy of the callback.
            if (weak)
                removeCursorStackForWindow(weak);
        });
}

OVCursorStack::~OVCursorStack() = default;

bool OVCursorStack::refused(const std::optional<QCursor>& cursor, const QVariant& key)
{
    if (cursor && key.isValid())
        return false;
    pf::warning(QStringLiteral("Neither Cursor (%1) nor key (%2) can be nil.")
                    .arg(cursor ? QStringLiteral("a cursor") : QStringLiteral("nil"),
                         key.isValid() ? describe(key) : QStringLiteral("nil")));
    return true;
}

void OVCursorStack::pushCursor(const std::optional<QCursor>& cursor, const QVariant& key)
{
    if (!refused(cursor, key))
        m_stack.push(*cursor, key);
}

void OVCursorStack::replaceCursor(const std::optional<QCursor>& cursor, const QVariant& key)
{
    if (!refused(cursor, key))
        m_stack.replace(*cursor, key);
}

void OVCursorStack::popCursorForKey(const QVariant& key)
{
    if (key.isValid())
        m_stack.pop(key);
}

QString OVCursorStack::description() const
{
    return QStringLiteral("Cursor stack (OVCursorStack %1) with Cursor for %2")
        .arg(QString::asprintf("%p", static_cast<const void*>(this)), describe(m_stack.topKey()));
}
