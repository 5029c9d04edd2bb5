#include "Classes/Framework/Toolkit/OVRotationView.h"

#include "Classes/Framework/OVColor.h"
#include "Classes/Framework/OVGeometry.h"
#include "Classes/Framework/Toolkit/OVCursorStack.h"
#include "Classes/Framework/Toolkit/OVHintController.h"
#include "Classes/Framework/Toolkit/OVPathHelpers.h"
#include "Classes/Framework/Toolkit/OVRotationViewDelegate.h"
#include "Classes/Framework/Toolkit/ViewORVExtension.h"
#include "Platform/Foundation/Log.h"
#include "Platform/UI/CursorStack.h"
#include "Platform/UI/Drawing.h"
#include "Platform/UI/NamedImage.h"
#include "Platform/UI/Window.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>

using pf::Point;
using pf::Rect;

void OVRotationView::setDelegate(OVRotationViewDelegate* delegate)
{
    m_delegate = delegate;
    m_delegateLifetime = delegate ? delegate->rotationViewDelegateLifetime() : std::weak_ptr<const void>();
}

OVRotationView::OVRotationView(const Rect& frame, QWidget* parent) : View(frame, parent) {}

OVRotationView::~OVRotationView()
{
    // The cursor and hint pushed under this view would otherwise outlive it.
    removeCursorAndHint();
}

double OVRotationView::radius() const
{
    const double r0 = (bounds().width() + bounds().height()) * 0.25 - 5.0;
    return r0 * (1 - m_radiusReduction / 100);
}

OVRotationView::Polar OVRotationView::rotationForLocation(Point offset)
{
    const double length = std::hypot(offset.x, offset.y);
    Polar polar;
    polar.radius = std::max(0.001, length);
    // The centre has no direction: call it 0 rather than let arccos(0 / 0) through.
    if (length == 0)
        return polar;
    polar.angle = std::acos(std::clamp(offset.x / length, -1.0, 1.0)) * 180 / M_PI;
    if (offset.y < 0)
        polar.angle = -polar.angle;
    return polar;
}

void OVRotationView::setHighlighted(bool highlighted)
{
    ViewORVExtension::setAndRedisplay(*this, m_highlighted, highlighted);
}

void OVRotationView::setShowCenterArea(bool show)
{
    ViewORVExtension::setAndRedisplay(*this, m_showCenterArea, show);
}

void OVRotationView::setPatternName(const QString& name)
{
    setPattern(pf::NamedImage::image(name));
}

void OVRotationView::setPattern(const QImage& pattern)
{
    ViewORVExtension::setAndRedisplay(*this, m_pattern, pattern);
}

void OVRotationView::setFillColorName(const QString& text)
{
    setFillColor(OVColor::colorFromDescription(text).toQColor());
}

void OVRotationView::setIsRemoteControlled(bool flag)
{
    m_remote = flag;
    updateTrackingAreas();
}

bool OVRotationView::scalingOffered() const
{
    const OVRotationViewDelegate* owner = delegate();
    return owner && owner->supportsResize();
}

Point OVRotationView::center() const
{
    return Point(bounds().midX(), bounds().midY());
}

const QPolygonF& OVRotationView::doubleArrowOutline()
{
    static const QPolygonF outline({{1, 7},
                                    {3, 5},
                                    {3, 7},
                                    {12, 7},
                                    {12, 5},
                                    {14, 7},
                                    {14, 8},
                                    {12, 10},
                                    {12, 8},
                                    {3, 8},
                                    {3, 10},
                                    {1, 8}});
    return outline;
}

const QPolygonF& OVRotationView::fourWayArrowOutline()
{
    static const QPolygonF outline({{1, 7},  {3, 5},   {3, 7},  {7, 7}, {7, 3},  {5, 3},   {7, 1},
                                    {8, 1},  {10, 3},  {8, 3},  {8, 7}, {12, 7}, {12, 5},  {14, 7},
                                    {14, 8}, {12, 10}, {12, 8}, {8, 8}, {8, 12}, {10, 12}, {8, 14},
                                    {7, 14}, {5, 12},  {7, 12}, {7, 8}, {3, 8},  {3, 10},  {1, 8}});
    return outline;
}

namespace {

void addArrowPair(QPainterPath& path, Point at, double degrees)
{
    static const QPolygonF outward({{-13, 0}, {-5, 4}, {-5, 1}, {-3, 1}, {-3, -1}, {-5, -1}, {-5, -4}});
    static const QPolygonF inward({{13, 0}, {5, 4}, {5, 1}, {3, 1}, {3, -1}, {5, -1}, {5, -4}});
    QTransform turn;
    turn.translate(at.x, at.y);
    turn.rotate(degrees);
    QPainterPath pair;
    pair.addPolygon(outward);
    pair.closeSubpath();
    pair.addPolygon(inward);
    pair.closeSubpath();
    path.addPath(turn.map(pair));
}

} // namespace

void OVRotationView::drawRect(QPainter& painter, const Rect&)
{
    const Point c = center();
    const double r = radius();
    const QRectF circle(c.x - r, c.y - r, 2 * r, 2 * r);
    if (m_showCenterArea && (m_fillColor.isValid() || !m_pattern.isNull())) {
        painter.save();
        QPainterPath outside;
        outside.addRect(bounds().toQRectF());
        outside.addEllipse(circle);
        outside.setFillRule(Qt::OddEvenFill);
        if (m_fillColor.isValid())
            painter.fillPath(outside, m_fillColor);
        if (!m_pattern.isNull())
            pf::fillWithPattern(painter, outside, m_pattern, Point(0, 0), -30);
        painter.restore();
    }
    QPainterPath ring;
    ring.addEllipse(circle);
    QPainterPath handles;
    if (scalingOffered()) {
        for (double a : {45.0, 135.0, 225.0, 315.0}) {
            const double rad = a * M_PI / 180;
            handles.addEllipse(QPointF(c.x + r * std::cos(rad), c.y + r * std::sin(rad)), 3.5, 3.5);
        }
        for (double a : {0.0, 90.0, 180.0, 270.0}) {
            const double rad = a * M_PI / 180;
            addArrowPair(handles, Point(c.x + r * std::cos(rad), c.y + r * std::sin(rad)), a);
        }
    }
    const auto draw = [&](QPainter& p) {
        for (int pass = 0; pass < 2; ++pass) {
            if (m_dashed)
                pf::strokeDashed(p, ring, Qt::white, 1.0, {6, 6}, 0);
            else
                p.strokePath(ring, QPen(Qt::white, 1.0));
        }
        if (!handles.isEmpty()) {
            p.fillPath(handles, Qt::white);
            p.fillPath(handles, Qt::white);
        }
    };
    ViewORVExtension::drawHighlighted(painter, m_highlighted, bounds(), draw);
}

bool OVRotationView::bandContains(Point p) const
{
    const Point c = center();
    const double d = std::hypot(p.x - c.x, p.y - c.y);
    const double r = radius();
    return d >= r - 8 && d <= r + 8;
}

pf::View* OVRotationView::hitTest(Point pointInSuperview)
{
    pf::View* hit = View::hitTest(pointInSuperview);
    if (hit != this)
        return hit;
    const Point p = superview() ? convertPointFromView(pointInSuperview, superview())
                                : Point(pointInSuperview.x - frame().minX() + bounds().minX(),
                                        pointInSuperview.y - frame().minY() + bounds().minY());
    return bandContains(p) ? this : nullptr;
}

bool OVRotationView::onScaleHandle(Polar polar)
{
    const double a = std::fabs(std::fmod(polar.angle, 90.0));
    const double m = std::min(a, 90.0 - a);
    const double t = (7.0 / polar.radius) * 180 / M_PI;
    return t >= m;
}

QCursor OVRotationView::cursorForAngle(double degrees) const
{
    const bool fourWay = (m_showRescaling || m_isRescaling) && scalingOffered();
    return OVPathHelpers::cursorFromOutline(fourWay ? fourWayArrowOutline() : doubleArrowOutline(),
                                            degrees + 90, ViewORVExtension::contentsScale(this));
}

std::optional<QCursor> OVRotationView::cursorForLocation(Point point)
{
    if (!bounds().contains(point) || !bandContains(point))
        return std::nullopt;
    m_baseRotation = ViewORVExtension::onScreenRotation(this);
    const Point c = center();
    const Polar polar = rotationForLocation(Point(point.x - c.x, point.y - c.y));
    const double angle = std::round(m_baseRotation + polar.angle);
    const bool rescaling = onScaleHandle(polar);
    if (angle != m_lastCursorAngle || rescaling != m_showRescaling || !m_lastCursor) {
        m_showRescaling = rescaling;
        m_lastCursor = cursorForAngle(angle);
        m_lastCursorAngle = angle;
    }
    return m_lastCursor;
}

void OVRotationView::setCurrentCursor(const std::optional<QCursor>& cursor)
{
    if (!cursor) {
        removeCursorAndHint();
        return;
    }
    pf::Window* window = ViewORVExtension::displayWindow(this);
    if (m_shown.window() && m_shown.window() != window)
        removeCursorAndHint();
    if (!window)
        return;
    m_shown.sendHint(window, m_hint);
    if (m_pushedCursorKey != cursor->pixmap().cacheKey()) {
        m_shown.pushCursor(window, *cursor);
        m_pushedCursorKey = cursor->pixmap().cacheKey();
    }
}

void OVRotationView::removeCursorAndHint()
{
    m_pushedCursorKey.reset();
    m_shown.remove();
}

void OVRotationView::updateTrackingAreas()
{
    m_trackingArea = ViewORVExtension::replaceHoverArea(
        this, m_trackingArea, m_remote ? Rect::null() : OVRectCenteredSquare(bounds()));
}

void OVRotationView::viewWillMoveToWindow(pf::Window* window)
{
    View::viewWillMoveToWindow(window);
    removeCursorAndHint();
}

OVRotationView::Polar OVRotationView::polarAt(const pf::Event& event) const
{
    const Point p = convertPointFromView(event.locationInWindow(), nullptr);
    const Point c = center();
    return rotationForLocation(Point(p.x - c.x, p.y - c.y));
}

void OVRotationView::mouseEntered(const pf::Event& event)
{
    setCurrentCursor(cursorForLocation(convertPointFromView(event.locationInWindow(), nullptr)));
}

void OVRotationView::mouseMoved(const pf::Event& event)
{
    setCurrentCursor(cursorForLocation(convertPointFromView(event.locationInWindow(), nullptr)));
}

void OVRotationView::mouseExited(const pf::Event&)
{
    setCurrentCursor(std::nullopt);
}

bool OVRotationView::report(bool inProgress)
{
    const QPointer<OVRotationView> self(this);
    if (OVRotationViewDelegate* owner = delegate()) {
        owner->rotationViewDidRotate(this, m_change.angle, inProgress);
        if (!self)
            return false;
    }
    if (OVRotationViewDelegate* owner = delegate(); owner && m_isRescaling && owner->supportsResize()) {
        owner->rotationViewDidResize(this, m_change.radius, inProgress);
        if (!self)
            return false;
    }
    return true;
}

void OVRotationView::mouseDown(const pf::Event& event)
{
    m_startCoord = polarAt(event);
    m_isRescaling = onScaleHandle(m_startCoord);
    m_change = Polar{1.0, 0.0};
}

void OVRotationView::mouseDragged(const pf::Event& event)
{
    const Polar now = polarAt(event);
    m_change.angle = now.angle - m_startCoord.angle;
    m_change.radius = now.radius / m_startCoord.radius;
    if (m_change.radius > 10.0)
        pf::log(QStringLiteral("Warning big values: %1, %2")
                    .arg(m_change.angle, 0, 'f', 6)
                    .arg(m_change.radius, 0, 'f', 6));
    // The delegate may delete the view on hearing either report.
    if (!report(true))
        return;
    setNeedsDisplay();
    setCurrentCursor(cursorForLocation(convertPointFromView(event.locationInWindow(), nullptr)));
}

void OVRotationView::mouseUp(const pf::Event&)
{
    if (!report(false))
        return;
    setNeedsDisplay();
    m_isRescaling = false;
}
