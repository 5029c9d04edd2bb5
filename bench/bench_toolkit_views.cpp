// The toolkit's views on the sizes they meet: one frame of a transition of 20 snapshot copies over a
// 1600 x 1000 window (target under 16 ms); a 1200 x 900 rotation view drawing patterned surroundings
// (under 8 ms); hover moves along a resize view's edge (under 0.1 ms each); the text panel's font
// samples for every installed family (reported); a text field holding 100,000 and 1,000,000 characters
// repainted as a hover or a focus change repaints it (a small fraction of a frame), and drawn after its
// text changed (reported). Each figure is the median of five runs, printed with the load average at the
// time, since the machine is shared.

#include "Classes/Framework/Toolkit/OVAnimator.h"
#include "Classes/Framework/Toolkit/OVResizeView.h"
#include "Classes/Framework/Toolkit/OVRotationView.h"
#include "Classes/Framework/Toolkit/OVTextPanel.h"
#include "Platform/UI/Event.h"
#include "Platform/UI/Layer.h"
#include "Platform/UI/LayerHostView.h"
#include "Platform/UI/SteppedClock.h"
#include "Platform/UI/TextField.h"
#include "Platform/UI/Transaction.h"
#include "Platform/UI/View.h"
#include "Platform/UI/Window.h"
#include "Tests/Gallery/PatternedRotation.h"
#include "bench/BenchRun.h"
#include "bench/BenchStatistics.h"

#include <QApplication>
#include <QFile>
#include <QFontDatabase>
#include <benchmark/benchmark.h>
#include <cstdio>

namespace {

using bench::loadAverage;

QImage portrait()
{
    static const QImage image(QStringLiteral(GLIMORA_TESTDATA_DIR "/portrait-512.png"));
    return image;
}

void noteLoad(benchmark::State& state)
{
    state.counters["load1"] = loadAverage();
}

// Times drawing the view at one pixel per point, with the load beside the figure.
void timeSnapshots(benchmark::State& state, pf::View& view)
{
    for (auto _ : state) {
        const QImage frame = view.snapshot(1);
        benchmark::DoNotOptimize(frame.constBits());
    }
    noteLoad(state);
}

// How every figure here is taken: in milliseconds, five repetitions reported as their aggregates.
void fiveRepetitions(benchmark::internal::Benchmark* registered)
{
    registered->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
}

// Twenty tiles moving from four rows into two; the frame drawn halfway through.
void BM_TransitionFrame_20Copies_1600x1000(benchmark::State& state)
{
    pf::SteppedClock clock;
    pf::Window window(pf::Rect(0, 0, 1600, 1000));
    auto* host = new pf::LayerHostView(pf::Rect(0, 0, 1600, 1000));
    window.contentView()->addSubview(host);
    std::vector<std::shared_ptr<pf::Layer>> tiles;
    {
        const pf::Transaction::Scope atOnce(true);
        for (int i = 0; i < 20; ++i) {
            auto tile = pf::Layer::create();
            tile->setFrame(pf::Rect(40 + (i % 5) * 310, 40 + (i / 5) * 240, 280, 210));
            tile->setContents(portrait());
            host->layer()->addSublayer(tile);
            tiles.push_back(tile);
        }
    }
    window.show();
    QApplication::processEvents();
    auto animator = OVAnimator::create();
    animator->setHideLayers(tiles);
    animator->recordStartLayers(tiles, host);
    OVAnimator* recorder = animator.get();
    animator->animateWithEndStateBlock(
        [&] {
            const pf::Transaction::Scope atOnce(true);
            for (int i = 0; i < 20; ++i)
                tiles[size_t(i)]->setFrame(pf::Rect(20 + (i % 10) * 158, 300 + (i / 10) * 200, 150, 112));
            recorder->recordEndLayers(tiles, host);
        },
        [] {});
    for (double step : {0.0, 0.0, 0.5}) {
        clock.advance(step);
        QApplication::processEvents();
    }
    timeSnapshots(state, *window.contentView());
    clock.advance(1);
    QApplication::processEvents();
}
BENCHMARK(BM_TransitionFrame_20Copies_1600x1000)->Apply(fiveRepetitions);

void BM_RotationViewPatterned_1200x900(benchmark::State& state)
{
    pf::Window window(pf::Rect(0, 0, 1200, 900));
    auto* rotation = new OVRotationView(pf::Rect(0, 0, 1200, 900));
    GalleryShots::showPatternedSurroundings(*rotation);
    window.contentView()->addSubview(rotation);
    window.show();
    QApplication::processEvents();
    timeSnapshots(state, *rotation);
}
BENCHMARK(BM_RotationViewPatterned_1200x900)->Apply(fiveRepetitions);

// 1,000 moves along the right edge; the figure is per move.
void BM_ResizeEdgeHover_PerMove(benchmark::State& state)
{
    pf::Window window(pf::Rect(0, 0, 800, 600));
    auto* resize = new OVResizeView(pf::Rect(100, 100, 500, 400));
    window.contentView()->addSubview(resize);
    window.show();
    QApplication::processEvents();
    for (auto _ : state) {
        for (int i = 0; i < 1000; ++i) {
            const pf::Point at = resize->convertPointToView(pf::Point(497, 20 + (i % 360)), nullptr);
            resize->deliverMouseEvent(pf::Event::mouseEvent(pf::EventType::MouseMoved, at, 0, 0, &window, 0));
        }
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * 1000);
    state.counters["per_move"] = benchmark::Counter(
        double(state.iterations()) * 1000, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    noteLoad(state);
}
BENCHMARK(BM_ResizeEdgeHover_PerMove)->Apply(fiveRepetitions);

void BM_FontSamples_AllFamilies(benchmark::State& state)
{
    const QStringList families = QFontDatabase::families();
    OVTextPanel& panel = OVTextPanel::sharedTextPanel();
    for (auto _ : state) {
        panel.setAvailableFonts(families);
        benchmark::DoNotOptimize(panel.samples().size());
    }
    state.counters["families"] = double(families.size());
    noteLoad(state);
}
BENCHMARK(BM_FontSamples_AllFamilies)->Apply(fiveRepetitions);

// A pasted text of many lines of words, as long as asked.
QString longText(int64_t length)
{
    const QString line = QStringLiteral("A sentence of a pasted text that runs on and on, ");
    QString text;
    text.reserve(qsizetype(length));
    for (int i = 0; text.size() < length; ++i)
        text += i % 8 == 7 ? line + QChar('\n') : line;
    text.truncate(qsizetype(length));
    return text;
}

// Both lengths, with each line-breaking mode a field may have (wrapping, clipping, truncating at the end).
void textFieldCases(benchmark::internal::Benchmark* registered)
{
    using LineBreak = pf::AttributedString::LineBreak;
    registered
        ->ArgsProduct({{100000, 1000000},
                       {int(LineBreak::WordWrap), int(LineBreak::Clip), int(LineBreak::TruncateTail)}})
        ->ArgNames({"characters", "lineBreak"});
    fiveRepetitions(registered);
}

// The repaint of a field whose text and width did not change.
void BM_TextFieldRepaint(benchmark::State& state)
{
    pf::TextField field(pf::Rect(0, 0, 300, 40));
    field.setLineBreakMode(pf::AttributedString::LineBreak(state.range(1)));
    field.setStringValue(longText(state.range(0)));
    benchmark::DoNotOptimize(field.snapshot(1).constBits());
    timeSnapshots(state, field);
}
BENCHMARK(BM_TextFieldRepaint)->Apply(textFieldCases);

// The first drawing after the text changed: the only one that lays the text out.
void BM_TextFieldNewText(benchmark::State& state)
{
    pf::TextField field(pf::Rect(0, 0, 300, 40));
    field.setLineBreakMode(pf::AttributedString::LineBreak(state.range(1)));
    const QString texts[] = {longText(state.range(0)), longText(state.range(0) - 1)};
    int turn = 0;
    for (auto _ : state) {
        field.setStringValue(texts[turn++ % 2]);
        benchmark::DoNotOptimize(field.snapshot(1).constBits());
    }
    noteLoad(state);
}
BENCHMARK(BM_TextFieldNewText)->Apply(textFieldCases);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::printf("load average at start: %.2f\n", loadAverage());
    runBenchmarksAsAsked(argc, argv);
    std::printf("load average at end: %.2f\n", loadAverage());
    return 0;
}
