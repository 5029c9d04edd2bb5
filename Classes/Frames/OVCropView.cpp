#include "Classes/Frames/OVCropView.h"

#include "Platform/UI/Cursors.h"
#include "Platform/UI/TrackingArea.h"
#include "Platform/UI/Window.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace {

bool usableRatio(double ratio)
{
    return std::isfinite(ratio) && ratio > 0;
}

} // namespace

OVCropView::OVCropView(const pf::Rect& frame, QWidget* parent) : pf::View(frame, parent)
{
    updateActiveArea();
}

OVCropView::~OVCropView()
{
    m_cursor.remove();
}

void OVCropView::resizeSubviewsWithOldSize(pf::Size oldSize)
{
    pf::View::resizeSubviewsWithOldSize(oldSize);
    updateActiveArea();
}

void OVCropView::setActiveAreaRatio(double ratio)
{
    m_activeAreaRatio = ratio;
    updateActiveArea();
}

void OVCropView::setCropRatio(double ratio)
{
    if (!usableRatio(ratio))
        return;
    m_cropRatio = ratio;
    updateCropRect();
    setNeedsDisplay(true);
}

void OVCropView::setCropRect(const pf::Rect& rect)
{
    m_cropRect = rect;
    setNeedsDisplay(true);
}

pf::Rect OVCropView::cropRectInView() const
{
    return pf::Rect(m_activeArea.minX() + m_cropRect.minX() * m_activeArea.width(),
                    m_activeArea.minY() + m_cropRect.minY() * m_activeArea.height(),
                    m_cropRect.width() * m_activeArea.width(), m_cropRect.height() * m_activeArea.height());
}

void OVCropView::updateActiveArea()
{
    const pf::Rect bounds = this->bounds();
    const double w = bounds.width(), h = bounds.height();
    if (!usableRatio(m_activeAreaRatio) || w <= 0 || h <= 0) {
        m_activeArea = pf::Rect(bounds.minX() + w / 2, bounds.minY() + h / 2, 0, 0);
    } else if (w / h > m_activeAreaRatio) {
        const double width = h * m_activeAreaRatio;
        m_activeArea = pf::Rect(bounds.minX() + (w - width) / 2, bounds.minY(), width, h);
    } else {
        const double height = w / m_activeAreaRatio;
        m_activeArea = pf::Rect(bounds.minX(), bounds.minY() + (h - height) / 2, w, height);
    }
    updateCropRect();
}

void OVCropView::updateCropRect()
{
    updateCropRectForCenter(pf::Point(m_cropRect.midX(), m_cropRect.midY()));
}

void OVCropView::updateCropRectForCenter(pf::Point center)
{
    if (m_activeArea.width() <= 0 || m_activeArea.height() <= 0)
        return;
    const double a = m_activeArea.width() / m_activeArea.height();
    const double r = m_cropRatio;
    double width = m_cropRect.width(), height = m_cropRect.height();
    if (r > 1)
        height = width / r * a;
    else
        width = r * height / a;
    // Keeping one side can make the other longer than the picture: then both shrink by the same factor
    // until the rectangle fits, so it keeps the asked ratio and stays inside.
    const double overflow = std::max(width, height);
    if (overflow > 1) {
        width /= overflow;
        height /= overflow;
    }
    const double cx = std::max(std::min(center.x, 1 - width / 2), width / 2);
    const double cy = std::max(std::min(center.y, 1 - height / 2), height / 2);
    setCropRect(pf::Rect(cx - width / 2, cy - height / 2, width, height));
}

void OVCropView::drawRect(QPainter& painter, const pf::Rect&)
{
    if (m_activeArea.isEmpty())
        return;
    QPainterPath path;
    path.setFillRule(Qt::OddEvenFill);
    path.addRect(m_activeArea.toQRectF());
    path.addRect(cropRectInView().toQRectF());
    painter.fillPath(path, QColor::fromRgbF(0, 0, 0, 0.75));
}

void OVCropView::updateTrackingAreas()
{
    if (m_trackingArea) {
        removeTrackingArea(m_trackingArea);
        m_trackingArea = nullptr;
    }
    pf::Window* window = this->window();
    if (pf::Event::pressedMouseButtons() != 0 || !superview() || !window)
        return;
    const pf::Rect crop = cropRectInView();
    m_trackingArea = addTrackingArea(std::make_unique<pf::TrackingArea>(
        crop,
        pf::TrackingArea::MouseEnteredAndExited | pf::TrackingArea::ActiveAlways |
            pf::TrackingArea::InVisibleRect,
        this));
    const pf::Point pointer = convertPointFromView(window->mouseLocationOutsideOfEventStream(), nullptr);
    const pf::Event event = pf::Event::mouseEvent(pf::EventType::MouseMoved,
                                                  window->mouseLocationOutsideOfEventStream(), 0, 0, window);
    if (crop.contains(pointer))
        mouseEntered(event);
    else
        mouseExited(event);
}

void OVCropView::mouseDown(const pf::Event& event)
{
    const pf::Point point = convertPointFromView(event.locationInWindow(), nullptr);
    if (!m_activeArea.contains(point)) {
        m_isDragging = false;
        return;
    }
    m_isDragging = true;
    dragLocation = point;
    dragCenter = pf::Point(m_cropRect.midX(), m_cropRect.midY());
    m_cursor.pushCursor(window(), pf::Cursors::closedHand());
    updateTrackingAreas();
}

void OVCropView::mouseDragged(const pf::Event& event)
{
    if (!m_isDragging || m_activeArea.isEmpty())
        return;
    const pf::Point point = convertPointFromView(event.locationInWindow(), nullptr);
    updateCropRectForCenter(pf::Point(dragCenter.x + (point.x - dragLocation.x) / m_activeArea.width(),
                                      dragCenter.y + (point.y - dragLocation.y) / m_activeArea.height()));
}

void OVCropView::mouseUp(const pf::Event&)
{
    if (!m_isDragging)
        return;
    m_isDragging = false;
    updateTrackingAreas();
}

void OVCropView::mouseEntered(const pf::Event&)
{
    m_cursor.pushCursor(window(), pf::Cursors::openHand());
}

void OVCropView::mouseExited(const pf::Event&)
{
    m_cursor.remove();
}

void OVCropView::viewWillMoveToWindow(pf::Window* window)
{
    if (m_cursor.window() != window)
        m_cursor.remove();
    pf::View::viewWillMoveToWindow(window);
}
