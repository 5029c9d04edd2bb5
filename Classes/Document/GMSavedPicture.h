#pragma once

#include "Platform/Image/Bitmap.h"

#include <QRect>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

class GMPaintedRegion;

// The picture a save writes, made into pixels only where a writer reads it. A large photo with a few
// strokes is composed around the strokes, a band at a time as the file is written, never whole unless
// the writer needs every pixel (a file written anew). Upright, as the application holds pictures.
// Read from one thread at a time (the save's).
class GMSavedPicture
{
public:
    // The pixels of an upright rectangle inside the picture, in the picture's format; nothing when they
    // cannot be made.
    using Render = std::function<std::optional<pf::Bitmap>(const QRect&)>;

    GMSavedPicture() = default;
    // A picture made already.
    explicit GMSavedPicture(pf::Bitmap picture);
    // One made on demand.
    GMSavedPicture(int width, int height, pf::Bitmap::Format format, Render render);

    bool isNull() const { return m_width <= 0 || m_height <= 0; }
    int width() const { return m_width; }
    int height() const { return m_height; }
    pf::Bitmap::Format format() const { return m_format; }

    // Gives every part the transparency of the photo it was made from (same size; see
    // GMChainRenderer::keepTransparencyOf).
    void keepTransparencyOf(pf::Bitmap photo);
    // A small copy of the picture (the canvas's preview of the same stack) that thumbnails are made
    // from, so that they need not make every pixel.
    void setPreview(pf::Bitmap preview) { m_preview = std::move(preview); }

    // The pixels of `rect` (clipped to the picture); null when they cannot be made.
    pf::Bitmap part(const QRect& rect) const;
    // The pixels of `rect` wherever `painted` (upright, the picture's size) holds a painted pixel near
    // them; elsewhere the part is left clear. Made a band at a time, the last band kept for the next
    // rectangle (a writer asks for rows in order), each band only over the runs it was painted in.
    pf::Bitmap paintedPart(const QRect& rect, const GMPaintedRegion& painted) const;
    // Every pixel, made once; null when they cannot be made.
    const pf::Bitmap& whole() const;
    // The picture fitted inside a square of that side (from the preview where it is large enough and
    // the whole picture was not made).
    pf::Bitmap fittedInside(double side) const;

    // Rows (or columns, for a band that stands upright) a band holds, and the step its painted runs are
    // found in: large enough for the engine's tiles, small enough to stay a few megabytes.
    static constexpr int bandSide = 256;
    static constexpr int runStep = 64;

private:
    pf::Bitmap rendered(const QRect& rect) const;

    int m_width = 0, m_height = 0;
    pf::Bitmap::Format m_format = pf::Bitmap::Format::RGBA8;
    Render m_render;
    pf::Bitmap m_photo;
    pf::Bitmap m_preview;
    mutable std::once_flag m_made;
    mutable pf::Bitmap m_whole;
    mutable QRect m_bandRect;
    mutable pf::Bitmap m_band;
};
