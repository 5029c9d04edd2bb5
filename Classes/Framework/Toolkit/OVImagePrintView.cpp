#include "Classes/Framework/Toolkit/OVImagePrintView.h"

#include "Classes/Framework/Toolkit/OVImagePrintViewDelegate.h"
#include "Platform/UI/Drawing.h"

#include <QPainter>

bool OVImagePrintView::drawsTurned() const
{
    const pf::Rect b = bounds();
    const bool imagePortrait = m_image.width() < m_image.height();
    const bool viewPortrait = b.width() < b.height();
    return imagePortrait != viewPortrait;
}

pf::Rect OVImagePrintView::fittedRect(pf::Size imageSize, pf::Size area)
{
    // An image without width or height has no aspect ratio to keep.
    if (imageSize.width <= 0 || imageSize.height <= 0 || area.width <= 0 || area.height <= 0)
        return pf::Rect();
    if (area.width / area.height > imageSize.width / imageSize.height) {
        const double width = float(imageSize.width * area.height / imageSize.height);
        return pf::Rect((area.width - width) / 2, 0, width, area.height);
    }
    const double height = float(imageSize.height * area.width / imageSize.width);
    return pf::Rect(0, (area.height - height) / 2, area.width, height);
}

void OVImagePrintView::drawRect(QPainter& painter, const pf::Rect&)
{
    const pf::Rect b = bounds();
    if (m_image.isNull() && m_delegate)
        m_image = m_delegate->printImageForView(this, b.size);
    if (m_image.isNull())
        return;
    pf::Size area = b.size;
    painter.save();
    painter.translate(b.minX(), b.minY());
    if (drawsTurned()) {
        // A quarter turn counter-clockwise about the lower left would put the drawing left of the
        // bounds; moving it right by the view's width brings it back inside.
        painter.translate(b.width(), 0);
        painter.rotate(90);
        area = pf::Size(b.height(), b.width());
    }
    const pf::Rect target = fittedRect(pf::Size(m_image.width(), m_image.height()), area);
    if (!target.isEmpty())
        pf::drawImage(painter, m_image, target);
    painter.restore();
}
