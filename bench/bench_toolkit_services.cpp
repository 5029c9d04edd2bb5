// The toolkit's services on the sizes they meet: a 1600 x 1000 window's own screenshot taken while an
// overlay (the loupe) is carried over it; truncating 2,000 characters to 200 points by bisection, beside
// dropping one character at a time; reloading a dropped 6000 x 4000 JPEG from a cached image's disk
// copy, beside QImageReader reading the same file.

#include "Classes/Framework/Toolkit/AttributedStringORVExtension.h"
#include "Classes/Framework/Toolkit/OVCachedImage.h"
#include "Classes/Framework/Toolkit/WindowORVExtension.h"
#include "Platform/UI/AttributedString.h"
#include "Platform/UI/Drawing.h"
#include "Platform/UI/View.h"
#include "Platform/UI/Window.h"
#include "bench/BenchRun.h"

#include <QApplication>
#include <QImageReader>
#include <QPainter>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

class Picture : public pf::View
{
public:
    Picture(const pf::Rect& frame, QImage image) : View(frame), m_image(std::move(image)) {}
    void drawRect(QPainter& painter, const pf::Rect&) override { pf::drawImage(painter, m_image, bounds()); }

private:
    QImage m_image;
};

QImage portrait()
{
    static const QImage image(QStringLiteral(GLIMORA_TESTDATA_DIR "/portrait-512.png"));
    return image;
}

void BM_WindowScreenshot_1600x1000(benchmark::State& state)
{
    pf::Window window(pf::Rect(0, 0, 1600, 1000));
    window.contentView()->addSubview(new Picture(pf::Rect(0, 0, 1600, 1000), portrait()));
    auto* loupe = new pf::Window(pf::Rect(100, 100, 240, 240), pf::Window::Borderless);
    window.addChildWindow(loupe);
    window.show();
    QApplication::processEvents();
    int step = 0;
    for (auto _ : state) {
        loupe->setFrameOrigin(pf::Point(100 + step % 1200, 100 + step % 600));
        step += 7;
        const QImage shot = WindowORVExtension::newCGImageScreenshot(window);
        benchmark::DoNotOptimize(shot.constBits());
    }
}
BENCHMARK(BM_WindowScreenshot_1600x1000)->Unit(benchmark::kMillisecond);

pf::AttributedString longText()
{
    QString text;
    while (text.size() < 2000)
        text += QStringLiteral("Soften the skin, brighten the eyes and keep every pore. ");
    return pf::AttributedString(text.left(2000), {pf::systemFont(13), Qt::black});
}

void BM_Truncate2000To200(benchmark::State& state)
{
    const pf::AttributedString text = longText();
    for (auto _ : state) {
        const pf::AttributedString cut = AttributedStringORVExtension::truncatedStringWithWidth(text, 200);
        benchmark::DoNotOptimize(cut.length());
    }
}
BENCHMARK(BM_Truncate2000To200)->Unit(benchmark::kMillisecond);

// Dropping one character at a time from the end, as the rule reads.
void BM_Truncate2000To200_Stepwise(benchmark::State& state)
{
    const QString text = longText().string();
    for (auto _ : state) {
        QString copy = text.chopped(2) + QStringLiteral("\u2026");
        while (pf::AttributedString(copy, {pf::systemFont(13), Qt::black}).size().width > 200 &&
               copy.size() > 1)
            copy.remove(copy.size() - 2, 1);
        benchmark::DoNotOptimize(copy.size());
    }
}
BENCHMARK(BM_Truncate2000To200_Stepwise)->Unit(benchmark::kMillisecond)->Iterations(3);

const QString& largeJpeg()
{
    static QTemporaryDir dir;
    static const QString path = [] {
        const QString file = dir.filePath(QStringLiteral("large.jpg"));
        portrait().scaled(6000, 4000, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).save(file, "JPEG", 92);
        return file;
    }();
    return path;
}

void BM_CachedImageReload_6000x4000(benchmark::State& state)
{
    auto cached = OVCachedImage::cachedImageFile(largeJpeg(), OVCachedImage::NeverDrop);
    for (auto _ : state) {
        state.PauseTiming();
        cached->cacheTimed();
        state.ResumeTiming();
        const QImage image = cached->nsImage();
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_CachedImageReload_6000x4000)->Unit(benchmark::kMillisecond);

void BM_QImageReader_6000x4000(benchmark::State& state)
{
    const QString path = largeJpeg();
    for (auto _ : state) {
        const QImage image = QImageReader(path).read();
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_QImageReader_6000x4000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return runBenchmarksOffscreenAsAsked<QApplication>(argc, argv);
}
