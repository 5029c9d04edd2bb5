#include "Classes/Framework/Toolkit/OVWindowCursorAndHint.h"

#include "Classes/Framework/Toolkit/OVCursorStack.h"
#include "Classes/Framework/Toolkit/OVHintController.h"
#include "Platform/UI/CursorStack.h"
#include "Platform/UI/Window.h"

OVWindowCursorAndHint::OVWindowCursorAndHint(const void* owner) : m_key(pf::CursorStack::key(owner)) {}

pf::Window* OVWindowCursorAndHint::window() const
{
    return qobject_cast<pf::Window*>(m_window.data());
}

void OVWindowCursorAndHint::sendHint(pf::Window* window, const QString& hint)
{
    m_window = window;
    if (window && !hint.isEmpty())
        OVHintController::sendHint(hint, m_key, window);
}

void OVWindowCursorAndHint::pushCursor(pf::Window* window, const QCursor& cursor)
{
    m_window = window;
    if (window)
        OVCursorStack::pushCursor(cursor, m_key, window);
}

void OVWindowCursorAndHint::remove()
{
    pf::Window* window = this->window();
    m_window = nullptr;
    if (!window)
        return;
    OVHintController::removeHintForKey(m_key, window);
    OVCursorStack::popCursorForKey(m_key, window);
}
