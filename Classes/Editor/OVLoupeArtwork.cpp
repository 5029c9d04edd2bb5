#include "Classes/Editor/OVLoupeArtwork.h"

#include "Platform/Foundation/Log.h"
#include "Platform/UI/NamedImage.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <vector>

namespace {

pf::Size pointSize(const QImage& image, pf::Size fallback)
{
    if (image.isNull())
        return fallback;
    const QSizeF size = image.deviceIndependentSize();
    return pf::Size(size.width(), size.height());
}

// Blurs an alpha image along one axis with a running box of 2 * radius + 1 pixels.
void boxBlurAlpha(QImage& alpha, int radius, bool horizontal)
{
    const int w = alpha.width(), h = alpha.height();
    const int lines = horizontal ? h : w, length = horizontal ? w : h;
    const qsizetype step = horizontal ? 1 : alpha.bytesPerLine();
    std::vector<int> line(static_cast<size_t>(length));
    const int window = 2 * radius + 1;
    for (int l = 0; l < lines; ++l) {
        uchar* base = horizontal ? alpha.scanLine(l) : alpha.bits() + l;
        for (int i = 0; i < length; ++i)
            line[static_cast<size_t>(i)] = base[i * step];
        const auto at = [&](int i) { return i < 0 || i >= length ? 0 : line[static_cast<size_t>(i)]; };
        int sum = 0;
        for (int i = -radius; i <= radius; ++i)
            sum += at(i);
        for (int i = 0; i < length; ++i) {
            base[i * step] = static_cast<uchar>((sum + window / 2) / window);
            sum += at(i + radius + 1) - at(i - radius);
        }
    }
}

} // namespace

const OVLoupeArtwork& OVLoupeArtwork::shared()
{
    static const OVLoupeArtwork loaded = [] {
        OVLoupeArtwork im;
        const auto load = [](const char* name) {
            const QImage image = pf::NamedImage::image(QString::fromLatin1(name));
            if (image.isNull())
                pf::warning(QStringLiteral("The loupe has no image \"%1\"").arg(QLatin1String(name)));
            return image;
        };
        im.rim = load("Loupe.png");
        im.littleRim = load("LoupeLittle.png");
        im.lense = load("LoupeLense.png");
        im.mask = load("LoupeMask.png");
        im.knob = load("LoupeRatioKnob.png");
        im.torusMask = load("LoupeTorusMask.png");
        im.rimSize = pointSize(im.rim, pf::Size(320, 320));
        im.lenseSize = pointSize(im.lense, pf::Size(208, 208));
        im.maskSize = pointSize(im.mask, pf::Size(208, 208));
        im.knobSize = pointSize(im.knob, pf::Size(256, 256));
        im.torusSize = pointSize(im.torusMask, im.rimSize);
        return im;
    }();
    return loaded;
}

const QImage& OVLoupeArtwork::shadow(double radius, int pad)
{
    static const QImage shadow = [radius, pad] {
        const OVLoupeArtwork& im = shared();
        const pf::Size L = im.rimSize;
        QImage alpha(int(std::ceil(L.width)) + 2 * pad, int(std::ceil(L.height)) + 2 * pad,
                     QImage::Format_Alpha8);
        alpha.fill(0);
        {
            QPainter painter(&alpha);
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            painter.translate(pad, pad);
            if (!im.torusMask.isNull())
                painter.drawImage(QRectF(0, 0, L.width, L.height), im.torusMask);
            if (!im.mask.isNull())
                painter.drawImage(QRectF((L.width - im.maskSize.width) / 2,
                                         (L.height - im.maskSize.height) / 2, im.maskSize.width,
                                         im.maskSize.height),
                                  im.mask);
            if (!im.rim.isNull())
                painter.drawImage(QRectF(0, 0, L.width, L.height), im.rim);
            else
                painter.fillRect(QRectF(0, 0, L.width, L.height), Qt::black);
        }
        const double sigma = radius / 2;
        const int box = std::max(1, int(std::lround(std::sqrt(4 * sigma * sigma + 1) / 2)));
        for (int pass = 0; pass < 3; ++pass) {
            boxBlurAlpha(alpha, box, true);
            boxBlurAlpha(alpha, box, false);
        }
        QImage shadow(alpha.size(), QImage::Format_ARGB32_Premultiplied);
        shadow.fill(Qt::black);
        QPainter painter(&shadow);
        painter.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        painter.drawImage(0, 0, alpha);
        return shadow;
    }();
    return shadow;
}

bool OVLoupeArtwork::isFinite(const pf::Rect& r)
{
    return std::isfinite(r.minX()) && std::isfinite(r.minY()) && std::isfinite(r.width()) &&
           std::isfinite(r.height());
}
