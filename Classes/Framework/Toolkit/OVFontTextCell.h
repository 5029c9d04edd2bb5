#pragma once

#include "Platform/UI/TextFieldCell.h"

// A text cell that draws its text centred vertically, 10 points in from the left, at most 18 points
// narrower than the cell, its last visible line truncated.
class OVFontTextCell : public pf::TextFieldCell
{
public:
    // Where the text goes in a cell frame (y-up).
    pf::Rect textRectForFrame(const pf::Rect& frame) const;
    void drawInteriorWithFrame(QPainter& painter, const pf::Rect& frame, pf::View* view) override;
};
