#include "Platform/UI/Window.h"

#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/UI/Event.h"
#include "Platform/UI/EventRouter.h"
#include "Platform/UI/View.h"
#include "Platform/UI/WindowDelegate.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>

namespace pf {

const QString Window::willCloseNotification = QStringLiteral("WindowWillClose");
const QString Window::didMoveNotification = QStringLiteral("WindowDidMove");
const QString Window::didResizeNotification = QStringLiteral("WindowDidResize");
const QString Window::didBecomeKeyNotification = QStringLiteral("WindowDidBecomeKey");
const QString Window::didResignKeyNotification = QStringLiteral("WindowDidResignKey");

namespace {

QPointer<Window> currentKeyWindow;

double primaryScreenHeight()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().height() : 0;
}

// A y-up screen rectangle as Qt's y-down global rectangle, and back.
QRect toQtScreen(const Rect& rect)
{
    const Rect r = rect.standardized();
    return QRect(int(std::lround(r.minX())), int(std::lround(primaryScreenHeight() - r.maxY())),
                 int(std::lround(r.width())), int(std::lround(r.height())));
}

Rect fromQtScreen(const QRect& rect)
{
    return Rect(rect.x(), primaryScreenHeight() - rect.y() - rect.height(), rect.width(), rect.height());
}

} // namespace

Window::Window(const Rect& contentRect, unsigned style)
    : QWidget(nullptr, style == Borderless ? Qt::Window | Qt::FramelessWindowHint : Qt::Window),
      m_style(style), m_autoresizingMask(View::MinYMargin | View::MaxXMargin)
{
    EventRouter::install();
    setAttribute(Qt::WA_DeleteOnClose, false);
    setFocusPolicy(Qt::StrongFocus);
    m_backgroundColor = palette().color(QPalette::Window);
    setGeometry(toQtScreen(contentRect));
    setContentView(new View(Rect(0, 0, contentRect.width(), contentRect.height())));
}

Window::~Window()
{
    // Overlays are child widgets, deleted after this object's members: they must not reach back.
    for (const QPointer<Window>& child : std::as_const(m_childWindows))
        if (child)
            child->m_parentWindow = nullptr;
    if (m_parentWindow)
        m_parentWindow->m_childWindows.removeAll(this);
    if (currentKeyWindow == this)
        currentKeyWindow = nullptr;
}

void Window::setContentView(View* view)
{
    if (view == m_contentView)
        return;
    View* old = m_contentView;
    m_contentView = view;
    if (view) {
        view->viewWillMoveToWindow(this);
        view->setParent(this);
        view->setFrame(Rect(0, 0, width(), contentHeight()));
        view->lower();
        view->show();
        view->viewDidMoveToWindow();
    }
    if (old) {
        old->viewWillMoveToWindow(nullptr);
        old->hide();
        old->setParent(nullptr);
        old->viewDidMoveToWindow();
        delete old;
    }
}

// Geometry -----------------------------------------------------------------------------------------

Rect Window::frame() const
{
    if (isOverlay()) {
        const QPoint topLeft = mapToGlobal(QPoint(0, 0));
        return fromQtScreen(QRect(topLeft, size()));
    }
    return fromQtScreen(geometry());
}

void Window::setFrame(const Rect& frame)
{
    const Rect r = frame.standardized();
    if (isOverlay())
        placeOverlay(r);
    else
        setGeometry(toQtScreen(r));
    // A hidden window receives its resize event only when shown: its content takes the new size now,
    // so that a window can be laid out before it shows.
    if (!isVisible() && !(m_contentView && m_contentView->frame().size == Size(width(), contentHeight())))
        layOutMenuBarAndContent();
}

void Window::setFrameOrigin(Point origin)
{
    setFrame(Rect(origin, frame().size));
}

void Window::setContentSize(Size size)
{
    // Keep the top edge where it is, as resizing a window does.
    const Rect current = frame();
    const double bar = height() - contentHeight();
    setFrame(Rect(current.minX(), current.maxY() - size.height - bar, size.width, size.height + bar));
}

void Window::setMenuBar(QWidget* bar)
{
    if (bar == m_menuBar)
        return;
    delete m_menuBar.data();
    m_menuBar = bar;
    if (bar) {
        bar->setParent(this);
        bar->show();
        bar->raise();
    }
    layOutMenuBarAndContent();
}

double Window::contentHeight() const
{
    const int bar = m_menuBar ? m_menuBar->sizeHint().height() : 0;
    return std::max(0, height() - bar);
}

void Window::layOutMenuBarAndContent()
{
    const double content = contentHeight();
    if (m_menuBar)
        m_menuBar->setGeometry(0, 0, width(), height() - int(content));
    if (m_contentView)
        m_contentView->setFrame(Rect(0, 0, width(), content));
}

Point Window::convertPointToScreen(Point point) const
{
    const Rect f = frame();
    return Point(f.minX() + point.x, f.minY() + point.y);
}

Point Window::convertPointFromScreen(Point point) const
{
    const Rect f = frame();
    return Point(point.x - f.minX(), point.y - f.minY());
}

Rect Window::convertRectToScreen(const Rect& rect) const
{
    const Rect f = frame();
    return rect.offsetBy(f.minX(), f.minY());
}

Rect Window::convertRectFromScreen(const Rect& rect) const
{
    const Rect f = frame();
    return rect.offsetBy(-f.minX(), -f.minY());
}

Point Window::mouseLocationOutsideOfEventStream() const
{
    return convertPointFromScreen(Event::mouseLocation());
}

void Window::setTitle(const QString& title)
{
    setWindowTitle(title);
}

// Overlays -----------------------------------------------------------------------------------------

Rect Window::frameInParentBase() const
{
    return m_overlayFrameInParent;
}

void Window::placeOverlay(const Rect& frameOnScreen)
{
    Window* parent = m_parentWindow;
    const Rect inParent = parent->convertRectFromScreen(frameOnScreen);
    m_overlayFrameInParent = inParent;
    const QRect geometry(int(std::lround(inParent.minX())),
                         int(std::lround(parent->height() - inParent.maxY())),
                         int(std::lround(inParent.width())), int(std::lround(inParent.height())));
    const bool moved = geometry.topLeft() != pos();
    setGeometry(geometry);
    if (moved)
        didMove();
}

void Window::addChildWindow(Window* child)
{
    if (!child || child == this || child->m_parentWindow == this)
        return;
    if (child->m_parentWindow)
        child->m_parentWindow->removeChildWindow(child);
    const Rect screenFrame = child->frame();
    const bool visible = child->isVisible();
    child->m_parentWindow = this;
    m_childWindows.append(child);
    child->setParent(this, Qt::Widget);
    child->placeOverlay(screenFrame);
    child->raise();
    // An attached window is ordered in with its owner.
    if (visible || isVisible())
        child->show();
}

void Window::removeChildWindow(Window* child)
{
    if (!child || child->m_parentWindow != this)
        return;
    const Rect screenFrame = child->frame();
    const bool visible = child->isVisible();
    m_childWindows.removeAll(child);
    child->m_parentWindow = nullptr;
    child->setParent(nullptr,
                     child->m_style == Borderless ? Qt::Window | Qt::FramelessWindowHint : Qt::Window);
    child->setGeometry(toQtScreen(screenFrame));
    if (visible)
        child->show();
}

QList<Window*> Window::childWindows() const
{
    QList<Window*> windows;
    for (const QPointer<Window>& child : m_childWindows)
        if (child)
            windows.append(child);
    return windows;
}

void Window::setIgnoresMouseEvents(bool ignores)
{
    setAttribute(Qt::WA_TransparentForMouseEvents, ignores);
}

bool Window::ignoresMouseEvents() const
{
    return testAttribute(Qt::WA_TransparentForMouseEvents);
}

Window* Window::windowAtBasePoint(Point point)
{
    // Front to back: the overlays stacked last are on top.
    const QList<Window*> children = childWindows();
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        Window* child = *it;
        if (!child->isVisible() || child->ignoresMouseEvents())
            continue;
        const Rect f = child->m_overlayFrameInParent;
        if (f.contains(point))
            return child->windowAtBasePoint(Point(point.x - f.minX(), point.y - f.minY()));
    }
    return this;
}

// Ordering and key status -------------------------------------------------------------------------

void Window::makeKeyAndOrderFront()
{
    orderFront();
    makeKeyWindow();
}

void Window::orderFront()
{
    show();
    raise();
}

void Window::orderOut()
{
    if (isKeyWindow())
        resignKeyWindow();
    hide();
}

bool Window::isKeyWindow() const
{
    return currentKeyWindow == this;
}

Window* Window::keyWindow()
{
    return currentKeyWindow.data();
}

void Window::makeKeyWindow()
{
    becomeKey(true);
}

void Window::becomeKey(bool activate)
{
    if (currentKeyWindow == this || !canBecomeKeyWindow())
        return;
    // The old key window's delegate and observers, and this one's, may delete this window.
    const QPointer<Window> self(this);
    if (Window* previous = currentKeyWindow)
        previous->resignKeyWindow();
    if (!self)
        return;
    currentKeyWindow = this;
    // An overlay has no window of its own on the system: the window it sits in takes the keyboard
    // for it, unless it has it already.
    if (activate && (!isOverlay() || !window()->isActiveWindow()))
        window()->activateWindow();
    if (auto* widget = dynamic_cast<QWidget*>(firstResponder()))
        widget->setFocus(Qt::ActiveWindowFocusReason);
    if (!self)
        return;
    if (WindowDelegate* owner = delegate())
        owner->windowDidBecomeKey(this);
    if (!self)
        return;
    postNotification(didBecomeKeyNotification);
}

void Window::resignKeyWindow()
{
    if (currentKeyWindow != this)
        return;
    currentKeyWindow = nullptr;
    const QPointer<Window> self(this);
    if (WindowDelegate* owner = delegate())
        owner->windowDidResignKey(this);
    if (!self)
        return;
    postNotification(didResignKeyNotification);
}

bool Window::makeFirstResponder(Responder* responder)
{
    Responder* current = firstResponder();
    if (!responder)
        responder = this;
    if (responder == current)
        return true;
    // Resigning tells the old responder's owners (an edit ends, a notification goes out), who may
    // delete the new responder or this window: a responder that is a QObject is followed.
    const QPointer<Window> self(this);
    QObject* responderObject = dynamic_cast<QObject*>(responder);
    const QPointer<QObject> responderGuard(responderObject);
    if (current != this && !current->resignFirstResponder())
        return false;
    if (!self)
        return false;
    if (responderObject && !responderGuard)
        responder = this; // the new one went while the old one resigned
    // The old one resigned; when the new one refuses, the window itself takes the keyboard.
    const bool accepted =
        responder == this || (responder->acceptsFirstResponder() && responder->becomeFirstResponder());
    if (!self)
        return false;
    if (responderObject && !responderGuard)
        responder = this;
    Responder* taker = accepted ? responder : this;
    m_firstResponder = taker;
    m_firstResponderObject = dynamic_cast<QObject*>(taker);
    m_firstResponderIsObject = m_firstResponderObject != nullptr;
    if (auto* widget = dynamic_cast<QWidget*>(taker)) {
        if (widget->focusPolicy() == Qt::NoFocus)
            widget->setFocusPolicy(Qt::ClickFocus);
        widget->setFocus(Qt::OtherFocusReason);
    }
    return accepted;
}

Responder* Window::firstResponder() const
{
    if (m_firstResponder && m_firstResponderIsObject && m_firstResponderObject.isNull())
        return const_cast<Window*>(this);
    return m_firstResponder ? m_firstResponder : const_cast<Window*>(this);
}

void Window::noteFocusMovedTo(Responder* responder)
{
    Responder* current = firstResponder();
    if (responder == current)
        return;
    // Qt moved the focus (a click, the tab key): follow it; the old responder cannot refuse. Either
    // may delete the other, or this window, on the way.
    const QPointer<Window> self(this);
    QObject* responderObject = dynamic_cast<QObject*>(responder);
    const QPointer<QObject> responderGuard(responderObject);
    if (current && current != this)
        current->resignFirstResponder();
    if (!self || (responderObject && !responderGuard))
        return;
    responder->becomeFirstResponder();
    if (!self || (responderObject && !responderGuard))
        return;
    m_firstResponder = responder;
    m_firstResponderObject = dynamic_cast<QObject*>(responder);
    m_firstResponderIsObject = m_firstResponderObject != nullptr;
}

void Window::noteFocusLeft(Responder* responder)
{
    if (firstResponder() != responder)
        return;
    const QPointer<Window> self(this);
    responder->resignFirstResponder();
    if (!self)
        return;
    m_firstResponder = this;
    m_firstResponderObject = this;
    m_firstResponderIsObject = m_firstResponderObject != nullptr;
}

// Closing ----------------------------------------------------------------------------------------

void Window::performClose()
{
    const QPointer<Window> self(this);
    if (WindowDelegate* owner = delegate(); owner && !owner->windowShouldClose(this))
        return;
    if (self)
        close();
}

void Window::close()
{
    if (m_closing)
        return;
    m_closing = true;
    // The delegate, the observers and the overlays' own observers may delete this window: a window
    // gone on the way has nothing left to hide.
    const QPointer<Window> self(this);
    if (WindowDelegate* owner = delegate())
        owner->windowWillClose(this);
    if (!self)
        return;
    postNotification(willCloseNotification);
    if (!self)
        return;
    for (const QPointer<Window>& child : QList<QPointer<Window>>(m_childWindows)) {
        if (child)
            child->close();
        if (!self)
            return;
    }
    if (isKeyWindow()) {
        resignKeyWindow();
        if (!self)
            return;
        if (m_parentWindow && m_parentWindow->isVisible())
            m_parentWindow->makeKeyWindow();
        if (!self)
            return;
    }
    hide();
    m_closing = false;
    if (m_releasedWhenClosed) {
        QPointer<Window> self(this);
        QTimer::singleShot(0, QCoreApplication::instance(), [self] { delete self.data(); });
    }
}

bool Window::validateMenuItem(const QAction* item) const
{
    return !isCloseCommand(item) || (m_style & Closable);
}

bool Window::isCloseCommand(const QAction* item)
{
    return item && item->property("pfCommand").toString() == QLatin1String("performClose");
}

void Window::markAsCloseCommand(QAction* item)
{
    item->setProperty("pfCommand", QStringLiteral("performClose"));
}

bool Window::sendEvent(const Event&)
{
    return true;
}

void Window::closeEvent(QCloseEvent* event)
{
    // The window manager's close button: ask, then close our way.
    event->ignore();
    performClose();
}

// Appearance ---------------------------------------------------------------------------------------

void Window::setOpaque(bool opaque)
{
    m_opaque = opaque;
    setAttribute(Qt::WA_TranslucentBackground, !opaque);
    update();
}

void Window::setBackgroundColor(const QColor& color)
{
    m_backgroundColor = color;
    update();
}

void Window::setHasShadow(bool flag)
{
    m_hasShadow = flag;
    setWindowFlag(Qt::NoDropShadowWindowHint, !flag);
}

bool Window::isFullScreen() const
{
    return QWidget::isFullScreen();
}

void Window::toggleFullScreen()
{
    if (isOverlay())
        return;
    if (QWidget::isFullScreen())
        showNormal();
    else
        showFullScreen();
}

QImage Window::snapshot()
{
    return grab().toImage();
}

void Window::paintEvent(QPaintEvent*)
{
    if (!m_opaque && isOverlay()) {
        // An overlay that is not opaque lets its owner show through where it draws nothing.
        if (m_backgroundColor.alpha() < 255 && m_backgroundColor.alpha() > 0)
            QPainter(this).fillRect(rect(), m_backgroundColor);
        return;
    }
    QPainter painter(this);
    if (!m_opaque) {
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.fillRect(rect(),
                         m_backgroundColor.alpha() == 255 ? QColor(Qt::transparent) : m_backgroundColor);
        return;
    }
    painter.fillRect(rect(), m_backgroundColor);
}

// Cursors ------------------------------------------------------------------------------------------

void Window::setWindowCursor(const std::optional<QCursor>& cursor)
{
    m_cursor = cursor;
    applyCursor();
}

void Window::disableCursorRects()
{
    m_cursorRectsEnabled = false;
    applyCursor();
}

void Window::enableCursorRects()
{
    m_cursorRectsEnabled = true;
    applyCursor();
}

void Window::applyCursor()
{
    // With cursor rectangles enabled the window cursor is the default its widgets inherit.
    if (m_cursor && m_cursorRectsEnabled)
        setCursor(*m_cursor);
    else
        unsetCursor();
    EventRouter::refreshCursor();
}

// Resizing, moving, notifications ---------------------------------------------------------------

void Window::setDelegate(WindowDelegate* delegate)
{
    m_delegate = delegate;
    m_delegateLifetime = delegate ? delegate->windowDelegateLifetime() : std::weak_ptr<const void>();
}

void Window::postNotification(const QString& name)
{
    NotificationCenter::defaultCenter().post(name, this);
}

void Window::didMove()
{
    const QPointer<Window> self(this);
    if (WindowDelegate* owner = delegate())
        owner->windowDidMove(this);
    if (!self)
        return;
    postNotification(didMoveNotification);
    if (!self)
        return;
    for (const QPointer<Window>& child : QList<QPointer<Window>>(m_childWindows)) {
        if (child)
            child->didMove();
        if (!self)
            return;
    }
}

void Window::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    const QPointer<Window> self(this);
    if (WindowDelegate* owner = delegate(); owner && !m_resizingByDelegate) {
        const Size proposed(width(), height());
        const Size wanted = owner->windowWillResize(this, proposed);
        if (!self)
            return;
        if (!(wanted == proposed)) {
            m_resizingByDelegate = true;
            resize(int(std::lround(wanted.width)), int(std::lround(wanted.height)));
            if (self)
                m_resizingByDelegate = false;
            return;
        }
    }
    const QSize oldSize = event->oldSize().isValid() ? event->oldSize() : size();
    layOutMenuBarAndContent();
    if (isOverlay())
        m_overlayFrameInParent.size = Size(width(), height());
    // Overlays keep their place by their autoresizing masks over this window's content.
    if (!self)
        return;
    for (const QPointer<Window>& child : QList<QPointer<Window>>(m_childWindows)) {
        if (!child)
            continue;
        const Rect resized =
            View::autoresizedFrame(child->m_overlayFrameInParent, child->m_autoresizingMask,
                                   Size(oldSize.width(), oldSize.height()), Size(width(), height()));
        child->placeOverlay(convertRectToScreen(resized));
        if (!self)
            return;
    }
    if (WindowDelegate* owner = delegate())
        owner->windowDidResize(this);
    if (!self)
        return;
    postNotification(didResizeNotification);
}

void Window::moveEvent(QMoveEvent* event)
{
    QWidget::moveEvent(event);
    if (!isOverlay())
        didMove();
}

void Window::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && !isOverlay()) {
        // Activated by the window manager: it becomes key unless one of its overlays already is.
        Window* key = currentKeyWindow;
        bool overlayIsKey = false;
        for (Window* w = key; w; w = w->m_parentWindow)
            if (w == this)
                overlayIsKey = true;
        // Already active: asking the system again would answer an older request of another window
        // with this one, and two windows would take the activation from each other for ever.
        if (!overlayIsKey)
            becomeKey(false);
    }
}

void Window::keyPressEvent(QKeyEvent* event)
{
    const Event converted = EventRouter::keyEventFromQt(*event, true, this);
    dispatch(converted);
    if (converted.wasUnhandled())
        event->ignore();
}

void Window::keyReleaseEvent(QKeyEvent* event)
{
    const Event converted = EventRouter::keyEventFromQt(*event, false, this);
    dispatch(converted);
    if (converted.wasUnhandled())
        event->ignore();
}

// Moving by the background -------------------------------------------------------------------------

void Window::mouseDown(const Event& event)
{
    if (!m_movableByBackground) {
        Responder::mouseDown(event);
        return;
    }
    m_dragging = true;
    m_dragStartLocation = event.locationInWindow();
    m_lastDragPointer = EventRouter::pointerGlobalPosition();
}

// The window follows the pointer: it moves by how far the pointer got from where it was pressed in
// the window, which stays right however the windowing system reports the moves.
void Window::mouseDragged(const Event& event)
{
    if (!m_dragging) {
        Responder::mouseDragged(event);
        return;
    }
    // Moving the window under a resting pointer makes the windowing system report a move of its own.
    const QPointF pointer = EventRouter::pointerGlobalPosition();
    if (pointer == m_lastDragPointer)
        return;
    m_lastDragPointer = pointer;
    const Point delta = event.locationInWindow() - m_dragStartLocation;
    setFrameOrigin(frame().origin + delta);
}

void Window::mouseUp(const Event& event)
{
    if (!m_dragging) {
        Responder::mouseUp(event);
        return;
    }
    m_dragging = false;
}

// Presses on the window's own background (outside every view) take the same route as in views.
void Window::mousePressEvent(QMouseEvent* event)
{
    if (event->type() == QEvent::MouseButtonDblClick)
        return;
    if (!isKeyWindow() && canBecomeKeyWindow())
        makeKeyWindow();
    const Event converted =
        Event::fromQtMouse(EventType::LeftMouseDown, *event,
                           Point(event->position().x(), height() - event->position().y()), this, 1);
    if (event->button() == Qt::LeftButton)
        mouseDown(converted);
}

void Window::mouseMoveEvent(QMouseEvent* event)
{
    if (event->buttons() & Qt::LeftButton)
        mouseDragged(Event::fromQtMouse(EventType::LeftMouseDragged, *event,
                                        Point(event->position().x(), height() - event->position().y()), this,
                                        1));
}

void Window::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        mouseUp(Event::fromQtMouse(EventType::LeftMouseUp, *event,
                                   Point(event->position().x(), height() - event->position().y()), this, 1));
}

} // namespace pf
