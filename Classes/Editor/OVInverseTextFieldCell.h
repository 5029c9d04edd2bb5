#pragma once

#include "Classes/Editor/OVCell.h"

// A text cell whose text is cut out of a rounded plate of its background colour: what lies behind the
// control shows through the letters. The text is centred, lowered by the control's tag in points.
class OVInverseTextFieldCell : public OVCell
{
public:
    explicit OVInverseTextFieldCell(const QString& text = QString());
    explicit OVInverseTextFieldCell(const QImage& image);

    double cornerRadius() const { return m_cornerRadius; }
    void setCornerRadius(double radius) { m_cornerRadius = radius; }

    // Where the text's lower left lies for a frame and a tag (y-up).
    pf::Point textOrigin(const pf::Rect& frame, int tag) const;
    void drawInteriorWithFrame(QPainter& painter, const pf::Rect& frame, pf::View* controlView) override;

private:
    double m_cornerRadius = 4.0;
};
