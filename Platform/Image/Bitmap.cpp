#include "Platform/Image/Bitmap.h"

#include "Platform/Foundation/Log.h"
#include "Platform/Image/CpuRendering.h"

#include <QImage>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

namespace pf {

namespace {

float luminance(float r, float g, float b)
{
    return 0.2126f * r + 0.7152f * g + 0.0722f * b;
}

// A value of 0 to 1 as the nearest whole number from 0 to the type's largest, clamped (NaN gives 0).
template <typename Whole> Whole toWhole(float v)
{
    constexpr Whole top = std::numeric_limits<Whole>::max();
    if (!(v > 0.0f))
        return 0;
    if (v >= 1.0f)
        return top;
    return static_cast<Whole>(std::lround(v * float(top)));
}

} // namespace

Bitmap::Bitmap(int width, int height, Format format, Fill fill) : m_format(format)
{
    if (width <= 0 || height <= 0)
        return;
    const size_t bytes = static_cast<size_t>(width) * static_cast<size_t>(height) * bytesPerPixel(format);
    if (bytes / static_cast<size_t>(height) / bytesPerPixel(format) != static_cast<size_t>(width) ||
        bytes > (size_t(1) << 40)) {
        pf::error(QStringLiteral("A bitmap of %1 x %2 pixels is too large").arg(width).arg(height));
        return;
    }
    try {
        m_pixels =
            CopyOnWritePtr<uint8_t[]>(fill == Fill::Zero ? std::make_shared<uint8_t[]>(bytes)
                                                         : std::make_shared_for_overwrite<uint8_t[]>(bytes));
    } catch (const std::bad_alloc&) {
        pf::error(QStringLiteral("Out of memory for a bitmap of %1 x %2 pixels").arg(width).arg(height));
        return;
    }
    m_width = width;
    m_height = height;
}

int Bitmap::bytesPerPixel(Format format)
{
    switch (format) {
    case Format::RGBA8:
        return 4;
    case Format::RGBAf:
        return 16;
    case Format::Grayf:
        return 4;
    case Format::Gray8:
        return 1;
    case Format::Gray16:
        return 2;
    }
    return 4;
}

uint8_t* Bitmap::mutableData()
{
    if (!m_pixels)
        return nullptr;
    if (m_pixels.isShared()) {
        auto copy = std::make_shared_for_overwrite<uint8_t[]>(byteCount());
        std::memcpy(copy.get(), m_pixels.get(), byteCount());
        m_pixels = CopyOnWritePtr<uint8_t[]>(std::move(copy));
    }
    return m_pixels.get();
}

void Bitmap::pixel(int x, int y, float rgba[4]) const
{
    rgba[0] = rgba[1] = rgba[2] = rgba[3] = 0.0f;
    if (isNull() || x < 0 || y < 0 || x >= m_width || y >= m_height)
        return;
    const uint8_t* p = row(y) + static_cast<size_t>(x) * bytesPerPixel(m_format);
    switch (m_format) {
    case Format::RGBA8:
        for (int i = 0; i < 4; ++i)
            rgba[i] = p[i] / 255.0f;
        break;
    case Format::RGBAf:
        std::memcpy(rgba, p, 16);
        break;
    case Format::Grayf: {
        float v;
        std::memcpy(&v, p, 4);
        rgba[0] = rgba[1] = rgba[2] = v;
        rgba[3] = 1.0f;
        break;
    }
    case Format::Gray8:
        rgba[0] = rgba[1] = rgba[2] = p[0] / 255.0f;
        rgba[3] = 1.0f;
        break;
    case Format::Gray16: {
        uint16_t v;
        std::memcpy(&v, p, 2);
        rgba[0] = rgba[1] = rgba[2] = v / 65535.0f;
        rgba[3] = 1.0f;
        break;
    }
    }
}

Bitmap Bitmap::converted(Format format) const
{
    if (isNull() || format == m_format)
        return *this;
    Bitmap out(m_width, m_height, format, Fill::Uninitialized);
    if (out.isNull())
        return out;
    uint8_t* dst = out.mutableData();
    const int outBpp = bytesPerPixel(format);
    // The conversions every tile of a render may make (bytes to floats and back) row by row, the same
    // values as pixel by pixel below, and a large bitmap in bands on all cores.
    if ((m_format == Format::RGBA8 && format == Format::RGBAf) ||
        (m_format == Format::RGBAf && format == Format::RGBA8)) {
        const auto rows = [&](int begin, int end) {
            for (int y = begin; y < end; ++y) {
                const uint8_t* src = row(y);
                uint8_t* q = dst + out.bytesPerRow() * size_t(y);
                const int n = m_width * 4;
                if (m_format == Format::RGBA8) {
                    auto* f = reinterpret_cast<float*>(q);
                    for (int i = 0; i < n; ++i)
                        f[i] = src[i] / 255.0f;
                } else {
                    const auto* f = reinterpret_cast<const float*>(src);
                    for (int i = 0; i < n; ++i)
                        q[i] = toWhole<uint8_t>(f[i]);
                }
            }
        };
        if (size_t(m_width) * size_t(m_height) >= (size_t(1) << 18))
            CpuRendering::inBands(m_height, rows);
        else
            rows(0, m_height);
        return out;
    }
    for (int y = 0; y < m_height; ++y) {
        for (int x = 0; x < m_width; ++x) {
            float c[4];
            pixel(x, y, c);
            uint8_t* q = dst + out.bytesPerRow() * static_cast<size_t>(y) + static_cast<size_t>(x) * outBpp;
            switch (format) {
            case Format::RGBA8:
                for (int i = 0; i < 4; ++i)
                    q[i] = toWhole<uint8_t>(c[i]);
                break;
            case Format::RGBAf:
                std::memcpy(q, c, 16);
                break;
            case Format::Grayf: {
                // Without alpha the colour stands over black, which for premultiplied values is the colour.
                const float v = luminance(c[0], c[1], c[2]);
                std::memcpy(q, &v, 4);
                break;
            }
            case Format::Gray8:
                q[0] = toWhole<uint8_t>(luminance(c[0], c[1], c[2]));
                break;
            case Format::Gray16: {
                const uint16_t v = toWhole<uint16_t>(luminance(c[0], c[1], c[2]));
                std::memcpy(q, &v, 2);
                break;
            }
            }
        }
    }
    return out;
}

Bitmap Bitmap::fromQImage(const QImage& source)
{
    if (source.isNull())
        return {};
    const QImage::Format f = source.format();
    const bool deep = f == QImage::Format_RGBX64 || f == QImage::Format_RGBA64 ||
                      f == QImage::Format_RGBA64_Premultiplied || f == QImage::Format_Grayscale16 ||
                      f == QImage::Format_RGBX16FPx4 || f == QImage::Format_RGBA16FPx4 ||
                      f == QImage::Format_RGBA16FPx4_Premultiplied || f == QImage::Format_RGBX32FPx4 ||
                      f == QImage::Format_RGBA32FPx4 || f == QImage::Format_RGBA32FPx4_Premultiplied;
    if (f == QImage::Format_Grayscale8) {
        Bitmap out(source.width(), source.height(), Format::Gray8);
        for (int y = 0; !out.isNull() && y < source.height(); ++y)
            std::memcpy(out.mutableRow(y), source.constScanLine(y), out.bytesPerRow());
        return out;
    }
    if (f == QImage::Format_Grayscale16) {
        Bitmap out(source.width(), source.height(), Format::Gray16);
        for (int y = 0; !out.isNull() && y < source.height(); ++y)
            std::memcpy(out.mutableRow(y), source.constScanLine(y), out.bytesPerRow());
        return out;
    }
    if (deep) {
        // Qt's conversions between premultiplied 16-bit and float pixels get the alpha wrong, so go
        // through straight 16-bit pixels (converted correctly) and premultiply here.
        const QImage image = source.convertToFormat(QImage::Format_RGBA64);
        Bitmap out(image.width(), image.height(), Format::RGBAf);
        for (int y = 0; !out.isNull() && y < image.height(); ++y) {
            const uint16_t* src = reinterpret_cast<const uint16_t*>(image.constScanLine(y));
            float* dst = reinterpret_cast<float*>(out.mutableRow(y));
            for (int x = 0; x < image.width(); ++x) {
                const float a = src[x * 4 + 3] / 65535.0f;
                dst[x * 4 + 0] = src[x * 4 + 0] / 65535.0f * a;
                dst[x * 4 + 1] = src[x * 4 + 1] / 65535.0f * a;
                dst[x * 4 + 2] = src[x * 4 + 2] / 65535.0f * a;
                dst[x * 4 + 3] = a;
            }
        }
        return out;
    }
    const QImage image = source.convertToFormat(QImage::Format_RGBA8888_Premultiplied);
    Bitmap out(image.width(), image.height(), Format::RGBA8);
    for (int y = 0; !out.isNull() && y < image.height(); ++y)
        std::memcpy(out.mutableRow(y), image.constScanLine(y), out.bytesPerRow());
    return out;
}

Bitmap Bitmap::fromQImage(QImage&& source)
{
    if (source.isNull())
        return {};
    const QImage::Format f = source.format();
    Format format;
    if (f == QImage::Format_Grayscale8) {
        format = Format::Gray8;
    } else if (f == QImage::Format_Grayscale16) {
        format = Format::Gray16;
    } else if (source.depth() == 32 && f != QImage::Format_RGBX16FPx4 && f != QImage::Format_RGBA16FPx4 &&
               f != QImage::Format_RGBA16FPx4_Premultiplied) {
        // Same depth: Qt converts these in place.
        source.convertTo(QImage::Format_RGBA8888_Premultiplied);
        format = Format::RGBA8;
    } else {
        return fromQImage(static_cast<const QImage&>(source));
    }
    const int width = source.width(), height = source.height();
    if (source.isNull() || size_t(source.bytesPerLine()) != size_t(width) * size_t(bytesPerPixel(format)))
        return fromQImage(static_cast<const QImage&>(source));
    uint8_t* pixels = source.bits(); // the image's own buffer: nobody else shares it
    Bitmap out;
    out.m_width = width;
    out.m_height = height;
    out.m_format = format;
    // The buffer lives as long as the image the deleter holds.
    out.m_pixels = CopyOnWritePtr<uint8_t[]>(std::shared_ptr<uint8_t[]>(
        pixels, [image = std::move(source)](uint8_t*) mutable { image = QImage(); }));
    return out;
}

QImage Bitmap::toQImage() const
{
    if (isNull())
        return {};
    if (m_format == Format::Gray8 || m_format == Format::Gray16) {
        QImage image(m_width, m_height,
                     m_format == Format::Gray8 ? QImage::Format_Grayscale8 : QImage::Format_Grayscale16);
        for (int y = 0; y < m_height; ++y)
            std::memcpy(image.scanLine(y), row(y), bytesPerRow());
        return image;
    }
    if (m_format == Format::RGBAf || m_format == Format::Grayf) {
        const Bitmap rgba = converted(Format::RGBAf);
        QImage image(m_width, m_height, QImage::Format_RGBA32FPx4_Premultiplied);
        for (int y = 0; y < m_height; ++y)
            std::memcpy(image.scanLine(y), rgba.row(y), rgba.bytesPerRow());
        return image;
    }
    QImage image(m_width, m_height, QImage::Format_RGBA8888_Premultiplied);
    for (int y = 0; y < m_height; ++y)
        std::memcpy(image.scanLine(y), row(y), bytesPerRow());
    return image;
}

} // namespace pf
