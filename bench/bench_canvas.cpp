// The editor's canvas on the software path. A frame of the canvas at 1600 x 1000 while the user pans a
// magnified photo: the 1024-pixel preview in the zoom layer, a painted overlay in the content layer, the
// paper frame and the inner shadow, drawn by the layer tree; beside it a plain QPainter drawing the same
// pictures into the same places. And the brush cursor of 500 points with the smoothness gradient, redrawn
// at each Command + scroll step (the picture and the cursor made of it); beside it QPainter drawing only
// the gradient disc into a fresh image of the same size.

#include "Classes/Editor/GMSettingsController.h"
#include "Classes/Editor/GMSettingsDelegate.h"
#include "Classes/Editor/GMSlider.h"
#include "Classes/Editor/OVFrameLayer.h"
#include "Classes/Editor/OVZoomView.h"
#include "Classes/Editor/OVZoomViewDelegate.h"
#include "Classes/ToolObjects/PhotoToolChain.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Image/Color.h"
#include "Platform/Image/Image.h"
#include "Platform/UI/Drawing.h"
#include "Platform/UI/Layer.h"
#include "Platform/UI/LayerRenderer.h"
#include "Platform/UI/NamedImage.h"
#include "Platform/UI/Transaction.h"
#include "bench/BenchRun.h"

#include <QApplication>
#include <QPainter>
#include <QRadialGradient>
#include <benchmark/benchmark.h>
#include <cmath>

namespace {

using pf::Point;
using pf::Rect;

constexpr QSize kCanvas(1600, 1000);

QImage preview()
{
    // A photo-like preview: smooth colour with fine detail, no alpha.
    QImage image(1024, 768, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        QRgb* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            row[x] = qRgb((x / 4) % 256, (y / 3) % 256, ((x ^ y) & 0x3f) + 96);
    }
    return image;
}

QImage overlay()
{
    QImage image(1024, 768, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(255, 170, 90, 150), 24, Qt::SolidLine, Qt::RoundCap));
    for (int i = 0; i < 12; ++i)
        painter.drawLine(QPointF(100 + i * 60, 200), QPointF(160 + i * 60, 560));
    return image;
}

// What the window controller does with the canvas's reports: both layers show the visible part.
struct ContentsFollower : OVZoomViewDelegate
{
    void zoomViewDidUpdateContentsRect(OVZoomView* view, const Rect& rect, bool) override
    {
        pf::Transaction::Scope scope(true);
        view->zoomLayer()->setContentsRect(rect);
        view->contentLayer()->setContentsRect(rect);
    }
    void zoomViewDidChangeCursorState(OVZoomView*, int) override {}
    void drawSenderBrushDownAtPoint(OVDrawSender*, Point) override {}
    void drawSenderBrushDraggedAtPoint(OVDrawSender*, Point) override {}
    void drawSenderBrushUpAtPoint(OVDrawSender*, Point) override {}
};

void BM_CanvasFramePanning(benchmark::State& state)
{
    pf::View window(Rect(0, 0, kCanvas.width(), kCanvas.height()));
    auto* zoom = new OVZoomView(window.bounds(), [] { return std::make_shared<OVFrameLayer>(); });
    window.addSubview(zoom);
    ContentsFollower follower;
    zoom->setDelegate(&follower);
    zoom->setMargin(pf::Size(9, 9));
    zoom->zoomLayer()->setContents(preview());
    zoom->contentLayer()->setContents(overlay());
    zoom->setImageSize(pf::Size(4000, 3000));
    zoom->setZoomFactor(0.3);
    QImage target(kCanvas, QImage::Format_ARGB32_Premultiplied);
    int step = 0;
    for (auto _ : state) {
        // Panning across the middle of the photo, as the wheel does, a little further each frame.
        const double t = (step++ % 60) / 60.0;
        zoom->setScrollCenter(Point(0.3 + 0.4 * t, 0.4 + 0.2 * std::sin(t * 6.283)));
        target.fill(Qt::transparent);
        QPainter painter(&target);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
        painter.translate(0, kCanvas.height());
        painter.scale(1, -1);
        pf::LayerRenderer::render(*zoom->layer(), painter, 0);
        benchmark::DoNotOptimize(target.constBits());
    }
}
BENCHMARK(BM_CanvasFramePanning)->Unit(benchmark::kMillisecond);

// The same pictures drawn with QPainter: the visible part of the preview and of the overlay scaled into
// the photo's rectangle, the paper band around it and the four shadow gradients.
void BM_CanvasFramePlainQPainter(benchmark::State& state)
{
    const QImage photo = preview(), painted = overlay();
    const QImage paper = pf::NamedImage::image(QStringLiteral("Paper.jpg"));
    const QRectF frame(9, 9, kCanvas.width() - 18, kCanvas.height() - 18);
    QImage target(kCanvas, QImage::Format_ARGB32_Premultiplied);
    int step = 0;
    for (auto _ : state) {
        const double t = (step++ % 60) / 60.0;
        const QRectF source(photo.width() * (0.1 + 0.4 * t), photo.height() * (0.2 + 0.1 * t),
                            photo.width() * 0.35, photo.height() * 0.35);
        target.fill(Qt::transparent);
        QPainter painter(&target);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
        painter.drawImage(frame, photo, source);
        painter.drawImage(frame, painted, source);
        QPainterPath band;
        band.setFillRule(Qt::OddEvenFill);
        band.addRect(QRectF(QPointF(), QSizeF(kCanvas)));
        band.addRect(frame);
        painter.fillPath(band, QBrush(paper));
        // Each side's shadow: dark at the canvas's edge, gone 20 points in.
        const QLineF sides[] = {{frame.left(), frame.top(), frame.left(), frame.top() + 20},
                                {frame.left(), frame.top(), frame.left() + 20, frame.top()},
                                {frame.left(), frame.bottom(), frame.left(), frame.bottom() - 20},
                                {frame.right(), frame.top(), frame.right() - 20, frame.top()}};
        for (const QLineF& side : sides) {
            QLinearGradient shade(side.p1(), side.p2());
            shade.setColorAt(0, QColor(0, 0, 0, 140));
            shade.setColorAt(1, QColor(0, 0, 0, 0));
            const QRectF edge = side.dx() == 0
                                    ? QRectF(frame.left(), std::min(side.y1(), side.y2()), frame.width(), 20)
                                    : QRectF(std::min(side.x1(), side.x2()), frame.top(), 20, frame.height());
            painter.fillRect(edge, shade);
        }
        benchmark::DoNotOptimize(target.constBits());
    }
}
BENCHMARK(BM_CanvasFramePlainQPainter)->Unit(benchmark::kMillisecond);

struct WideArea : GMSettingsDelegate
{
    void settingsControllerDidChangeBrush(GMSettingsController*,
                                          const std::optional<QCursor>& cursor) override
    {
        benchmark::DoNotOptimize(cursor);
    }
    void settingsControllerDidChangeSettings(GMSettingsController*, const QVariantMap&, int, const QString&,
                                             bool) override
    {}
    void settingsControllerHideDrawLayer(GMSettingsController*, bool) override {}
    Rect drawingArea() const override { return Rect(0, 0, 1000, 800); }
};

// A step of Command + scroll sideways: the smoothness changes and the 500-point cursor with its gradient
// is drawn again and made into a cursor.
void BM_BrushCursorSmoothnessStep(benchmark::State& state)
{
    pf::LogCapture quiet; // an effect without filters says so
    auto chain = std::make_shared<PhotoToolChain>(
        pf::Image::constantColor(pf::Color(0.5, 0.5, 0.5)).imageByCroppingToRect(Rect(0, 0, 64, 48)));
    chain->insertPhotoToolWithBlueprint(
        std::make_shared<GMEffectBlueprint>(
            QVariantMap{{"name", "Paint"},
                        {"displayName", "Paint"},
                        {"brush", QVariantMap{{"brushTypes", "brush,eraser"}}},
                        {"settings", QVariantMap{{"intensity", QVariantMap{{"CIAttributeDefault", 1.0}}}}}}),
        std::nullopt, 0);
    WideArea area;
    GMSettingsController panel;
    panel.setToolChain(chain);
    panel.setDelegate(&area);
    panel.view();
    panel.showPhotoTool(chain->selectedPhotoTool());
    panel.setToolState(1);
    // v x v x 1000 x 0.6 + 1 = 500 points.
    panel.brushSizeSlider()->setValue(std::sqrt(499.0 / 600.0));
    if (std::abs(panel.calculateBrushSize() - 500) > 1e-6)
        state.SkipWithError("the cursor is not 500 points wide");
    double delta = 0.01;
    for (auto _ : state) {
        panel.setBrushSmoothnessDelta(delta);
        delta = -delta;
    }
}
BENCHMARK(BM_BrushCursorSmoothnessStep)->Unit(benchmark::kMillisecond);

void BM_BrushCursorPlainGradientDisc(benchmark::State& state)
{
    for (auto _ : state) {
        QImage image(500, 500, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        QRadialGradient gradient(QPointF(250, 250), 500 / std::sqrt(2.0));
        gradient.setColorAt(0, Qt::gray);
        gradient.setColorAt(0.4, Qt::gray);
        gradient.setColorAt(0.715, Qt::transparent);
        painter.setPen(Qt::NoPen);
        painter.setBrush(gradient);
        painter.drawEllipse(QRectF(0, 0, 500, 500));
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_BrushCursorPlainGradientDisc)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return runBenchmarksOffscreenAsAsked<QApplication>(argc, argv);
}
