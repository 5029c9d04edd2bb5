#include "Classes/Editor/ShadowTextViewCell.h"

#include <QPainter>

pf::Shadow ShadowTextViewCell::shadow()
{
    pf::Shadow white;
    white.color = QColor::fromRgbF(1, 1, 1, 1);
    white.blurRadius = 0.0;
    white.offset = pf::Size(1, -1);
    return white;
}

void ShadowTextViewCell::drawInteriorWithFrame(QPainter& painter, const pf::Rect& frame,
                                               pf::View* controlView)
{
    pf::drawWithShadow(painter, shadow(), frame,
                       [&](QPainter& p) { OVCell::drawInteriorWithFrame(p, frame, controlView); });
}
