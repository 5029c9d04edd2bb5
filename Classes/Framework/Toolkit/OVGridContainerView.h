#pragma once

#include "Platform/UI/View.h"

#include <QHash>
#include <QImage>

class OVGridItem;

// The document view of a grid: it paints, under its grid items, what lies outside them and so cannot be
// painted by the items themselves: each item's shadow, or its white glow while selected, faded with the
// item. The blurred shapes are kept per size and colour, and each as it is placed on the device's pixels,
// so that a repaint copies them rather than filtering them again.
//
// Of its hundreds of items a screenful shows: the others' widgets move only when they come into view.
class OVGridContainerView : public pf::View
{
    Q_OBJECT

public:
    explicit OVGridContainerView(const pf::Rect& frame = pf::Rect(), QWidget* parent = nullptr);

    void drawRect(QPainter& painter, const pf::Rect& dirtyRect) override;

private:
    struct ShadowKey
    {
        double width, height, scale;
        QRgb colour;
        qint64 shape; // the picture whose outline casts the shadow, or 0 for the item's rectangle
        bool operator==(const ShadowKey&) const = default;
    };
    friend size_t qHash(const ShadowKey& key, size_t seed);

    struct PlacedKey
    {
        ShadowKey shadow;
        QSize pixels;
        QPointF phase;
        double ratio;
        bool yUp;
        bool operator==(const PlacedKey&) const = default;
    };
    friend size_t qHash(const PlacedKey& key, size_t seed);

    QImage shadowImage(OVGridItem* item, double scale, ShadowKey* keyOut = nullptr);

    QHash<ShadowKey, QImage> m_shadows;
    QHash<PlacedKey, QImage> m_placed;
};
