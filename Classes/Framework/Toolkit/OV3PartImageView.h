#pragma once

#include "Platform/UI/View.h"

#include <QImage>

// A horizontally stretchable picture of three parts: the left and right caps at their natural size, the
// middle stretched between them. Every part keeps its own height and sits on the bottom edge; the
// view's height scales nothing. Bars and backgrounds whose ends keep their shape use it.
class OV3PartImageView : public pf::View
{
    Q_OBJECT

public:
    using View::View;

    QImage leftImg() const { return m_left; }
    QImage midImg() const { return m_mid; }
    QImage rightImg() const { return m_right; }
    // Each redraws only when the image differs from the one shown.
    void setLeftImg(const QImage& image);
    void setMidImg(const QImage& image);
    void setRightImg(const QImage& image);

    void drawRect(QPainter& painter, const pf::Rect& dirtyRect) override;

private:
    void replace(QImage& slot, const QImage& image);

    QImage m_left, m_mid, m_right;
};
