#pragma once

// What the layer benchmarks share: photo-like images, a target of a window's size, a frame drawn by the
// layer renderer, and the peer that draws the same images with plain QPainter through the same maps.

#include "Platform/UI/BasicAnimation.h"
#include "Platform/UI/Layer.h"
#include "Platform/UI/LayerRenderer.h"
#include "Platform/UI/SteppedClock.h"
#include "Platform/UI/Transaction.h"

#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>
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

// The ground the layer benchmarks and their peers draw on.
inline const QColor background(40, 40, 40);

// The root of a benchmark's layer tree: the target's size, on the ground.
inline std::shared_ptr<pf::Layer> groundRoot(QSize size)
{
    auto root = pf::Layer::create();
    root->setFrame(pf::Rect(0, 0, size.width(), size.height()));
    root->setBackgroundColor(background);
    return root;
}

// A fan of `count` photo cards on 1000 x 750 points, clipped to their bounds and turned by `turn`: the
// first at `first`, each next `step` points left of it (and `depthStep` points further back), added to
// `container` in that order.
inline std::vector<std::shared_ptr<pf::Layer>> fanCards(pf::Layer& container, int count, pf::Point first,
                                                        double step, const pf::Transform3D& turn,
                                                        double depthStep = 0)
{
    std::vector<std::shared_ptr<pf::Layer>> cards;
    for (int i = 0; i < count; ++i) {
        auto card = pf::Layer::create();
        card->setBounds(pf::Rect(0, 0, 1000, 750));
        card->setPosition(pf::Point(first.x - i * step, first.y));
        card->setTransform(turn);
        card->setContents(photo(i));
        card->setMasksToBounds(true);
        if (depthStep != 0)
            card->setZPosition(-i * depthStep);
        container.addSublayer(card);
        cards.push_back(card);
    }
    return cards;
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

// Times drawing the plain peer of `cards` into a target of `size` on the ground.
inline void drawPlainRepeatedly(benchmark::State& state, const std::vector<std::shared_ptr<pf::Layer>>& cards,
                                QSize size)
{
    const PlainDraws draws = plainDraws(cards, size);
    QImage image = target(size);
    for (auto _ : state) {
        drawPlain(image, draws, background);
        benchmark::DoNotOptimize(image.constBits());
    }
}

// Times a frame after each change inside `root`: `marker` shown or hidden at once, which makes the layer
// holding it draw everything in it again.
inline void drawAfterEachChange(benchmark::State& state, pf::Layer& root, pf::Layer& marker, QSize size)
{
    QImage image = target(size);
    bool hidden = false;
    for (auto _ : state) {
        {
            const pf::Transaction::Scope atOnce(true);
            marker.setHidden(hidden = !hidden);
        }
        drawFrame(root, image, 0);
        benchmark::DoNotOptimize(image.constBits());
    }
}

// Times frames 1/60 s apart while `card` slides from `from` to `to` and the rest of `root` stays.
inline void slideOneCard(benchmark::State& state, pf::Layer& root, pf::Layer& card, pf::Point from,
                         pf::Point to, QSize size)
{
    pf::SteppedClock clock;
    QImage image = target(size);
    drawFrame(root, image, clock.now());
    auto slide = pf::BasicAnimation::create(QStringLiteral("position"));
    slide->setFromValue(QVariant::fromValue(from));
    slide->setToValue(QVariant::fromValue(to));
    slide->setDuration(1e6);
    card.addAnimation(slide, QStringLiteral("slide"));
    for (auto _ : state) {
        clock.advance(1.0 / 60);
        drawFrame(root, image, clock.now());
        benchmark::DoNotOptimize(image.constBits());
    }
}

} // namespace layerBench
