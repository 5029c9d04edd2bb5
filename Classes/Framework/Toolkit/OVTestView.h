#pragma once

#include "Platform/UI/View.h"

// A translucent green fill that shows where a view lies while an interface is laid out.
class OVTestView : public pf::View
{
    Q_OBJECT

public:
    using View::View;
    void drawRect(QPainter& painter, const pf::Rect& dirtyRect) override;
};
