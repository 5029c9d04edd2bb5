#include "Classes/Editor/OVPatternLayer.h"

#include "Classes/Framework/Toolkit/OVImageSize.h"

#include <QPainter>
#include <cmath>

OVPatternLayer::OVPatternLayer()
{
    setContentsGravity(pf::ContentsGravity::Center);
    setMasksToBounds(true);
}

void OVPatternLayer::setPatterImage(const QImage& image)
{
    m_pattern = image;
    m_patternSize = OVImageSize::pointSize(image);
    updatePattern();
}

void OVPatternLayer::setBounds(const pf::Rect& bounds)
{
    Layer::setBounds(bounds);
    if (bounds.size.width > m_lastImageSize.width || bounds.size.height > m_lastImageSize.height)
        updatePattern();
}

void OVPatternLayer::updatePattern()
{
    if (m_pattern.isNull() || m_patternSize.width <= 0 || m_patternSize.height <= 0) {
        setContents(QImage());
        return;
    }
    const double pw = m_patternSize.width, ph = m_patternSize.height;
    const pf::Size size = bounds().size;
    m_lastImageSize =
        pf::Size(std::ceil((size.width + 50) / pw) * pw, std::ceil((size.height + 50) / ph) * ph);
    const double scale = contentsScale();
    QImage image(int(std::ceil(m_lastImageSize.width * scale)),
                 int(std::ceil(m_lastImageSize.height * scale)), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.fillRect(QRectF(0, 0, m_lastImageSize.width, m_lastImageSize.height), QBrush(m_pattern));
    }
    setContents(image);
}
