#pragma once

// What the layer benchmarks share: photo-like images, a target of a window's size, a frame drawn by the
// layer renderer, and the peer that draws the same images with plain QPainter through the same maps.

#include "Platform/UI/Layer.h"
#include "Platform/UI/LayerRenderer.h"

#include <QImage>
#include <QPainter>
#include <memory>
#include <utility>
#include <vector>

namespace layerBench {

// Smooth colour with fine detail, different per index.
inline QImage photo(int index)
{
    QImage image(1024, 768, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        QRgb* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            row[x] = qRgb((x / 4 + index * 25) % 256, (y / 3) % 256, ((x ^ y) & 0x3f) + 96);
    }
    return image;
}

inline QImage target(QSize size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

inline void drawFrame(pf::Layer& root, QImage& image, double time)
{
    QPainter painter(&image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    painter.setTransform(QTransform(1, 0, 0, -1, 0, image.height()));
    pf::LayerRenderer::render(root, painter, time);
}

// Each card's image with the map from its pixels to the target's.
using PlainDraws = std::vector<std::pair<QImage, QTransform>>;
inline PlainDraws plainDraws(const std::vector<std::shared_ptr<pf::Layer>>& cards, QSize target)
{
    PlainDraws draws;
    const QTransform flip(1, 0, 0, -1, 0, target.height());
    for (const auto& card : cards) {
        const QImage image = card->contents();
        const pf::Rect b = card->bounds();
        // Image pixels -> card points (y-up) -> target.
        const QTransform imageToCard(b.width() / image.width(), 0, 0, -b.height() / image.height(), 0,
                                     b.height());
        draws.emplace_back(image, imageToCard * card->mapToRootSpace().transform() * flip);
    }
    return draws;
}

inline void drawPlain(QImage& image, const PlainDraws& draws, const QColor& background)
{
    QPainter painter(&image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    painter.fillRect(image.rect(), background);
    for (const auto& [picture, transform] : draws) {
        painter.setTransform(transform);
        painter.drawImage(0, 0, picture);
    }
}

} // namespace layerBench
