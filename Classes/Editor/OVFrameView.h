#pragma once

#include "Platform/UI/View.h"

// A band of paper around the view's edges, 8.5 points wide, with a darker line along its outer edge and
// a fine one along its inner edge; the middle stays clear for what the view frames.
class OVFrameView : public pf::View
{
    Q_OBJECT

public:
    using View::View;

    void drawRect(QPainter& painter, const pf::Rect& dirtyRect) override;

    static QStringList imageNames();
};
