#include "Classes/Editor/OVHoverTextField.h"

#include "Platform/UI/TrackingArea.h"
#include "Platform/UI/ViewAnimator.h"

#include <QPainter>

OVHoverTextField::OVHoverTextField(const pf::Rect& frame, QWidget* parent) : View(frame, parent)
{
    pf::TextAttributes attributes;
    attributes.font = pf::systemFont(13);
    attributes.color = QColor(220, 222, 226);
    m_text = pf::AttributedString(QString(), attributes);
}

OVHoverTextField::~OVHoverTextField() = default;

void OVHoverTextField::setStringValue(const QString& text)
{
    const pf::TextAttributes attributes = m_text.length() > 0 ? m_text.attributesAt(0) : pf::TextAttributes();
    m_text = pf::AttributedString(text, attributes);
    setNeedsDisplay();
}

void OVHoverTextField::viewDidMoveToSuperview()
{
    m_orgFrame = frame();
}

void OVHoverTextField::setEnabled(bool enabled)
{
    pf::ViewAnimator::animateAlpha(this, enabled ? 1.0 : 0.0);
    QWidget::setEnabled(enabled);
    if (enabled && !m_trackingArea) {
        m_trackingArea = addTrackingArea(std::make_unique<pf::TrackingArea>(
            bounds(), pf::TrackingArea::MouseEnteredAndExited | pf::TrackingArea::ActiveInKeyWindow, this));
    } else if (!enabled && m_trackingArea) {
        removeTrackingArea(std::exchange(m_trackingArea, nullptr));
        if (m_hovered)
            exited();
    }
}

void OVHoverTextField::setShift(pf::Point shift)
{
    setFrameOrigin(pf::Point(m_orgFrame.minX() + shift.x, m_orgFrame.minY() + shift.y));
}

void OVHoverTextField::drawRect(QPainter& painter, const pf::Rect&)
{
    const pf::Size size = m_text.size();
    m_text.drawAtPoint(painter, pf::Point(2, (bounds().height() - size.height) / 2));
}

void OVHoverTextField::mouseEntered(const pf::Event&)
{
    m_hovered = true;
    sendAction();
}

void OVHoverTextField::mouseExited(const pf::Event&)
{
    exited();
}

void OVHoverTextField::exited()
{
    m_hovered = false;
    sendAction();
}

void OVHoverTextField::sendAction()
{
    // A copy runs: the action may replace itself or delete the field (callers send it last).
    if (const auto action = m_action)
        action(this);
}
