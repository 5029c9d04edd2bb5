#pragma once

#include "Platform/Foundation/Rect.h"
#include "Platform/UI/Responder.h"

#include <QCursor>
#include <QPointer>
#include <QWidget>
#include <memory>
#include <optional>

class QAction;

namespace pf {

class View;
class WindowDelegate;

// A window: a top-level widget, or an overlay floating inside its owner window (the loupe, drawers,
// hover windows, tooltips, sheets), which behaves the same with or without a window manager. Its
// content is a View filling it. Frames are in screen coordinates, y-up (origin at the lower left of
// the primary screen); the window's base coordinate system is y-up from the lower left of its content.
//
// Notifications (pf::NotificationCenter::defaultCenter(), sender: the window): willCloseNotification,
// didMoveNotification, didResizeNotification, didBecomeKeyNotification, didResignKeyNotification.
class Window : public QWidget, public Responder
{
    Q_OBJECT

public:
    enum Style : unsigned
    {
        Borderless = 0,
        Titled = 1,
        Closable = 2,
        Miniaturizable = 4,
        Resizable = 8,
    };

    static const QString willCloseNotification;
    static const QString didMoveNotification;
    static const QString didResizeNotification;
    static const QString didBecomeKeyNotification;
    static const QString didResignKeyNotification;

    // `contentRect` in screen coordinates (y-up).
    explicit Window(const Rect& contentRect = Rect(100, 100, 480, 360),
                    unsigned style = Titled | Closable | Resizable);
    ~Window() override;

    unsigned styleMask() const { return m_style; }

    // The view filling the window below its menu bar. The window owns it; setting another deletes the
    // previous one.
    View* contentView() const { return m_contentView; }
    void setContentView(View* view);

    // A menu bar along the window's top edge, above the content (owned by the window; null removes
    // it). The base coordinate system stays that of the content: y-up from its lower left, which is
    // the window's lower left; the bar's strip lies above the content's top.
    QWidget* menuBar() const { return m_menuBar; }
    void setMenuBar(QWidget* bar);
    // The height of the content: the window's height less the menu bar's.
    double contentHeight() const;

    // Geometry in screen coordinates (the menu bar included).
    Rect frame() const;
    void setFrame(const Rect& frame);
    void setFrameOrigin(Point origin);
    // The size of the content; the window grows by its menu bar.
    void setContentSize(Size size);
    Point convertPointToScreen(Point pointInBase) const;
    Point convertPointFromScreen(Point pointOnScreen) const;
    Rect convertRectToScreen(const Rect& rectInBase) const;
    Rect convertRectFromScreen(const Rect& rectOnScreen) const;
    // The pointer's position in base coordinates, now.
    Point mouseLocationOutsideOfEventStream() const;

    QString title() const { return windowTitle(); }
    void setTitle(const QString& title);

    // Ordering and visibility.
    void makeKeyAndOrderFront();
    void orderFront();
    void orderOut();

    // The key window receives the keyboard. Overlays can be key too.
    virtual bool isKeyWindow() const;
    virtual bool canBecomeKeyWindow() const { return true; }
    // Whether the window can be the main window (the one whose document the menus act on): a
    // top-level window can, an overlay cannot.
    virtual bool canBecomeMainWindow() const { return !isOverlay(); }
    void makeKeyWindow();
    void resignKeyWindow();
    static Window* keyWindow();

    // The responder that receives key events first (a view of this window or the window itself).
    // Asks the current one to resign and the new one to accept; false when either refuses.
    bool makeFirstResponder(Responder* responder);
    Responder* firstResponder() const;

    // Closing: performClose() asks the delegate (windowShouldClose) first; close() does not ask. Both
    // post willCloseNotification, hide the window with its overlays and, when releasedWhenClosed is
    // set, delete it at the next turn of the event loop.
    virtual void performClose();
    void close();
    // Whether a menu command sent to this window is enabled now. By default every command is, except
    // the close command on a window without the Closable style.
    virtual bool validateMenuItem(const QAction* item) const;
    // The menus' close command: the item whose "pfCommand" property is "performClose".
    static bool isCloseCommand(const QAction* item);
    static void markAsCloseCommand(QAction* item);
    bool isReleasedWhenClosed() const { return m_releasedWhenClosed; }
    void setReleasedWhenClosed(bool flag) { m_releasedWhenClosed = flag; }

    // Not owned, held weakly: nullptr once the delegate is destroyed.
    WindowDelegate* delegate() const { return m_delegateLifetime.expired() ? nullptr : m_delegate; }
    void setDelegate(WindowDelegate* delegate);

    // Overlay child windows: `child` floats over this window as an overlay inside it, keeping its
    // screen frame, and is hidden, moved and closed with it. While attached, its frame follows this
    // window's resizing by its autoresizing mask (View::Autoresizing bits over the content; the
    // default keeps its distance to the top left).
    void addChildWindow(Window* child);
    void removeChildWindow(Window* child);
    Window* parentWindow() const { return m_parentWindow; }
    QList<Window*> childWindows() const;
    bool isOverlay() const { return m_parentWindow != nullptr; }
    unsigned autoresizingMask() const { return m_autoresizingMask; }
    void setAutoresizingMask(unsigned mask) { m_autoresizingMask = mask; }
    // An overlay that lets every mouse event through to the window beneath.
    void setIgnoresMouseEvents(bool ignores);
    bool ignoresMouseEvents() const;

    // Appearance.
    bool isOpaque() const { return m_opaque; }
    void setOpaque(bool opaque);
    QColor backgroundColor() const { return m_backgroundColor; }
    void setBackgroundColor(const QColor& color);
    bool hasShadow() const { return m_hasShadow; }
    void setHasShadow(bool flag);
    bool isMovableByWindowBackground() const { return m_movableByBackground; }
    void setMovableByWindowBackground(bool flag) { m_movableByBackground = flag; }
    bool isFullScreen() const;
    void toggleFullScreen();
    // The window's content as it looks now, at the screen's scale.
    QImage snapshot();

    // Cursors. The window cursor shows wherever the pointer is over the window. While cursor
    // rectangles are enabled, widgets with a cursor of their own (text fields) show theirs; while they
    // are disabled, the window cursor wins everywhere in the window.
    void setWindowCursor(const std::optional<QCursor>& cursor);
    std::optional<QCursor> windowCursor() const { return m_cursor; }
    void disableCursorRects();
    void enableCursorRects();
    bool areCursorRectsEnabled() const { return m_cursorRectsEnabled; }

    // The innermost window (an overlay or this one) at a point of this window's base coordinates.
    Window* windowAtBasePoint(Point point);

    // Called by views when they take or lose the keyboard focus without makeFirstResponder().
    void noteFocusMovedTo(Responder* responder);
    void noteFocusLeft(Responder* responder);

    // Offered every mouse event of this window (its content or its background; an overlay's go to the
    // overlay) before it is delivered; answering false swallows it. By default: true.
    virtual bool sendEvent(const Event& event);

    // Events that reach the window unhandled: dragging a movable background moves the window.
    void mouseDown(const Event& event) override;
    void mouseDragged(const Event& event) override;
    void mouseUp(const Event& event) override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void placeOverlay(const Rect& frameOnScreen);
    void layOutMenuBarAndContent();
    // Makes this the key window; `activate` asks the system to activate it as well.
    void becomeKey(bool activate);
    Rect frameInParentBase() const;
    void applyCursor();
    void postNotification(const QString& name);
    void didMove();

    unsigned m_style;
    View* m_contentView = nullptr;
    QPointer<QWidget> m_menuBar;
    QPointer<Window> m_parentWindow;
    QList<QPointer<Window>> m_childWindows;
    unsigned m_autoresizingMask;
    Rect m_overlayFrameInParent; // an overlay's frame in its parent's base coordinates
    WindowDelegate* m_delegate = nullptr;
    std::weak_ptr<const void> m_delegateLifetime;
    QPointer<QObject> m_firstResponderObject;
    Responder* m_firstResponder = nullptr;
    bool m_firstResponderIsObject = false;
    bool m_releasedWhenClosed = false;
    bool m_closing = false;
    bool m_opaque = true;
    QColor m_backgroundColor;
    bool m_hasShadow = true;
    bool m_movableByBackground = false;
    Point m_dragStartLocation;
    QPointF m_lastDragPointer;
    bool m_dragging = false;
    bool m_resizingByDelegate = false;
    std::optional<QCursor> m_cursor;
    bool m_cursorRectsEnabled = true;
    bool m_overrideApplied = false;
};

} // namespace pf
