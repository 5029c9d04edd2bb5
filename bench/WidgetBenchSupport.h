#pragma once

// What the widget benchmarks share: drawing a widget as its window would, at two pixels per point.

#include <QImage>
#include <QRegion>
#include <QWidget>
#include <benchmark/benchmark.h>

namespace widgetBench {

// Draws a widget as its window would, into a reused image at two pixels per point.
inline void draw(QWidget& widget, QImage& target)
{
    target.fill(Qt::transparent);
    widget.render(&target, QPoint(), QRegion(), QWidget::DrawChildren);
}

// An image for `draw` of the widget's size at two pixels per point.
inline QImage canvasFor(const QWidget& widget)
{
    QImage image(widget.size() * 2, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(2);
    return image;
}

// Times redrawing the widget, after a first draw outside the figure.
inline void redraw(benchmark::State& state, QWidget& widget)
{
    QImage target = canvasFor(widget);
    draw(widget, target);
    for (auto _ : state)
        draw(widget, target);
}

} // namespace widgetBench
