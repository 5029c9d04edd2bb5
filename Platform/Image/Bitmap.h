#pragma once

#include <QMetaType>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class QImage;

namespace pf {

// An owned buffer of pixels. Rows are stored top to bottom: row 0 is the top of the picture, the row with
// the highest y in the engine's y-up coordinates. Colour formats hold premultiplied RGBA; grey formats
// hold one value per pixel and no alpha. Copies share the pixels until one of them is written
// (`mutableData` detaches), so handing a bitmap to an image recipe is cheap and safe.
class Bitmap
{
public:
    enum class Format
    {
        RGBA8,  // 4 x uint8, premultiplied
        RGBAf,  // 4 x float, premultiplied, unclamped
        Grayf,  // 1 x float
        Gray8,  // 1 x uint8
        Gray16, // 1 x uint16
    };

    enum class Fill
    {
        Zero,
        Uninitialized // for callers that write every byte at once
    };

    Bitmap() = default;
    // Zero-filled pixels; a size beyond what can be allocated gives a null bitmap.
    Bitmap(int width, int height, Format format, Fill fill = Fill::Zero);

    static int bytesPerPixel(Format format);
    static bool hasAlpha(Format format) { return format == Format::RGBA8 || format == Format::RGBAf; }

    bool isNull() const { return !m_pixels; }
    int width() const { return m_width; }
    int height() const { return m_height; }
    Format format() const { return m_format; }
    size_t bytesPerRow() const
    {
        return static_cast<size_t>(m_width) * static_cast<size_t>(bytesPerPixel(m_format));
    }
    size_t byteCount() const { return bytesPerRow() * static_cast<size_t>(m_height); }

    const uint8_t* data() const { return m_pixels ? m_pixels.get() : nullptr; }
    const uint8_t* row(int y) const { return data() + bytesPerRow() * static_cast<size_t>(y); }
    // Pixels to write, made this bitmap's own first if it shares them (a copy of them). Making them its
    // own changes the bitmap, so two threads must never call this (or mutableRow) on one bitmap at
    // once: work that writes a bitmap in bands on several cores takes the address once, before the
    // bands start, and the bands write through it.
    uint8_t* mutableData();
    uint8_t* mutableRow(int y) { return mutableData() + bytesPerRow() * static_cast<size_t>(y); }

    // The pixel at column x of row y (row 0 on top) as premultiplied RGBA floats in 0..1 for the 8- and
    // 16-bit formats; grey formats give (v, v, v, 1).
    void pixel(int x, int y, float rgba[4]) const;

    // An identity for caches: equal for bitmaps that share their pixels and nobody has written since.
    const void* identity() const { return m_pixels.get(); }
    // Expires when the last bitmap sharing these pixels lets them go: a cache keyed by identity() can
    // tell that its entry stands for pixels nobody can ask for any more, without keeping them alive.
    std::weak_ptr<const void> lifetime() const { return m_pixels; }

    // Conversions to and from Qt's images. Any QImage converts; 16-bit formats keep full precision by
    // going to RGBAf. toQImage gives RGBA8888 premultiplied (RGBA32FPx4 premultiplied for float).
    static Bitmap fromQImage(const QImage& image);
    // The same, taking the image's pixel buffer over where its layout allows (8-bit RGBA converted in
    // place, unpadded grey), so that a freshly decoded photo is never copied.
    static Bitmap fromQImage(QImage&& image);
    QImage toQImage() const;
    Bitmap converted(Format format) const;

private:
    int m_width = 0;
    int m_height = 0;
    Format m_format = Format::RGBA8;
    std::shared_ptr<uint8_t[]> m_pixels;
};

} // namespace pf

Q_DECLARE_METATYPE(pf::Bitmap)
