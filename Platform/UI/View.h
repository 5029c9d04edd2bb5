#pragma once

#include "Platform/Foundation/Rect.h"
#include "Platform/UI/Event.h"
#include "Platform/UI/Responder.h"

#include <QList>
#include <QWidget>
#include <memory>
#include <vector>

class QPainter;

namespace pf {

class Event;
class TrackingArea;
class Window;

// The base of every painted view: a QWidget whose geometry, drawing and events are in y-up
// coordinates. A view's `frame` is its rectangle in its superview's coordinates; its `bounds` is the
// same size in its own coordinates, with an origin that scrolls the content. Own coordinates grow
// upwards from the lower left of the bounds, unless the view declares itself flipped (then they grow
// downwards from the upper left, like Qt's).
//
// The view converts once between Qt's y-down widget coordinates and its own: drawRect() receives a
// painter already flipped, events carry y-up points, conversions between views, windows and the screen
// go through convertPoint...() and convertRect...(). Drawing text and images in a flipped painter needs
// them drawn upright: use the drawing helpers (Drawing.h), which do.
//
// Views are owned by their Qt parent. A superview that is not a View (a Qt layout, a scroll area) is
// treated as a y-up parent; the frame then follows whatever geometry Qt gives the widget.
class View : public QWidget, public Responder
{
    Q_OBJECT

public:
    // Autoresizing mask bits: which margins and dimensions stretch when the superview's size changes.
    enum Autoresizing : unsigned
    {
        NotSizable = 0,
        MinXMargin = 1,
        WidthSizable = 2,
        MaxXMargin = 4,
        MinYMargin = 8,
        HeightSizable = 16,
        MaxYMargin = 32,
    };
    enum class Ordering
    {
        Above,
        Below,
    };

    explicit View(const Rect& frame = Rect(), QWidget* parent = nullptr);
    ~View() override;

    // The view hierarchy.
    View* superview() const;
    // Views among the widget's children, back to front.
    QList<View*> subviews() const;
    // Adds `view` in front of all subviews (detaching it from where it was).
    void addSubview(View* view);
    void addSubview(View* view, Ordering place, View* relativeTo);
    // Detaches the view from its superview; the caller owns it afterwards (delete it or add it again).
    void removeFromSuperview();
    bool isDescendantOf(const View* view) const;
    // The nearest window the view is in; nullptr when it is in none.
    Window* window() const;

    // Geometry.
    Rect frame() const;
    void setFrame(const Rect& frame);
    void setFrameOrigin(Point origin);
    void setFrameSize(Size size);
    Rect bounds() const;
    // Scrolls: the point of the own coordinate system shown at the lower left (upper left when flipped).
    void setBoundsOrigin(Point origin);
    // The part of the bounds that is not clipped by superviews, in own coordinates.
    Rect visibleRect() const;

    virtual bool isFlipped() const { return m_flipped; }
    // For views that are flipped without a subclass of their own.
    void setFlipped(bool flipped);

    // Conversions. A null view means the window's base coordinates (y-up, origin at the lower left of
    // the window's content); a view of another window is reached through the screen.
    Point convertPointToView(Point point, const View* view) const;
    Point convertPointFromView(Point point, const View* view) const;
    Rect convertRectToView(const Rect& rect, const View* view) const;
    Rect convertRectFromView(const Rect& rect, const View* view) const;
    // To and from the screen (y-up, origin at the lower left of the primary screen).
    Point convertPointToScreen(Point point) const;
    Point convertPointFromScreen(Point point) const;
    // To and from Qt's widget coordinates of this view.
    Point pointFromWidget(QPointF point) const;
    QPointF pointToWidget(Point point) const;
    Rect rectFromWidget(const QRectF& rect) const;
    QRectF rectToWidget(const Rect& rect) const;

    // Autoresizing with the platform's proportional algorithm: the flexible parts of a dimension share
    // its change in proportion to their sizes before it.
    unsigned autoresizingMask() const { return m_autoresizingMask; }
    void setAutoresizingMask(unsigned mask) { m_autoresizingMask = mask; }
    bool autoresizesSubviews() const { return m_autoresizesSubviews; }
    void setAutoresizesSubviews(bool flag) { m_autoresizesSubviews = flag; }
    // A view holding many subviews of which only a part shows at a time (a grid in a scroll view) can
    // leave subviews that lie wholly outside it, before and after a change, where they are on screen:
    // their frames change at once, their widgets follow when they come into view. The widgets of such
    // subviews are behind their frames until then (placementIsDeferred()); snapshot() places them.
    bool placesOnlyShownSubviews() const { return m_placesOnlyShownSubviews; }
    void setPlacesOnlyShownSubviews(bool flag);
    bool placementIsDeferred() const { return m_placementDeferred; }

    // Called after the frame size changed: lets each subview resize itself.
    virtual void resizeSubviewsWithOldSize(Size oldSize);
    // Applies this view's mask for a superview that was `oldSuperviewSize` before.
    virtual void resizeWithOldSuperviewSize(Size oldSuperviewSize);
    // The frame the mask gives for a superview going from `oldSuperviewSize` to `newSuperviewSize`.
    static Rect autoresizedFrame(const Rect& frame, unsigned mask, Size oldSuperviewSize,
                                 Size newSuperviewSize);

    // Opacity this view and its subviews are drawn with (multiplied along the hierarchy). Views that
    // draw in drawRect() honour it; plain Qt widgets inside do not.
    double alphaValue() const { return m_alpha; }
    void setAlphaValue(double alpha);
    // The product of the alpha values of this view and its superviews.
    double effectiveAlphaValue() const;
    bool isHiddenOrHasHiddenAncestor() const;

    // Drawing.
    void setNeedsDisplay(bool flag = true);
    // Redraws only `rect` (own coordinates) at the next paint.
    void setNeedsDisplayInRect(const Rect& rect);
    bool needsDisplay() const { return m_needsDisplay; }
    // Draws the part `dirtyRect` (own coordinates) with a painter set up for own coordinates: flipped
    // unless the view is, scrolled by the bounds origin, with the effective alpha as its opacity and
    // antialiasing on. The default draws nothing.
    virtual void drawRect(QPainter& painter, const Rect& dirtyRect);
    // Draws now instead of at the next paint.
    void displayIfNeeded();
    // The view and its subviews drawn into an image of the bounds' size at `scale` pixels per unit.
    QImage snapshot(double scale = 1.0);

    // Hit testing: the farthest descendant (or this view) containing `pointInSuperview`, or nullptr.
    // Hidden views and views transparent to the mouse are skipped.
    virtual View* hitTest(Point pointInSuperview);
    // A view transparent to the mouse lets presses, wheel and enter events through to what is beneath.
    void setTransparentForMouse(bool transparent);
    bool isTransparentForMouse() const;
    // Whether the first click into an inactive window is handled as well as activating it.
    virtual bool acceptsFirstMouse(const Event&) { return true; }

    // Tracking areas, whose rectangles are in own coordinates. The view keeps them (deleting them when
    // removed or when the view goes). updateTrackingAreas() is called when the view's place, size or
    // visibility changes, to rebuild areas that depend on them. It calls nobody out (it runs while
    // frames are set and inside events Qt is still delivering): a hover it finds under a still pointer
    // is shown at once and reported at the next turn.
    TrackingArea* addTrackingArea(std::unique_ptr<TrackingArea> area);
    void removeTrackingArea(TrackingArea* area);
    std::vector<TrackingArea*> trackingAreas() const;
    virtual void updateTrackingAreas() {}

    // Tooltips for rectangles of the view (own coordinates), shown when the pointer rests in one; the
    // first added wins where they overlap. Returns a tag for removal.
    int addToolTipRect(const Rect& rect, const QString& text);
    void removeToolTip(int tag);
    void removeAllToolTips();

    // Keyboard focus: a view that accepts first responder can be made the window's first responder.
    bool acceptsFirstResponder() const override { return m_acceptsFirstResponder; }
    void setAcceptsFirstResponder(bool accepts);

    // Hooks around moving into another window or superview (a null argument: moving out).
    virtual void viewWillMoveToWindow(Window* window);
    virtual void viewDidMoveToWindow() {}
    virtual void viewWillMoveToSuperview(View* superview);
    virtual void viewDidMoveToSuperview() {}

    // Turns a Qt event aimed at this view into an Event and delivers it (used by the window's event
    // routing and by tests that synthesise input); the Event's location is in window base coordinates.
    void deliverMouseEvent(const Event& event);

protected:
    Responder* defaultNextResponder() const override;
    // Called after setBoundsOrigin() moved the content (a clip view tells its observers).
    virtual void boundsOriginDidChange() {}

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool event(QEvent* event) override;

private:
    friend class Window;
    friend class EventRouter;

    Point toSuperview(Point point) const;
    Point fromSuperview(Point point) const;
    Point toBase(Point point) const;
    Point fromBase(Point point) const;
    // Where the lower left of this view (the top view of its chain) lies in its window's base
    // coordinates.
    Point topViewOriginInBase() const;
    // Gives the widget the geometry of the frame; `evenOutOfSight` also when the superview defers it.
    void placeWidget(bool evenOutOfSight = false);
    // The part of the widget its superview leaves showing, in widget coordinates.
    QRect shownRect() const;
    // Places the deferred subviews that came into view (all of them with `all`).
    void placeShownSubviews(bool all = false);
    void frameDidChange(Size oldSize);
    void rebuildTrackingAreas();
    void updateChildTrackingAreasRecursively();
    void handleMouse(QMouseEvent* event, bool press);
    void handleKey(QKeyEvent* event, bool press);
    void moveInto(QWidget* newParent, Ordering place, View* relativeTo);

    Rect m_frame;
    Point m_boundsOrigin;
    bool m_flipped = false;
    unsigned m_autoresizingMask = NotSizable;
    bool m_autoresizesSubviews = true;
    double m_alpha = 1.0;
    bool m_needsDisplay = false;
    bool m_placing = false;
    bool m_placesOnlyShownSubviews = false;
    bool m_placementDeferred = false;
    bool m_acceptsFirstResponder = false;
    std::vector<std::unique_ptr<TrackingArea>> m_trackingAreas;
    struct ToolTip
    {
        int tag;
        Rect rect;
        QString text;
    };
    std::vector<ToolTip> m_toolTips;
    int m_nextToolTipTag = 1;
};

} // namespace pf
