#include "Classes/Framework/Toolkit/OV3PartImageView.h"

#include "Classes/Framework/Toolkit/OVImageSize.h"
#include "Platform/UI/Drawing.h"

void OV3PartImageView::setLeftImg(const QImage& image)
{
    replace(m_left, image);
}

void OV3PartImageView::setMidImg(const QImage& image)
{
    replace(m_mid, image);
}

void OV3PartImageView::setRightImg(const QImage& image)
{
    replace(m_right, image);
}

void OV3PartImageView::replace(QImage& slot, const QImage& image)
{
    // Images share their data when copied, so comparing the keys is comparing the images.
    if (slot.cacheKey() == image.cacheKey() && slot.isNull() == image.isNull())
        return;
    slot = image;
    setNeedsDisplay();
}

void OV3PartImageView::drawRect(QPainter& painter, const pf::Rect&)
{
    const pf::Rect b = bounds();
    const pf::Size left = OVImageSize::pointSize(m_left);
    const pf::Size mid = OVImageSize::pointSize(m_mid);
    const pf::Size right = OVImageSize::pointSize(m_right);
    pf::drawImage(painter, m_left, pf::Rect(b.minX(), b.minY(), left.width, left.height));
    // Caps wider than the view overlap and leave the middle no room: nothing of it is drawn (a negative
    // width must not draw the image mirrored).
    const double midWidth = b.width() - right.width - left.width;
    if (midWidth > 0)
        pf::drawImage(painter, m_mid, pf::Rect(b.minX() + left.width, b.minY(), midWidth, mid.height));
    pf::drawImage(painter, m_right,
                  pf::Rect(b.minX() + b.width() - right.width, b.minY(), right.width, right.height));
}
