#include "Classes/Document/GMFittedPictureView.h"

#include "Platform/Image/Image.h"
#include "Platform/UI/AttributedString.h"
#include "Platform/UI/Drawing.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

using namespace pf;

GMFittedPictureView::GMFittedPictureView(const Rect& frame, double barHeight, Margins margins,
                                         const QString& noPicture)
    : View(frame), m_barHeight(barHeight), m_margins(margins), m_noPicture(noPicture)
{}

void GMFittedPictureView::setPicture(const QImage& picture)
{
    m_picture = picture;
    setNeedsDisplay();
}

void GMFittedPictureView::setNoPictureText(const QString& text)
{
    if (text == m_noPicture)
        return;
    m_noPicture = text;
    setNeedsDisplay();
}

void GMFittedPictureView::drawRect(QPainter& painter, const Rect&)
{
    const Rect area = bounds();
    painter.fillRect(area.toQRectF(), QColor(30, 31, 34));
    painter.fillRect(Rect(0, 0, area.width(), m_barHeight).toQRectF(), QColor(37, 39, 43));
    const Rect inner(area.minX() + m_margins.left, m_barHeight + m_margins.bottom,
                     area.width() - m_margins.left - m_margins.right,
                     area.height() - m_barHeight - m_margins.bottom - m_margins.top);
    if (inner.width() <= 0 || inner.height() <= 0)
        return;
    if (m_picture.isNull()) {
        TextAttributes attributes;
        attributes.color = QColor(141, 144, 150);
        const AttributedString text(m_noPicture, attributes);
        const Size size = text.size();
        text.drawAtPoint(painter, Point(inner.midX() - size.width / 2, inner.midY() - size.height / 2));
        return;
    }
    const double scale =
        std::min({inner.width() / m_picture.width(), inner.height() / m_picture.height(), 1.0});
    const double w = m_picture.width() * scale;
    const double h = m_picture.height() * scale;
    drawImage(painter, m_picture, Rect(inner.midX() - w / 2, inner.midY() - h / 2, w, h));
}

bool GMFittedPictureView::isShowable(const pf::Image& image)
{
    if (image.isNull())
        return false;
    const Rect extent = image.extent();
    return !extent.isNull() && !extent.isInfinite() && std::isfinite(extent.width()) &&
           std::isfinite(extent.height()) && extent.width() >= 1 && extent.height() >= 1;
}
