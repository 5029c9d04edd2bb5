#include "Classes/Editor/OVCellControl.h"

#include "Classes/Editor/OVCell.h"

OVCellControl::OVCellControl(const pf::Rect& frame, std::unique_ptr<OVCell> cell, QWidget* parent)
    : View(frame, parent), m_cell(std::move(cell))
{}

OVCellControl::~OVCellControl() = default;

void OVCellControl::drawRect(QPainter& painter, const pf::Rect&)
{
    if (m_cell)
        m_cell->drawWithFrame(painter, bounds(), this);
}

bool OVCellControl::inside(const pf::Event& event) const
{
    return bounds().contains(convertPointFromView(event.locationInWindow(), nullptr));
}

void OVCellControl::mouseDown(const pf::Event&)
{
    if (!m_cell)
        return;
    m_cell->setHighlighted(true);
    setNeedsDisplay();
}

void OVCellControl::mouseDragged(const pf::Event& event)
{
    if (!m_cell || m_cell->isHighlighted() == inside(event))
        return;
    m_cell->setHighlighted(inside(event));
    setNeedsDisplay();
}

void OVCellControl::mouseUp(const pf::Event& event)
{
    if (!m_cell)
        return;
    m_cell->setHighlighted(false);
    setNeedsDisplay();
    // A copy runs, as the last step: the action may delete the control.
    if (const auto action = m_action; inside(event) && action)
        action(this);
}
