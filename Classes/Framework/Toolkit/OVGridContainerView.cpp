#include "Classes/Framework/Toolkit/OVGridContainerView.h"

#include "Classes/Framework/Toolkit/OVGridItem.h"
#include "Classes/Framework/Toolkit/ViewORVExtension.h"
#include "Platform/UI/Drawing.h"

#include <QPainter>
#include <cmath>

OVGridContainerView::OVGridContainerView(const pf::Rect& frame, QWidget* parent) : View(frame, parent)
{
    setPlacesOnlyShownSubviews(true);
}

size_t qHash(const OVGridContainerView::ShadowKey& key, size_t seed)
{
    return qHashMulti(seed, key.width, key.height, key.scale, key.colour, key.shape);
}

size_t qHash(const OVGridContainerView::PlacedKey& key, size_t seed)
{
    return qHashMulti(qHash(key.shadow, seed), key.pixels.width(), key.pixels.height(), key.phase.x(),
                      key.phase.y(), key.ratio, key.yUp);
}

QImage OVGridContainerView::shadowImage(OVGridItem* item, double scale, ShadowKey* keyOut)
{
    const pf::Size size = item->bounds().size;
    const QColor colour = item->shadowColor().value_or(Qt::transparent);
    const bool alphaShape = item->itemBorderWidth() == 0 && item->image().hasAlphaChannel();
    const ShadowKey key{size.width, size.height, scale, colour.rgba(),
                        alphaShape ? item->image().cacheKey() : 0};
    if (keyOut)
        *keyOut = key;
    auto found = m_shadows.constFind(key);
    if (found != m_shadows.constEnd())
        return *found;
    // The shape padded by twice the blur, drawn into a y-up painter; only the shadow stays.
    const double pad = OVGridItem::shadowRadius * 2;
    const pf::Size padded(size.width + 2 * pad, size.height + 2 * pad);
    QImage shadow(int(std::ceil(padded.width * scale)), int(std::ceil(padded.height * scale)),
                  QImage::Format_ARGB32_Premultiplied);
    shadow.fill(Qt::transparent);
    {
        QPainter p(&shadow);
        p.setRenderHint(QPainter::Antialiasing);
        p.translate(0, shadow.height());
        p.scale(scale, -scale);
        const pf::Rect shape(pad, pad, size.width, size.height);
        pf::Shadow spec;
        spec.color = colour;
        spec.offset = pf::Size(0, 0);
        spec.blurRadius = OVGridItem::shadowRadius;
        pf::drawWithShadow(p, spec, pf::Rect(0, 0, padded.width, padded.height), [&](QPainter& q) {
            if (alphaShape)
                pf::drawImage(q, item->image(), shape);
            else
                q.fillRect(shape.toQRectF(), Qt::black);
        });
        // The item covers its own area; clearing it keeps translucent pictures free of a dark fill.
        p.setCompositionMode(QPainter::CompositionMode_DestinationOut);
        if (alphaShape)
            pf::drawImage(p, item->image(), shape);
        else
            p.fillRect(shape.toQRectF(), Qt::black);
    }
    shadow.setDevicePixelRatio(scale);
    if (m_shadows.size() > 256)
        m_shadows.clear();
    m_shadows.insert(key, shadow);
    return shadow;
}

void OVGridContainerView::drawRect(QPainter& painter, const pf::Rect& dirtyRect)
{
    const double scale = std::max(1.0, ViewORVExtension::contentsScale(this));
    const double pad = OVGridItem::shadowRadius * 2;
    // Straight over the children: a thousand items are asked on every repaint.
    for (QObject* child : children()) {
        auto* item = qobject_cast<OVGridItem*>(child);
        if (!item || item->isWindow() || item->isHidden() || !item->shadowColor() || item->image().isNull())
            continue;
        const pf::Rect frame = item->frame();
        const pf::Rect area = frame.insetBy(-pad, -pad);
        if (!area.intersects(dirtyRect))
            continue;
        painter.save();
        painter.setOpacity(painter.opacity() * item->alphaValue());
        ShadowKey shadowKey{};
        const QImage shadow = shadowImage(item, scale, &shadowKey);
        const pf::DevicePlacement placement = pf::devicePlacement(painter, area);
        if (placement.valid) {
            // Items sit at fractions of a pixel: the shadow drawn there is kept by that fraction.
            const PlacedKey key{shadowKey, placement.pixels.size(), placement.phase, placement.ratio,
                                placement.yUp};
            auto found = m_placed.constFind(key);
            if (found == m_placed.constEnd()) {
                if (m_placed.size() > 512)
                    m_placed.clear();
                found = m_placed.insert(key, pf::renderAtDevicePixels(painter, placement, [&](QPainter& p) {
                                            pf::drawImage(p, shadow, area);
                                        }));
            }
            pf::copyAtDevicePixels(painter, *found, placement);
        } else {
            pf::drawImage(painter, shadow, area);
        }
        painter.restore();
    }
}
