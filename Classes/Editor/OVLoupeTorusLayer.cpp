#include "Classes/Editor/OVLoupeTorusLayer.h"

#include "Classes/Editor/OVLoupeArtwork.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Image/Bitmap.h"
#include "Platform/Image/Filter.h"
#include "Platform/Image/Image.h"
#include "Platform/Image/RenderContext.h"
#include "Platform/UI/Drawing.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <map>
#include <optional>

using pf::Rect;

void OVLoupeTorusLayer::setScreenshot(const QImage& screenshot)
{
    m_screenshot = screenshot.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    setNeedsDisplay();
}

void OVLoupeTorusLayer::setSourceRect(const Rect& rect)
{
    if (rect == m_source)
        return;
    m_source = rect;
    setNeedsDisplay();
}

void OVLoupeTorusLayer::drawInContext(QPainter& painter)
{
    const Rect b = bounds();
    if (m_screenshot.isNull() || b.isEmpty() || !OVLoupeArtwork::isFinite(m_source))
        return;
    const int side = int(std::ceil(b.width() * contentsScale() - 1e-9));
    const Map& map = mapFor(side);
    if (m_ring.size() != QSize(side, side)) {
        m_ring = QImage(side, side, QImage::Format_ARGB32_Premultiplied);
        m_ring.fill(Qt::transparent);
    }
    const int w = m_screenshot.width(), h = m_screenshot.height();
    const auto* pixels = reinterpret_cast<const QRgb*>(m_screenshot.constBits());
    const qsizetype stride = m_screenshot.bytesPerLine() / 4;
    auto* ring = reinterpret_cast<QRgb*>(m_ring.bits());
    // Unit coordinates of the source rect, y-up, to pixel centres of the picture (row 0 on top): a
    // linear map, worked out once per draw.
    const float x0 = float(m_source.minX() * w - 0.5), xu = float(m_source.width() * w);
    const float y0 = float((1 - m_source.minY()) * h - 0.5), yv = float(-m_source.height() * h);
    for (const RingPixel& p : map.pixels) {
        const QRgb seen = sample(pixels, stride, w, h, x0 + p.u * xu, y0 + p.v * yv);
        ring[p.index] = p.alpha == 255 ? seen : scaled(seen, p.alpha);
    }
    pf::drawImage(painter, m_ring, b);
}

QRgb OVLoupeTorusLayer::scaled(QRgb pixel, int alpha)
{
    const auto part = [&](int shift) {
        return QRgb((((pixel >> shift) & 0xff) * alpha + 127) / 255) << shift;
    };
    return part(24) | part(16) | part(8) | part(0);
}

QRgb OVLoupeTorusLayer::mix256(QRgb x, uint a, QRgb y, uint b)
{
    const uint redBlue = (((x & 0xff00ff) * a + (y & 0xff00ff) * b) >> 8) & 0xff00ff;
    const uint alphaGreen = (((x >> 8) & 0xff00ff) * a + ((y >> 8) & 0xff00ff) * b) & 0xff00ff00;
    return alphaGreen | redBlue;
}

QRgb OVLoupeTorusLayer::sample(const QRgb* pixels, qsizetype stride, int w, int h, float x, float y)
{
    if (!(x > -1 && y > -1 && x < w && y < h))
        return 0;
    const int x0 = int(std::floor(x)), y0 = int(std::floor(y));
    const uint fx = uint((x - float(x0)) * 256 + 0.5f), fy = uint((y - float(y0)) * 256 + 0.5f);
    const auto at = [&](int px, int py) {
        return pixels[std::clamp(py, 0, h - 1) * stride + std::clamp(px, 0, w - 1)];
    };
    const QRgb top = mix256(at(x0, y0), 256 - fx, at(x0 + 1, y0), fx);
    const QRgb bottom = mix256(at(x0, y0 + 1), 256 - fx, at(x0 + 1, y0 + 1), fx);
    return mix256(top, 256 - fy, bottom, fy);
}

const OVLoupeTorusLayer::Map& OVLoupeTorusLayer::mapFor(int side)
{
    static std::map<int, Map> maps;
    const auto found = maps.find(side);
    if (found != maps.end())
        return found->second;
    Map& map = maps[side];
    const OVLoupeArtwork& im = OVLoupeArtwork::shared();
    const double k = side / im.torusSize.width;
    const QImage mask = im.torusMask.isNull()
                            ? QImage()
                            : im.torusMask.scaled(side, side, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                                  .convertToFormat(QImage::Format_ARGB32);
    // A picture of its own coordinates, seen through the lens, tells where every pixel looks.
    pf::Bitmap ramp(side, side, pf::Bitmap::Format::RGBAf);
    for (int row = 0; row < side; ++row) {
        auto* out = reinterpret_cast<float*>(ramp.mutableRow(row));
        for (int x = 0; x < side; ++x) {
            out[4 * x] = float((x + 0.5) / side);
            out[4 * x + 1] = float((side - row - 0.5) / side);
            out[4 * x + 2] = 0;
            out[4 * x + 3] = 1;
        }
    }
    std::optional<pf::Bitmap> looked;
    if (const pf::FilterPtr lens = pf::Filter::create(QStringLiteral("CITorusLensDistortion"))) {
        lens->setValue(QVariant::fromValue(pf::Image::fromBitmap(ramp)), QStringLiteral("inputImage"));
        lens->setValue(
            QVariant::fromValue(pf::Vector(im.torusSize.width / 2 * k, im.torusSize.height / 2 * k)),
            QStringLiteral("inputCenter"));
        lens->setValue(im.torusSize.width / 2 * k, QStringLiteral("inputRadius"));
        lens->setValue(100.0 * k, QStringLiteral("inputWidth"));
        lens->setValue(1.7, QStringLiteral("inputRefraction"));
        looked = pf::RenderContext::shared()->render(lens->outputImage(), Rect(0, 0, side, side),
                                                     pf::Bitmap::Format::RGBAf);
    }
    if (!looked || looked->width() != side || looked->height() != side) {
        pf::warning(QStringLiteral("The loupe's lens could not be rendered; its edge shows unbent"));
        looked = ramp;
    }
    for (int row = 0; row < side; ++row) {
        const auto* in = reinterpret_cast<const float*>(looked->row(row));
        for (int x = 0; x < side; ++x) {
            const int alpha = mask.isNull() ? 255 : qAlpha(mask.pixel(x, row));
            if (alpha == 0)
                continue;
            map.pixels.push_back({row * side + x, in[4 * x], in[4 * x + 1], quint8(alpha)});
        }
    }
    return map;
}
