#include "Classes/Framework/Toolkit/OVTabView.h"

#include "Classes/Framework/Toolkit/ViewORVExtension.h"
#include "Platform/UI/Drawing.h"

#include <QPainterPath>

OVTabView::OVTabView(const pf::Rect& frame, QWidget* parent) : View(frame, parent) {}

OVTabView::~OVTabView()
{
    m_tabColor = QColor();
}

void OVTabView::setTabColor(const QColor& color)
{
    ViewORVExtension::setAndRedisplay(*this, m_tabColor, color);
}

void OVTabView::setShadowColor(const QColor& color)
{
    ViewORVExtension::setAndRedisplay(*this, m_shadowColor, color);
}

void OVTabView::setPosition(unsigned position)
{
    ViewORVExtension::setAndRedisplay(*this, m_position, position);
}

pf::Rect OVTabView::tabRect() const
{
    const pf::Rect b = bounds();
    double minX = b.minX() + 3, maxX = b.maxX() - 3, minY = b.minY() + 3, maxY = b.maxY() - 3;
    if (m_position & TopEdge)
        maxY = b.maxY() + 3;
    if (m_position & BottomEdge)
        minY = b.minY() - 3;
    if (m_position & LeftEdge)
        minX = b.minX() - 3;
    if (m_position & RightEdge)
        maxX = b.maxX() + 3;
    return pf::Rect(minX, minY, maxX - minX, maxY - minY);
}

void OVTabView::drawRect(QPainter& painter, const pf::Rect&)
{
    if (!m_tabColor.isValid())
        return;
    QPainterPath path;
    path.addRoundedRect(tabRect().toQRectF(), 2, 2);
    pf::Shadow shadow;
    shadow.color = m_shadowColor;
    shadow.offset = pf::Size(0, 0);
    shadow.blurRadius = 3;
    pf::drawWithShadow(painter, shadow, bounds(), [&](QPainter& p) {
        // Twice, as the glow is meant to be strong.
        p.fillPath(path, m_tabColor);
        p.fillPath(path, m_tabColor);
    });
}
