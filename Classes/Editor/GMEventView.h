#pragma once

#include "Platform/UI/View.h"

class GMEventViewDelegate;

// The editor window's content view. It paints the window background from the picture
// "Background.jpg", showing a chosen normalised part of it cut to the view's shape, and offers
// scroll-wheel events to its delegate before passing them on (so Command + scroll reaches the window
// controller wherever the pointer is).
class GMEventView : public pf::View
{
    Q_OBJECT

public:
    explicit GMEventView(const pf::Rect& frame = pf::Rect(), QWidget* parent = nullptr);

    static const QString backgroundImageName;
    static const QString grainImageName;

    // The normalised part of the background picture to show (origin at the lower left).
    pf::Rect bgRect() const { return m_bgRect; }
    void setBgRect(const pf::Rect& rect);

    // The part of `rect` (normalised, of a picture of `pictureSize` pixels) that fills a view of
    // `viewSize` without distortion: a relatively wider picture loses width evenly on both sides, a
    // taller one loses height below, keeping its top edge. The window controller cuts the background
    // layers with the same function, so both agree. A degenerate size leaves the rectangle as it is.
    static pf::Rect backgroundCut(const pf::Rect& rect, pf::Size viewSize, pf::Size pictureSize);

    // Not owned; clear it before the delegate goes.
    GMEventViewDelegate* delegate() const { return m_delegate; }
    void setDelegate(GMEventViewDelegate* delegate) { m_delegate = delegate; }

    void drawRect(QPainter& painter, const pf::Rect& dirtyRect) override;
    void scrollWheel(const pf::Event& event) override;

private:
    pf::Rect m_bgRect{0, 0, 1, 1};
    GMEventViewDelegate* m_delegate = nullptr;
};
