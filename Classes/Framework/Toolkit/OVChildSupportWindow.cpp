#include "Classes/Framework/Toolkit/OVChildSupportWindow.h"

#include "Platform/UI/Event.h"

bool OVChildSupportWindow::validateMenuItem(const QAction* item) const
{
    if (m_isChildWindow && isCloseCommand(item) && parentWindow())
        return parentWindow()->validateMenuItem(item);
    return pf::Window::validateMenuItem(item);
}

bool OVChildSupportWindow::isKeyWindow() const
{
    // A child may ask its parent back (a cycle of children): the question in progress answers yes.
    if (m_checkingKey)
        return true;
    m_checkingKey = true;
    bool key = pf::Window::isKeyWindow();
    if (!key) {
        for (pf::Window* child : childWindows()) {
            if (child->isKeyWindow()) {
                key = true;
                break;
            }
        }
    }
    m_checkingKey = false;
    return key;
}

bool OVChildSupportWindow::canBecomeMainWindow() const
{
    return !parentWindow() && pf::Window::canBecomeMainWindow();
}

void OVChildSupportWindow::performClose()
{
    if (m_isChildWindow && parentWindow())
        parentWindow()->performClose();
    else
        pf::Window::performClose();
}

bool OVChildSupportWindow::sendEvent(const pf::Event& event)
{
    const bool press =
        event.type() == pf::EventType::LeftMouseDown || event.type() == pf::EventType::RightMouseDown;
    if (press && !parentWindow() && !pf::Window::isKeyWindow()) {
        for (pf::Window* child : childWindows()) {
            if (child->isKeyWindow()) {
                // Taking the keyboard tells the owners of both, who may close and delete this window:
                // then the press has nothing left to go to.
                const QPointer<OVChildSupportWindow> self(this);
                makeKeyWindow();
                if (!self)
                    return false;
                break;
            }
        }
    }
    return pf::Window::sendEvent(event);
}
