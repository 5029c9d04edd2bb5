#pragma once

#include "Platform/Image/Image.h"

#include <QImageIOHandler>
#include <QRect>
#include <cstdint>
#include <vector>

namespace pf {
class RenderContext;
}

// Where the layers of a picture painted: the pixels some layer's mask is above zero at. Everywhere else
// the composed picture is the photo itself, so a save writes the photo's own stored values there
// instead of the composed ones (which went through the working copy's float and premultiplied pixels).
// One bit a pixel, rows top down; safe to read from any thread once made.
class GMPaintedRegion
{
public:
    GMPaintedRegion() = default;
    // Nothing painted, or (`all`) everything.
    GMPaintedRegion(int width, int height, bool all = false);

    // The union of the masks (each of the picture's size, upright, its value in green), read a band of
    // rows at a time on `context`. A mask that is null counts as painted everywhere: no layer's change
    // may be lost for want of knowing where it lies. False, with a message, when a band cannot be read.
    static bool fromMasks(const std::vector<pf::Image>& masks, int width, int height,
                          pf::RenderContext& context, GMPaintedRegion* region, QString* errorMessage);

    int width() const { return m_width; }
    int height() const { return m_height; }
    bool isNull() const { return m_width <= 0 || m_height <= 0; }
    bool isEmpty() const;
    bool contains(int x, int y) const
    {
        return (m_bits[size_t(y) * m_words + size_t(x >> 6)] >> (x & 63)) & 1;
    }
    // Whether any pixel of `rect` (clipped to the picture) is painted.
    bool intersects(const QRect& rect) const;
    // The smallest rectangle holding every painted pixel; empty when none is.
    QRect bounds() const;
    void add(int x, int y) { m_bits[size_t(y) * m_words + size_t(x >> 6)] |= uint64_t(1) << (x & 63); }
    void addRect(const QRect& rect);

    // The region where the pixels are stored turned back by the orientation reading applies
    // (mirrored, then flipped, then turned by 90° clockwise).
    GMPaintedRegion stored(QImageIOHandler::Transformations orientation) const;
    // Where the stored pixel (x, y) of a picture stored `storedSize` shows once turned upright.
    static QPoint upright(QPoint stored, QSize storedSize, QImageIOHandler::Transformations orientation);
    // The upright rectangle the stored one shows as.
    static QRect uprightRect(const QRect& stored, QSize storedSize,
                             QImageIOHandler::Transformations orientation);

private:
    int m_width = 0, m_height = 0;
    size_t m_words = 0; // 64-bit words a row
    std::vector<uint64_t> m_bits;
};
