#pragma once

#include "Platform/Foundation/Rect.h"
#include "Platform/UI/Layer.h"

#include <QImage>
#include <vector>

// The refracting edge of the glass while the loupe is carried: the part of the window's picture that
// the screenshot layer shows, seen through a ring-shaped lens. The lens never changes for a loupe of one
// size, so where each pixel of the ring looks is rendered once through "CITorusLensDistortion" and kept;
// every carry step only samples the picture through that map.
class OVLoupeTorusLayer : public pf::Layer
{
public:
    void setScreenshot(const QImage& screenshot);
    void setSourceRect(const pf::Rect& rect);
    const pf::Rect& sourceRect() const { return m_source; }

    bool drawsContent() const override { return true; }
    void drawInContext(QPainter& painter) override;

private:
    struct RingPixel
    {
        int index;    // in the ring image, row 0 on top
        float u, v;   // where it looks, in unit coordinates of the layer (y-up)
        quint8 alpha; // the ring's own edge (its mask), baked in: the layer needs no mask to draw
    };
    struct Map
    {
        std::vector<RingPixel> pixels;
    };

    // A premultiplied pixel times alpha / 255.
    static QRgb scaled(QRgb pixel, int alpha);
    // Two premultiplied pixels weighed a : b, with a + b = 256; two channels at a time.
    static QRgb mix256(QRgb x, uint a, QRgb y, uint b);
    // Bilinear, with weights in 256ths: every carry step samples the whole ring, so this stays integer.
    static QRgb sample(const QRgb* pixels, qsizetype stride, int w, int h, float x, float y);
    // Where each pixel of the ring looks through the lens, for a ring image `side` pixels wide.
    static const Map& mapFor(int side);

    QImage m_screenshot;
    QImage m_ring;
    pf::Rect m_source;
};
