#pragma once

#include "Platform/UI/AnimationScheduler.h"
#include "Platform/UI/Layer.h"
#include "Platform/UI/LayerRenderer.h"
#include "Platform/UI/SteppedClock.h"

#include <QCoreApplication>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* stream)
{
    *stream << '"' << text.toStdString() << '"';
}

namespace pf {

// Failures name the layer instead of dumping its bytes.
inline void PrintTo(const Layer& layer, std::ostream* stream)
{
    *stream << "layer \"" << layer.name().toStdString() << "\" " << static_cast<const void*>(&layer);
}

namespace test {

inline std::shared_ptr<Layer> makeLayer(const Rect& frame, const QColor& color = QColor(),
                                        const QString& name = {})
{
    auto layer = Layer::create();
    layer->setFrame(frame);
    layer->setBackgroundColor(color);
    layer->setName(name);
    return layer;
}

// The pixel at a y-up point of an image.
inline QColor pixel(const QImage& image, Point yUp)
{
    return image.pixelColor(static_cast<int>(yUp.x), image.height() - 1 - static_cast<int>(yUp.y));
}

// The largest difference of any channel of any pixel; -1 when the sizes differ.
inline int maxDifference(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return -1;
    int largest = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            largest = std::max({largest, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                                std::abs(qBlue(p) - qBlue(q)), std::abs(qAlpha(p) - qAlpha(q))});
        }
    return largest;
}

// Renders `root` as seen at `time` into an image of `size` that stands for its superlayer's plane.
inline QImage render(Layer& root, QSize size, double time = 0)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    painter.setTransform(QTransform(1, 0, 0, -1, 0, size.height()));
    LayerRenderer::render(root, painter, time);
    return image;
}

// Animation time under the test's control; queued main-loop work runs on demand.
class SteppedTime : public ::testing::Test
{
protected:
    void TearDown() override { runMainLoop(); }
    // Animations start and end on the way, as their wake-ups fall due.
    void step(double seconds) { m_clock.advance(seconds); }
    double now() const { return m_clock.now(); }
    static void runMainLoop() { QCoreApplication::processEvents(); }

private:
    SteppedClock m_clock;
};

} // namespace test
} // namespace pf
