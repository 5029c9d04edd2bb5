#include "Classes/Frames/OVWindowDrawer.h"

#include "Classes/Frames/OVWindowDrawerDelegate.h"
#include "Classes/Framework/Toolkit/OVChildSupportWindow.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/UI/Timer.h"
#include "Platform/UI/View.h"
#include "Platform/UI/ViewAnimator.h"

#include <algorithm>
#include <cmath>

OVWindowDrawer::OVWindowDrawer()
{
    loadWindow();
}

void OVWindowDrawer::loadWindow()
{
    // Made here rather than by an interface, and made again should a parent have taken it down with it.
    auto* window = new OVChildSupportWindow(pf::Rect(0, 0, 100, 100), pf::Window::Borderless);
    window->setReleasedWhenClosed(false);
    window->setOpaque(false);
    window->setBackgroundColor(Qt::transparent);
    window->setIsChildWindow(true);
    window->setDelegate(this);
    setWindow(window);
}

OVWindowDrawer::~OVWindowDrawer()
{
    cancelClose();
    if (pf::Window* window = loadedWindow()) {
        window->setDelegate(nullptr);
        if (pf::Window* parent = window->parentWindow())
            parent->removeChildWindow(window);
    }
}

double OVWindowDrawer::resizeAnimationTime(const pf::Rect& from, const pf::Rect& to)
{
    const double travel = std::max({std::abs(from.minX() - to.minX()), std::abs(from.maxX() - to.maxX()),
                                    std::abs(from.minY() - to.minY()), std::abs(from.maxY() - to.maxY())});
    return 0.2 * travel / 150;
}

pf::Rect OVWindowDrawer::focusRectOnScreen() const
{
    pf::View* view = m_focusView;
    pf::Window* window = view ? view->window() : nullptr;
    if (!window)
        return pf::Rect();
    return window->convertRectToScreen(view->convertRectToView(view->bounds(), nullptr));
}

void OVWindowDrawer::cancelClose()
{
    if (m_closeTimer) {
        m_closeTimer->invalidate();
        m_closeTimer.reset();
    }
}

double OVWindowDrawer::showOverView(pf::View* view)
{
    cancelClose();
    m_focusView = view;
    pf::Window* parent = view ? view->window() : nullptr;
    pf::Window* drawer = window();
    if (!parent || !drawer)
        return 0;
    const pf::Rect focus = focusRectOnScreen();
    const double right = focus.maxX(), bottom = focus.minY(), height = view->frame().height();

    double width = 0;
    if (pf::View* content = m_contentView) {
        width = content->frame().width();
        if (content->superview() != drawer->contentView()) {
            content->removeFromSuperview();
            drawer->contentView()->addSubview(content);
        }
        content->setFrame(pf::Rect(0, 0, width, drawer->contentView()->frame().height()));
        content->setAutoresizingMask(pf::View::MaxXMargin | pf::View::HeightSizable);
    }

    drawer->setFrame(pf::Rect(right - 1, bottom, 1, height));
    if (drawer->parentWindow() != parent) {
        if (pf::Window* old = drawer->parentWindow())
            old->removeChildWindow(drawer);
        parent->addChildWindow(drawer);
    }
    drawer->makeKeyAndOrderFront();
    m_open = true;

    const pf::Rect target(right - width, bottom, width, height);
    const double duration = resizeAnimationTime(drawer->frame(), target);
    pf::ViewAnimator::runGroup(duration, [&] { pf::ViewAnimator::animateWindowFrame(drawer, target); });

    auto& center = pf::NotificationCenter::defaultCenter();
    m_parentCloseObserver = center.addObserver(pf::Window::willCloseNotification, parent,
                                               [this](const pf::Notification&) { parentWindowWillClose(); });
    m_parentResizeObserver = center.addObserver(pf::Window::didResizeNotification, parent,
                                                [this](const pf::Notification&) { parentWindowDidResize(); });
    return duration;
}

void OVWindowDrawer::hideDrawer()
{
    if (!m_open)
        return;
    m_open = false;
    pf::Window* drawer = loadedWindow();
    if (drawer) {
        const pf::Rect frame = drawer->frame();
        const pf::Rect target(frame.maxX() - 1, frame.minY(), 1, frame.height());
        const double duration = resizeAnimationTime(frame, target);
        cancelClose();
        m_closeTimer = pf::Timer::scheduled(
            duration, false, [this](pf::Timer&) { finishedCloseAnimation(); }, this);
        pf::ViewAnimator::runGroup(duration, [&] { pf::ViewAnimator::animateWindowFrame(drawer, target); });
    }
    m_parentCloseObserver = pf::ObserverToken();
    m_parentResizeObserver = pf::ObserverToken();
    if (m_delegate)
        m_delegate->windowDrawerDidHide(this);
}

void OVWindowDrawer::finishedCloseAnimation()
{
    cancelClose();
    pf::Window* drawer = loadedWindow();
    if (!drawer)
        return;
    pf::Window* parent = drawer->parentWindow();
    if (parent && drawer->isKeyWindow())
        parent->makeKeyWindow();
    if (parent)
        parent->removeChildWindow(drawer);
    drawer->close();
}

void OVWindowDrawer::windowDidResignKey(pf::Window*)
{
    if (m_autohide)
        hideDrawer();
}

void OVWindowDrawer::parentWindowDidResize()
{
    pf::Window* drawer = loadedWindow();
    if (!drawer || !m_focusView)
        return;
    const pf::Rect focus = focusRectOnScreen();
    const pf::Rect current = drawer->frame();
    const double height = m_focusView->frame().height();
    // An open drawer still sliding out keeps sliding to its full width at the new edge: taking the width
    // it had got to would stop it half open for good.
    const double openWidth = m_contentView ? m_contentView->frame().width() : current.width();
    if (m_open && current.width() != openWidth) {
        const pf::Rect target(focus.maxX() - openWidth, focus.minY(), openWidth, height);
        const pf::Rect from(focus.maxX() - current.width(), focus.minY(), current.width(), height);
        drawer->setFrame(from);
        pf::ViewAnimator::runGroup(resizeAnimationTime(from, target),
                                   [&] { pf::ViewAnimator::animateWindowFrame(drawer, target); });
        return;
    }
    const pf::Rect frame(focus.maxX() - current.width(), focus.minY(), current.width(), height);
    // Set at once: a sliding frame would lag behind the parent's edge.
    pf::ViewAnimator::runGroup(0, [&] { pf::ViewAnimator::animateWindowFrame(drawer, frame); });
}

void OVWindowDrawer::parentWindowWillClose()
{
    hideDrawer();
    cancelClose();
    finishedCloseAnimation();
}
