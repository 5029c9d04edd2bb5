// The toolkit's drawing: a hovered skinned button whose title has a blurred shadow (the first draw and
// each redraw after it), beside a Qt push button with a drop-shadow effect; and an image view showing a
// 6000 x 4000 engine image in 300 x 200 (the first draw renders it, redraws reuse the rendering), beside
// OpenCV's area reduction of the same pixels.

#include "Classes/Framework/Toolkit/OVButton.h"
#include "Classes/Framework/Toolkit/OVImageView.h"
#include "Platform/Image/Image.h"
#include "bench/BenchRun.h"
#include "bench/WidgetBenchSupport.h"

#include <QApplication>
#include <QGraphicsDropShadowEffect>
#include <QImage>
#include <QPainter>
#include <QPushButton>
#include <benchmark/benchmark.h>

#ifdef GLIMORA_HAVE_OPENCV
#include <opencv2/imgproc.hpp>
#endif

namespace {

using widgetBench::canvasFor;
using widgetBench::draw;
using widgetBench::redraw;

OVButton* hoveredButton()
{
    auto* button = new OVButton(pf::Rect(0, 0, 120, 22));
    button->setName(QStringLiteral("DefaultStyle"));
    button->setTitle(QStringLiteral("Apply the effect"));
    button->setTextShadowName(QStringLiteral("GlowButtonOff"));
    button->setButtonState(OVButton::Hover); // the hover shadow blurs 5 points
    return button;
}

void BM_HoveredButton_FirstDraw(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        std::unique_ptr<OVButton> button(hoveredButton());
        QImage target = canvasFor(*button);
        state.ResumeTiming();
        draw(*button, target);
    }
}
BENCHMARK(BM_HoveredButton_FirstDraw)->Unit(benchmark::kMillisecond);

void BM_HoveredButton_Redraw(benchmark::State& state)
{
    std::unique_ptr<OVButton> button(hoveredButton());
    redraw(state, *button);
}
BENCHMARK(BM_HoveredButton_Redraw)->Unit(benchmark::kMicrosecond);

void BM_HoveredButton_QtDropShadow(benchmark::State& state)
{
    QPushButton button(QStringLiteral("Apply the effect"));
    button.resize(120, 22);
    auto* shadow = new QGraphicsDropShadowEffect(&button);
    shadow->setBlurRadius(5);
    shadow->setOffset(0, 0);
    shadow->setColor(QColor(115, 191, 255, 230));
    button.setGraphicsEffect(shadow);
    redraw(state, button);
}
BENCHMARK(BM_HoveredButton_QtDropShadow)->Unit(benchmark::kMicrosecond);

// A photo-like 6000 x 4000 picture: smooth colour with fine detail.
const QImage& largePicture()
{
    static const QImage picture = [] {
        QImage image(6000, 4000, QImage::Format_RGBA8888_Premultiplied);
        for (int y = 0; y < image.height(); ++y) {
            uchar* row = image.scanLine(y);
            for (int x = 0; x < image.width(); ++x) {
                row[4 * x] = uchar((x / 24) % 256);
                row[4 * x + 1] = uchar((y / 16) % 256);
                row[4 * x + 2] = uchar(((x ^ y) & 0x3f) + 96);
                row[4 * x + 3] = 255;
            }
        }
        return image;
    }();
    return picture;
}

void BM_ImageView_FirstDraw(benchmark::State& state)
{
    OVImageView view(pf::Rect(0, 0, 300, 200));
    QImage target = canvasFor(view);
    for (auto _ : state) {
        state.PauseTiming();
        // A new engine image each time: nothing of it is cached yet.
        view.setCIImage(pf::Image::fromQImage(largePicture()));
        state.ResumeTiming();
        draw(view, target);
    }
}
BENCHMARK(BM_ImageView_FirstDraw)->Unit(benchmark::kMillisecond);

void BM_ImageView_Redraw(benchmark::State& state)
{
    OVImageView view(pf::Rect(0, 0, 300, 200));
    view.setCIImage(pf::Image::fromQImage(largePicture()));
    redraw(state, view);
}
BENCHMARK(BM_ImageView_Redraw)->Unit(benchmark::kMicrosecond);

#ifdef GLIMORA_HAVE_OPENCV
// What a program could do instead: reduce the pixels with OpenCV's area averaging, then draw them.
void BM_ImageView_OpenCVAreaReduction(benchmark::State& state)
{
    const QImage& picture = largePicture();
    const cv::Mat source(picture.height(), picture.width(), CV_8UC4, const_cast<uchar*>(picture.constBits()),
                         size_t(picture.bytesPerLine()));
    QImage target(600, 400, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        cv::Mat reduced;
        cv::resize(source, reduced, cv::Size(600, 400), 0, 0, cv::INTER_AREA);
        const QImage wrapped(reduced.data, reduced.cols, reduced.rows, int(reduced.step),
                             QImage::Format_RGBA8888_Premultiplied);
        QPainter painter(&target);
        painter.drawImage(QPoint(), wrapped);
    }
}
BENCHMARK(BM_ImageView_OpenCVAreaReduction)->Unit(benchmark::kMillisecond);
#endif

} // namespace

int main(int argc, char** argv)
{
    return runBenchmarksOffscreenAsAsked<QApplication>(argc, argv);
}
