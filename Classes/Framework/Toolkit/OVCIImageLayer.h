#pragma once

#include "Platform/Foundation/Size.h"
#include "Platform/UI/Layer.h"

#include <QImage>
#include <QString>
#include <memory>

// Shows a bitmap scaled to the layer's width (height in proportion), timing each drawing: after every
// drawing `lastRenderDuration` is `baseDuration` plus the time it took, and the notification
// "OVCILDD" is posted with the layer as its sender. Only opacity changes animate.
class OVCIImageLayer : public pf::Layer
{
public:
    static inline const QString kDidDrawNotification = QStringLiteral("OVCILDD");

    OVCIImageLayer();
    static std::shared_ptr<OVCIImageLayer> create() { return std::make_shared<OVCIImageLayer>(); }
    std::shared_ptr<pf::Layer> newOfSameClass() const override { return create(); }

    const QImage& image() const { return m_image; }
    void setImage(const QImage& image);
    bool hasImage() const { return !m_image.isNull(); }
    // The image's pixel width and height.
    pf::Size imageSize() const { return m_imageSize; }
    // Seconds added to every measured drawing (the time spent making the image, for one).
    double baseDuration() const { return m_baseDuration; }
    void setBaseDuration(double seconds) { m_baseDuration = seconds; }
    double lastRenderDuration() const { return m_lastRenderDuration; }

    pf::LayerAction actionForKey(const QString& key) override;
    bool drawsContent() const override { return true; }
    void drawInContext(QPainter& painter) override;

private:
    QImage m_image;
    pf::Size m_imageSize;
    double m_baseDuration = 0;
    double m_lastRenderDuration = 0;
};
