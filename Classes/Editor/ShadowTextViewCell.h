#pragma once

#include "Classes/Editor/OVCell.h"

// A text cell whose text is embossed: a crisp white copy one point right and down beneath it.
class ShadowTextViewCell : public OVCell
{
public:
    using OVCell::OVCell;

    static pf::Shadow shadow();
    void drawInteriorWithFrame(QPainter& painter, const pf::Rect& frame, pf::View* controlView) override;
};
