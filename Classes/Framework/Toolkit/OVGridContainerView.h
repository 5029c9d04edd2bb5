#pragma once

#include "Platform/UI/View.h"

#include <QHash>
#include <QImage>

class OVGridItem;

// The document view of a grid: it paints, under its grid items, what lies outside them and so cannot be
// painted by the items themselves: each item's shadow, or its white glow while selected, faded with the
// item. The blurred shapes are kept per size and colour.
class OVGridContainerView : public pf::View
{
    Q_OBJECT

public:
    using View::View;

    void drawRect(QPainter& painter, const pf::Rect& dirtyRect) override;

private:
    QImage shadowImage(OVGridItem* item, double scale);

    QHash<QString, QImage> m_shadows;
};
