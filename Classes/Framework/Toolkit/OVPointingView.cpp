#include "Classes/Framework/Toolkit/OVPointingView.h"

#include "Classes/Framework/Toolkit/OVPathHelpers.h"
#include "Classes/Framework/Toolkit/ViewORVExtension.h"

#include <QChildEvent>
#include <QPainter>
#include <algorithm>

using pf::Rect;

OVPointingView::OVPointingView(const Rect& frame, QWidget* parent) : View(frame, parent)
{
    createContainerView();
    m_side = Left;
    updateContainerFrame();
}

void OVPointingView::createContainerView()
{
    auto* container = new pf::View(bounds());
    container->setAutoresizingMask(WidthSizable | HeightSizable);
    m_container = container;
    View::addSubview(container);
    adoptChildren();
}

void OVPointingView::adoptChildren()
{
    m_adoptScheduled = false;
    if (!m_container)
        return;
    for (QObject* child : children()) {
        auto* view = qobject_cast<pf::View*>(child);
        if (view && view != m_container)
            m_container->addSubview(view);
    }
}

bool OVPointingView::event(QEvent* event)
{
    // A child given by its Qt parent arrives while Qt is still attaching it; it moves into the container
    // on the next turn (or at the next drawing, whichever comes first).
    if (event->type() == QEvent::ChildAdded && !m_adoptScheduled) {
        // Still being constructed, a view is only a QWidget yet: it is recognised when adopted.
        QObject* child = static_cast<QChildEvent*>(event)->child();
        if (child->isWidgetType() && child != m_container) {
            m_adoptScheduled = true;
            QMetaObject::invokeMethod(
                this, [this] { adoptChildren(); }, Qt::QueuedConnection);
        }
    }
    return View::event(event);
}

void OVPointingView::addSubview(pf::View* view)
{
    if (view == m_container || !m_container)
        View::addSubview(view);
    else
        m_container->addSubview(view);
}

void OVPointingView::addSubview(pf::View* view, Ordering place, pf::View* relativeTo)
{
    if (view == m_container || !m_container)
        View::addSubview(view, place, relativeTo);
    else
        m_container->addSubview(view, place, relativeTo == this ? nullptr : relativeTo);
}

void OVPointingView::setPointingSide(int side)
{
    m_side = side;
    updateContainerFrame();
}

void OVPointingView::setDistance(double distance)
{
    ViewORVExtension::setAndRedisplay(*this, m_distance, distance);
}

void OVPointingView::updateContainerFrame()
{
    if (!m_container)
        createContainerView();
    Rect frame = bounds().insetBy(1, 1);
    switch (m_side) {
    case Left:
        frame.origin.x = 10;
        frame.size.width -= 10;
        break;
    case Right:
        frame.size.width -= 10;
        break;
    case Top:
        frame.size.height -= 10;
        break;
    case Bottom:
        frame.origin.y = 10;
        frame.size.height -= 10;
        break;
    default:
        break;
    }
    m_container->setFrame(frame);
    setNeedsDisplay();
}

double OVPointingView::pointerPosition()
{
    if (!m_container)
        updateContainerFrame();
    const Rect r = m_container->frame().insetBy(-1, -1);
    if (m_side == Left || m_side == Right)
        return std::min(r.height() - 14, std::max(r.minY() + 14, m_distance));
    return std::min(r.width() - 14, std::max(r.minX() + 14, m_distance));
}

QPainterPath OVPointingView::outline()
{
    if (!m_container)
        updateContainerFrame();
    const Rect r = m_container->frame().insetBy(-1, -1);
    const double t = pointerPosition();
    const double left = r.minX(), bottom = r.minY(), top = r.maxY(), right = r.maxX();
    constexpr double radius = 4;
    QPainterPath path;
    path.moveTo(left, bottom + radius);
    if (m_side == Left) {
        path.lineTo(left, t - 10);
        path.lineTo(left - 10, t);
        path.lineTo(left, t + 10);
    }
    OVPathHelpers::appendArc(path, pf::Point(left + radius, top - radius), radius, 180, 90, true);
    if (m_side == Top) {
        path.lineTo(t - 10, top);
        path.lineTo(t, top + 10);
        path.lineTo(t + 10, top);
    }
    OVPathHelpers::appendArc(path, pf::Point(right - radius, top - radius), radius, 90, 0, true);
    if (m_side == Right) {
        path.lineTo(right, t + 10);
        path.lineTo(right + 10, t);
        path.lineTo(right, t - 10);
    }
    OVPathHelpers::appendArc(path, pf::Point(right - radius, bottom + radius), radius, 0, -90, true);
    if (m_side == Bottom) {
        path.lineTo(t + 10, bottom);
        path.lineTo(t, bottom - 10);
        path.lineTo(t - 10, bottom);
    }
    OVPathHelpers::appendArc(path, pf::Point(left + radius, bottom + radius), radius, -90, -180, true);
    path.closeSubpath();
    return path;
}

void OVPointingView::drawRect(QPainter& painter, const Rect&)
{
    if (m_adoptScheduled)
        adoptChildren();
    const QPainterPath path = outline();
    painter.fillPath(path, QColor::fromRgbF(0, 0, 0, 0.8f));
    painter.strokePath(
        path,
        QPen(QColor::fromRgbF(0.2784313725490196f, 0.2784313725490196f, 0.2784313725490196f, 1.0f), 1.0));
}
