#include "Classes/Framework/Toolkit/OVCIImageLayer.h"

#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/UI/Drawing.h"

#include <QElapsedTimer>
#include <QPainter>

OVCIImageLayer::OVCIImageLayer()
{
    setNeedsDisplayOnBoundsChange(false);
    setContentsGravity(pf::ContentsGravity::Resize);
}

void OVCIImageLayer::setImage(const QImage& image)
{
    m_image = image;
    m_imageSize = pf::Size(image.width(), image.height());
    setNeedsDisplay();
}

pf::LayerAction OVCIImageLayer::actionForKey(const QString& key)
{
    if (key == QLatin1String("opacity"))
        return Layer::actionForKey(key);
    return pf::LayerAction::none();
}

void OVCIImageLayer::drawInContext(QPainter& painter)
{
    // An image without width has no scale to the layer's width: nothing is drawn, nothing timed.
    if (m_image.isNull() || m_imageSize.width <= 0)
        return;
    QElapsedTimer timer;
    timer.start();
    painter.save();
    const double scale = bounds().width() / m_imageSize.width;
    painter.scale(scale, scale);
    pf::drawImage(painter, m_image, pf::Rect(0, 0, m_imageSize.width, m_imageSize.height));
    painter.restore();
    m_lastRenderDuration = m_baseDuration + timer.nsecsElapsed() / 1e9;
    pf::NotificationCenter::defaultCenter().post(kDidDrawNotification, this);
}
