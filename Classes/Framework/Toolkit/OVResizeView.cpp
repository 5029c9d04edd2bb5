#include "Classes/Framework/Toolkit/OVResizeView.h"

#include "Classes/Framework/Toolkit/OVCursorStack.h"
#include "Classes/Framework/Toolkit/OVHintController.h"
#include "Classes/Framework/Toolkit/OVPathHelpers.h"
#include "Classes/Framework/Toolkit/OVResizeViewDelegate.h"
#include "Classes/Framework/Toolkit/ViewORVExtension.h"
#include "Platform/UI/CursorStack.h"
#include "Platform/UI/Drawing.h"
#include "Platform/UI/Window.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>

using pf::Point;
using pf::Rect;

namespace {
constexpr double edgeZone = 15;
constexpr double band = 10;
} // namespace

void OVResizeView::setDelegate(OVResizeViewDelegate* delegate)
{
    m_delegate = delegate;
    m_delegateLifetime = delegate ? delegate->resizeViewDelegateLifetime() : std::weak_ptr<const void>();
}

OVResizeView::OVResizeView(const Rect& frame, QWidget* parent) : View(frame, parent) {}

OVResizeView::~OVResizeView()
{
    removeCursorAndHint();
}

const QPolygonF& OVResizeView::cursorOutline()
{
    static const QPolygonF outline({{1, 7},  {3, 5},  {3, 7},  {7, 7},  {7, 1},   {8, 1},  {8, 7},
                                    {12, 7}, {12, 5}, {14, 7}, {14, 8}, {12, 10}, {12, 8}, {8, 8},
                                    {8, 14}, {7, 14}, {7, 8},  {3, 8},  {3, 10},  {1, 8}});
    return outline;
}

QCursor OVResizeView::cursorForAngle(double degrees, double scale)
{
    return OVPathHelpers::cursorFromOutline(cursorOutline(), degrees, scale);
}

void OVResizeView::setAllowedSides(unsigned sides)
{
    ViewORVExtension::setAndRedisplay(*this, m_allowedSides, sides);
}

void OVResizeView::setHighlighted(bool highlighted)
{
    ViewORVExtension::setAndRedisplay(*this, m_highlighted, highlighted);
}

void OVResizeView::drawRect(QPainter& painter, const Rect&)
{
    const double w = bounds().width(), h = bounds().height();
    const double x0 = bounds().minX(), y0 = bounds().minY();
    painter.save();
    painter.translate(x0, y0);
    const Rect local(0, 0, w, h);
    QPainterPath frame;
    frame.addRect(local.insetBy(5, 5).toQRectF());
    frame.addRect(local.insetBy(4, 4).toQRectF());
    if (m_tabWidth >= 4.0) {
        const double l = (w - m_tabWidth) / 2, r = (w + m_tabWidth) / 2;
        QPainterPath tab;
        tab.moveTo(l, h - 5);
        OVPathHelpers::appendArc(tab, Point(l + 2, h - 24), 2, 180, 270, false);
        OVPathHelpers::appendArc(tab, Point(r - 2, h - 24), 2, 270, 360, false);
        tab.lineTo(r, h - 5);
        frame.addPath(tab);
    }
    if (m_bottomTabWidth >= 4.0) {
        const double l = (w - m_bottomTabWidth) / 2, r = (w + m_bottomTabWidth) / 2;
        QPainterPath tab;
        tab.moveTo(l, 5);
        OVPathHelpers::appendArc(tab, Point(l + 2, 21), 2, 180, 90, true);
        OVPathHelpers::appendArc(tab, Point(r - 2, 21), 2, 90, 360, true);
        tab.lineTo(r, 5);
        frame.addPath(tab);
    }
    frame.setFillRule(Qt::OddEvenFill);
    const unsigned a = m_allowedSides;
    QPainterPath handles;
    const auto handle = [&](double x, double y) { handles.addEllipse(QRectF(x, y, 7, 7)); };
    if ((a & Left) && (a & Bottom))
        handle(1, 1);
    if ((a & Left) && (a & Top))
        handle(1, h - 8);
    if ((a & Right) && (a & Top))
        handle(w - 8, h - 8);
    if ((a & Right) && (a & Bottom))
        handle(w - 8, 1);
    if (a & Left)
        handle(1, h / 2 - 3.5);
    if (a & Top)
        handle(w / 2 - 3.5, h - 8);
    if (a & Right)
        handle(w - 8, h / 2 - 3.5);
    if (a & Bottom)
        handle(w / 2 - 3.5, 1);
    const auto draw = [&](QPainter& p) {
        p.fillPath(frame, Qt::white);
        p.fillPath(frame, Qt::white);
        p.fillPath(handles, Qt::white);
    };
    ViewORVExtension::drawHighlighted(painter, m_highlighted, local, draw);
    painter.restore();
}

pf::View* OVResizeView::hitTest(Point pointInSuperview)
{
    const Point p = superview() ? convertPointFromView(pointInSuperview, superview())
                                : Point(pointInSuperview.x - frame().minX() + bounds().minX(),
                                        pointInSuperview.y - frame().minY() + bounds().minY());
    const Rect b = bounds();
    if (!b.contains(p) || isHidden())
        return nullptr;
    const unsigned a = m_allowedSides;
    double x = b.minX(), y = b.minY(), w = b.width(), h = b.height();
    if (a & Left) {
        x += band;
        w -= band;
    }
    if (a & Right)
        w -= band;
    if (a & Bottom) {
        y += band;
        h -= band;
    }
    if (a & Top)
        h -= band;
    if (Rect(x, y, w, h).contains(p)) {
        pf::View* hit = View::hitTest(pointInSuperview);
        return hit == this ? nullptr : hit;
    }
    return this;
}

void OVResizeView::resizeSubviewsWithOldSize(pf::Size oldSize)
{
    View::resizeSubviewsWithOldSize(oldSize);
    for (pf::View* content : {m_topTabContent.data(), m_bottomTabContent.data()}) {
        if (!content)
            continue;
        pf::View* parent = content->superview();
        if (!parent)
            continue;
        Rect f = content->frame();
        f.origin.x = std::round(parent->bounds().width() * 0.5 - f.width() * 0.5);
        content->setFrame(f);
    }
}

void OVResizeView::updateForLocation(Point p)
{
    const double w = bounds().width(), h = bounds().height();
    p = Point(p.x - bounds().minX(), p.y - bounds().minY());
    m_resizeSides = 0;
    m_factorX = m_factorY = 0;
    // Along one axis: the low side near its start, the high side near its end, when allowed.
    auto takeSide = [this](double at, double length, unsigned low, unsigned high, double* factor) {
        if (at < edgeZone) {
            if (m_allowedSides & low) {
                m_resizeSides |= low;
                *factor = -1;
            }
        } else if (at > length - edgeZone && (m_allowedSides & high)) {
            m_resizeSides |= high;
            *factor = 1;
        }
    };
    takeSide(p.x, w, Left, Right, &m_factorX);
    takeSide(p.y, h, Bottom, Top, &m_factorY);
}

double OVResizeView::angleForLocation(Point p) const
{
    const double w = bounds().width(), h = bounds().height();
    p = Point(p.x - bounds().minX(), p.y - bounds().minY());
    double angle = 0, divisor = 1;
    if (p.x < edgeZone && (m_allowedSides & Left)) {
        angle = 180;
        divisor = 2;
    } else if (p.x > w - edgeZone) {
        divisor = (m_allowedSides & Right) ? 2 : 1;
    }
    if (p.y < edgeZone && (m_allowedSides & Bottom))
        angle += 270;
    else if (p.y > h - edgeZone && (m_allowedSides & Top))
        angle += 90;
    else
        return angle;
    return divisor > 1 ? angle / divisor : angle;
}

void OVResizeView::updateCursorForLocation(Point point, double rotation)
{
    const double angle = angleForLocation(point) + rotation;
    if (std::round(angle - m_lastCursorAngle) != 0 || !m_lastCursor) {
        const double rounded = std::round(angle);
        m_lastCursor = cursorForAngle(rounded, ViewORVExtension::contentsScale(this));
        m_lastCursorAngle = rounded;
        ++m_cursorsBuilt;
    }
    setCurrentCursor(m_resizeSides ? m_lastCursor : std::nullopt);
}

void OVResizeView::setCurrentCursor(const std::optional<QCursor>& cursor)
{
    if (!cursor && !m_currentCursor)
        return;
    if (cursor && m_currentCursor && cursor->pixmap().cacheKey() == m_currentCursor->pixmap().cacheKey())
        return;
    removeCursorAndHint();
    m_currentCursor = cursor;
    if (!cursor)
        return;
    pf::Window* window = ViewORVExtension::displayWindow(this);
    m_shown.sendHint(window, m_hint);
    m_shown.pushCursor(window, *cursor);
}

void OVResizeView::removeCursorAndHint()
{
    m_currentCursor.reset();
    m_shown.remove();
}

void OVResizeView::updateTrackingAreas()
{
    m_trackingArea = ViewORVExtension::replaceHoverArea(this, m_trackingArea,
                                                        !superview() || m_remote ? Rect::null() : bounds());
}

void OVResizeView::viewWillMoveToWindow(pf::Window* window)
{
    View::viewWillMoveToWindow(window);
    removeCursorAndHint();
}

void OVResizeView::hover(Point p)
{
    const Rect b = bounds();
    if (!b.contains(p) || b.insetBy(band, band).contains(p)) {
        setCurrentCursor(std::nullopt);
        return;
    }
    // Before any press the hovered point decides which sides a press would take, so the cursor shows
    // at once; an owner driving the view remotely sets the sides itself.
    if (!m_pressed && !m_remote)
        updateForLocation(p);
    updateCursorForLocation(p, ViewORVExtension::onScreenRotation(this));
}

void OVResizeView::mouseEntered(const pf::Event& event)
{
    hover(convertPointFromView(event.locationInWindow(), nullptr));
}

void OVResizeView::mouseMoved(const pf::Event& event)
{
    hover(convertPointFromView(event.locationInWindow(), nullptr));
}

void OVResizeView::mouseExited(const pf::Event&)
{
    setCurrentCursor(std::nullopt);
}

void OVResizeView::mouseDown(const pf::Event& event)
{
    m_pressed = true;
    Point p = convertPointFromView(event.locationInWindow(), nullptr);
    p = Point(p.x - bounds().minX(), p.y - bounds().minY());
    updateForLocation(Point(p.x + bounds().minX(), p.y + bounds().minY()));
    if (m_resizeSides & Right)
        p.x = bounds().width() - p.x;
    if (m_resizeSides & Top)
        p.y = bounds().height() - p.y;
    m_orgLocation = p;
    // Each report is the handler's last step: the delegate may delete the view.
    if (OVResizeViewDelegate* owner = delegate())
        owner->resizeViewDidResize(this, m_resizeSides, pf::Size(0, 0), Pressed);
}

void OVResizeView::mouseDragged(const pf::Event& event)
{
    const double w = bounds().width(), h = bounds().height();
    Point p = convertPointFromView(event.locationInWindow(), nullptr);
    p = Point(p.x - bounds().minX(), p.y - bounds().minY());
    const double ex = (m_resizeSides & Left) ? m_orgLocation.x : w - m_orgLocation.x;
    const double ey = (m_resizeSides & Bottom) ? m_orgLocation.y : h - m_orgLocation.y;
    const double dx = (m_resizeSides & (Left | Right)) ? (p.x - ex) * m_factorX : 0;
    const double dy = (m_resizeSides & (Top | Bottom)) ? (p.y - ey) * m_factorY : 0;
    if (OVResizeViewDelegate* owner = delegate())
        owner->resizeViewDidResize(this, m_resizeSides, pf::Size(dx, dy), Dragged);
}

void OVResizeView::mouseUp(const pf::Event&)
{
    m_pressed = false;
    if (OVResizeViewDelegate* owner = delegate())
        owner->resizeViewDidResize(this, m_resizeSides, pf::Size(0, 0), Released);
}
