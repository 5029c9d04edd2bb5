// How the toolkit's bulk work grows with the number of characters or items. Each figure is to stay well
// under a second at 10,000 and to grow no faster than the count (each row beside the one of half its count):
//
// - a text field of 10,000 to 1,000,000 characters with one letter written right to left, repainted (its
//   text was laid out at the first drawing; a repaint happens on every hover or focus change);
// - a grid section replaced at once by 2,500 to 10,000 new items (instantReplaceGridItems), and by
//   100,000 (ten seconds at most);
// - a list filled one entry at a time with 2,500 to 10,000 entries, and the one layout pass after;
// - the first drawing of a stack view piling 2,500 to 10,000 items.
//
// Medians of five runs; every row carries the load average it was measured under ("load1") and its
// target in milliseconds ("target_ms").

#include "Classes/Framework/Toolkit/OVGridItem.h"
#include "Classes/Framework/Toolkit/OVGridViewController.h"
#include "Classes/Framework/Toolkit/OVListEntryView.h"
#include "Classes/Framework/Toolkit/OVListView.h"
#include "Classes/Framework/Toolkit/OVStackView.h"
#include "Classes/Framework/Toolkit/OVTextField.h"
#include "Platform/UI/ScrollView.h"
#include "Platform/UI/SteppedClock.h"
#include "Platform/UI/Window.h"
#include "bench/BenchMain.h"
#include "bench/BenchStatistics.h"
#include "bench/WidgetBenchSupport.h"

#include <QApplication>
#include <QImage>
#include <benchmark/benchmark.h>
#include <chrono>
#include <vector>

namespace {

// A second at 10,000, and as much less as the count is smaller.
void noteLoadAndTarget(benchmark::State& state, double targetMilliseconds)
{
    state.counters["load1"] = bench::loadAverage();
    state.counters["target_ms"] = targetMilliseconds;
}

QImage thumbnail(int i)
{
    QImage image(64, 40 + i % 30, QImage::Format_RGB32);
    image.fill(QColor(40 + i % 200, 90, 140));
    return image;
}

std::vector<OVGridItem*> gridItems(int count)
{
    std::vector<OVGridItem*> items;
    items.reserve(std::size_t(count));
    for (int i = 0; i < count; ++i)
        items.push_back(
            OVGridItem::gridItemWithImage(thumbnail(i), QString(), QString::number(i), 1 | 2 | 4));
    return items;
}

// One Hebrew letter in the middle of a long Latin text: the line may run right to left somewhere.
void BM_TextField_Repaint_OneRightToLeftLetter(benchmark::State& state)
{
    const int characters = int(state.range(0));
    QString text(characters, QChar(u'a'));
    text[characters / 2] = QChar(0x05D0);
    pf::Window window(pf::Rect(0, 0, 400, 60));
    auto* field = new OVTextField(pf::Rect(10, 10, 300, 22));
    field->setStringValue(text);
    window.contentView()->addSubview(field);
    widgetBench::redraw(state, *field);
    // A repaint costs what shows, however long the text: the same target at every length.
    noteLoadAndTarget(state, 16);
}
BENCHMARK(BM_TextField_Repaint_OneRightToLeftLetter)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_Grid_InstantReplace_NewItems(benchmark::State& state)
{
    const int count = int(state.range(0));
    pf::SteppedClock steps;
    pf::Window window(pf::Rect(0, 0, 1200, 800));
    OVGridViewController grid;
    grid.setGridParentView(window.contentView());
    grid.view()->setAutoresizingMask(pf::View::WidthSizable | pf::View::HeightSizable);
    grid.setIconWidth(120);
    grid.addSectionWithSettings(4 | 16);
    for (auto _ : state) {
        state.PauseTiming();
        const std::vector<OVGridItem*> items = gridItems(count);
        state.ResumeTiming();
        grid.instantReplaceGridItems(QList<OVGridItem*>(items.begin(), items.end()), 0);
        state.PauseTiming();
        steps.advance(1); // the items replaced go
        state.ResumeTiming();
    }
    noteLoadAndTarget(state, 1000.0 * count / 10000);
}
BENCHMARK(BM_Grid_InstantReplace_NewItems)
    ->Arg(2500)
    ->Arg(5000)
    ->Arg(10000)
    ->Arg(100000)
    ->Apply(fiveSingleRuns);

void BM_List_AddOneByOne(benchmark::State& state)
{
    const int count = int(state.range(0));
    pf::SteppedClock steps;
    pf::Window window(pf::Rect(0, 0, 400, 800));
    for (auto _ : state) {
        state.PauseTiming();
        auto* list = new OVListView(pf::Rect(0, 0, 400, 800));
        window.contentView()->addSubview(list);
        std::vector<OVListEntryView*> entries;
        for (int i = 0; i < count; ++i)
            entries.push_back(new OVListEntryView(0));
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        for (OVListEntryView* entry : entries)
            list->addListEntry(entry);
        const auto added = std::chrono::steady_clock::now();
        steps.advance(0.1); // the one layout pass, and its animation's first frames
        state.counters["adding_ms"] = bench::milliseconds(added - start);
        state.counters["pass_ms"] = bench::milliseconds(std::chrono::steady_clock::now() - added);
        state.PauseTiming();
        delete list;
        state.ResumeTiming();
    }
    noteLoadAndTarget(state, 1000.0 * count / 10000);
}
BENCHMARK(BM_List_AddOneByOne)->Arg(2500)->Arg(5000)->Arg(10000)->Apply(fiveSingleRuns);

void BM_Stack_FirstDrawing(benchmark::State& state)
{
    const int count = int(state.range(0));
    pf::SteppedClock steps;
    pf::Window window(pf::Rect(0, 0, 400, 400));
    for (auto _ : state) {
        state.PauseTiming();
        auto* stack = new OVStackView(pf::Rect(0, 0, 400, 400));
        stack->setSeed(7);
        window.contentView()->addSubview(stack);
        stack->instantReplaceGridItems(gridItems(count));
        QImage target = widgetBench::canvasFor(*stack);
        state.ResumeTiming();
        widgetBench::draw(*stack, target);
        state.PauseTiming();
        delete stack;
        steps.advance(1);
        state.ResumeTiming();
    }
    noteLoadAndTarget(state, 1000.0 * count / 10000);
}
BENCHMARK(BM_Stack_FirstDrawing)->Arg(2500)->Arg(5000)->Arg(10000)->Apply(fiveSingleRuns);

} // namespace

int main(int argc, char** argv)
{
    return runBenchmarksOffscreen(argc, argv);
}
