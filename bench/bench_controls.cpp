// The toolkit's controls as they redraw: the gradient picker with 100 stops at 210 x 27 points at 2x on
// each pointer move over its strip (the hover line moves), a label with a blurred text shadow that
// shrinks its text to fit (after the first draw), and a simple colour well. Medians of five runs; the
// context header gives the load average.

#include "Classes/Framework/Toolkit/OVGradientPicker.h"
#include "Classes/Framework/Toolkit/OVLabel.h"
#include "Classes/Framework/Toolkit/OVSimpleColorWell.h"
#include "Platform/UI/Event.h"
#include "bench/BenchMain.h"
#include "bench/WidgetBenchSupport.h"

#include <QApplication>
#include <QImage>
#include <benchmark/benchmark.h>
#include <vector>

namespace {

using widgetBench::canvasFor;
using widgetBench::draw;
using widgetBench::redraw;

void BM_GradientPicker_PointerMove_100Stops(benchmark::State& state)
{
    OVGradientPicker picker(pf::Rect(0, 0, 210, 27));
    std::vector<pf::Gradient::Stop> stops;
    for (int i = 0; i < 100; ++i)
        stops.push_back({i / 99.0, pf::Color(i % 3 == 0, i % 3 == 1, i % 3 == 2, 1)});
    picker.setGradient(pf::Gradient(stops));
    picker.setSelectedIndex(50);
    QImage target = canvasFor(picker);
    draw(picker, target);
    int step = 0;
    for (auto _ : state) {
        const double x = 12 + (step++ % 180);
        picker.mouseMoved(pf::Event::mouseEvent(pf::EventType::MouseMoved, pf::Point(x, 14), 0, 0, nullptr));
        draw(picker, target);
    }
}
BENCHMARK(BM_GradientPicker_PointerMove_100Stops)->Unit(benchmark::kMicrosecond);

void BM_Label_ShadowShrink_Redraw(benchmark::State& state)
{
    OVLabel label(pf::Rect(0, 0, 160, 22));
    label.setFont(pf::systemFont(13));
    label.setStringValue(QStringLiteral("Highlights and shadows of the skin"));
    label.setTextShadowName(QStringLiteral("GlowButtonOff"));
    label.setShrinkToFit(true);
    redraw(state, label);
}
BENCHMARK(BM_Label_ShadowShrink_Redraw)->Unit(benchmark::kMicrosecond);

void BM_Label_ShadowShrink_FirstDraw(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        auto label = std::make_unique<OVLabel>(pf::Rect(0, 0, 160, 22));
        label->setFont(pf::systemFont(13));
        label->setStringValue(QStringLiteral("Highlights and shadows of the skin"));
        label->setTextShadowName(QStringLiteral("GlowButtonOff"));
        label->setShrinkToFit(true);
        QImage target = canvasFor(*label);
        state.ResumeTiming();
        draw(*label, target);
    }
}
BENCHMARK(BM_Label_ShadowShrink_FirstDraw)->Unit(benchmark::kMicrosecond);

void BM_SimpleColorWell_Redraw(benchmark::State& state)
{
    OVSimpleColorWell well(pf::Rect(0, 0, 24, 24));
    well.setColor(pf::PaintColor::calibratedRGB(0.3, 0.8, 0.45, 0.5));
    QImage target = canvasFor(well);
    draw(well, target);
    bool hovered = false;
    for (auto _ : state) {
        well.setMouseDown(false, hovered = !hovered);
        draw(well, target);
    }
}
BENCHMARK(BM_SimpleColorWell_Redraw)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    return runBenchmarksOffscreen(argc, argv);
}
