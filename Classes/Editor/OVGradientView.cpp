#include "Classes/Editor/OVGradientView.h"

#include "Platform/UI/Drawing.h"

OVGradientView::OVGradientView(const pf::Rect& frame, QWidget* parent) : View(frame, parent)
{
    m_gradient = {
        {0.0, Qt::black}, {0.6, QColor::fromRgbF(80 / 255.0f, 80 / 255.0f, 80 / 255.0f)}, {1.0, Qt::black}};
}

void OVGradientView::drawRect(QPainter& painter, const pf::Rect&)
{
    pf::fillLinearGradient(painter, m_gradient, bounds(), m_angle);
}
