// The toolkit's grids and lists at work: an immediate layout that moves 1,000 grid items in five
// sections (with the repaint of the shown window it causes), one animation frame of an animated relayout that
// moves 300 items, one layout pass that gives 200 list entries new frames, and a 1600 x 40 tool bar of three
// shades with two notches drawn at two pixels per point. And the bulk changes of 10,000 items, each to be
// done well within a second: a stack pile filled and re-sorted in one replacement each (and filled one item
// at a time, 2,000 and 10,000 items), a list emptied, and a grid section removed with its fade to the end.
// Medians of five runs; the context header gives the load average.

#include "Classes/Framework/Toolkit/OVGridItem.h"
#include "Classes/Framework/Toolkit/OVGridViewController.h"
#include "Classes/Framework/Toolkit/OVListEntryView.h"
#include "Classes/Framework/Toolkit/OVListView.h"
#include "Classes/Framework/Toolkit/OVStackView.h"
#include "Classes/Framework/Toolkit/OVToolBarView.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/UndoManager.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/UI/ScrollView.h"
#include "Platform/UI/SteppedClock.h"
#include "Platform/UI/Window.h"
#include "bench/BenchMain.h"
#include "bench/BenchStatistics.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <memory>
#include <string>
#include <vector>

namespace {

QImage thumbnail(int i)
{
    QImage image(64, 40 + i % 30, QImage::Format_RGB32);
    image.fill(QColor(40 + i % 200, 90, 140));
    return image;
}

// A grid in a window, its sections filled.
struct Grid
{
    pf::Window window{pf::Rect(0, 0, 1200, 800)};
    OVGridViewController grid;

    explicit Grid(int sections, int perSection)
    {
        grid.setGridParentView(window.contentView());
        grid.view()->setAutoresizingMask(pf::View::WidthSizable | pf::View::HeightSizable);
        grid.setIconWidth(120);
        for (int s = 0; s < sections; ++s) {
            grid.addSectionWithSettings(4 | 16);
            for (int i = 0; i < perSection; ++i)
                grid.addImage(thumbnail(i), QString(), s * 10000 + i, i, unsigned(s));
        }
        grid.setNeedsLayout(false);
    }
};

// The layout and the repaint of the shown window it causes.
void BM_Grid_InstantLayout_1000Items_5Sections(benchmark::State& state)
{
    pf::SteppedClock steps;
    Grid g(5, 200);
    g.window.show();
    QApplication::processEvents();
    bool wide = false;
    for (auto _ : state) {
        // Another column count each time, so that every item moves.
        state.PauseTiming();
        wide = !wide;
        g.grid.scrollView()->setFrameSize(pf::Size(wide ? 1200 : 900, 800));
        QApplication::processEvents();
        state.ResumeTiming();
        g.grid.refreshLayout(OVGridViewController::Instant);
        g.window.repaint();
    }
}
BENCHMARK(BM_Grid_InstantLayout_1000Items_5Sections)->Unit(benchmark::kMillisecond);

// One frame of the animation that follows a change of the column count, with 300 items on screen.
void BM_Grid_AnimatedRelayout_OneFrame_300Items(benchmark::State& state)
{
    pf::SteppedClock steps;
    Grid g(1, 300);
    bool wide = false;
    for (auto _ : state) {
        state.PauseTiming();
        steps.advance(1); // the previous animation ends
        wide = !wide;
        g.grid.scrollView()->setFrameSize(pf::Size(wide ? 1200 : 900, 800));
        g.grid.refreshLayout(OVGridViewController::Animated);
        state.ResumeTiming();
        steps.advance(1.0 / 60);
    }
}
BENCHMARK(BM_Grid_AnimatedRelayout_OneFrame_300Items)->Unit(benchmark::kMillisecond);

void BM_List_Pass_200Entries(benchmark::State& state)
{
    pf::SteppedClock steps;
    pf::Window window(pf::Rect(0, 0, 400, 800));
    auto* list = new OVListView(pf::Rect(0, 0, 400, 800));
    window.contentView()->addSubview(list);
    for (int i = 0; i < 200; ++i)
        list->addListEntry(new OVListEntryView(0));
    steps.advance(1);
    bool wide = false;
    for (auto _ : state) {
        // Another width each time, so that every entry gets a new frame.
        state.PauseTiming();
        wide = !wide;
        list->setFrameSize(pf::Size(wide ? 400 : 380, list->frame().height()));
        state.ResumeTiming();
        list->updateListLayout(OVListView::LayOutNow);
        state.PauseTiming();
        steps.advance(0.1); // the pass's completion
        state.ResumeTiming();
    }
}
BENCHMARK(BM_List_Pass_200Entries)->Unit(benchmark::kMillisecond);

// Bulk changes of 10,000 items ---------------------------------------------------------------------

constexpr int bulk = 10000;

void noteLoad(benchmark::State& state)
{
    state.counters["load1"] = bench::loadAverage();
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

// A pile of 10,000 new items, and then the same items again in the reverse order.
void BM_Stack_Replace_10000Items(benchmark::State& state)
{
    pf::SteppedClock steps;
    pf::Window window(pf::Rect(0, 0, 400, 400));
    auto* stack = new OVStackView(pf::Rect(0, 0, 400, 400));
    window.contentView()->addSubview(stack);
    std::vector<OVGridItem*> items = gridItems(bulk);
    const bool resort = state.range(0) == 1;
    if (resort)
        stack->instantReplaceGridItems(items);
    std::reverse(items.begin(), items.end());
    for (auto _ : state) {
        stack->instantReplaceGridItems(items);
        benchmark::DoNotOptimize(stack->neededHeight());
    }
    steps.advance(1);
    noteLoad(state);
}
BENCHMARK(BM_Stack_Replace_10000Items)->Arg(0)->Arg(1)->ArgName("resort")->Apply(fiveSingleRuns);

// The same pile built one item at a time, all in one turn of the event loop, and read once it is built
// (what is read is the laid-out pile). Every item changes the jitter of those under it.
void addOneByOne(benchmark::State& state, int count)
{
    pf::SteppedClock steps;
    pf::Window window(pf::Rect(0, 0, 400, 400));
    auto* stack = new OVStackView(pf::Rect(0, 0, 400, 400));
    window.contentView()->addSubview(stack);
    const std::vector<OVGridItem*> items = gridItems(count);
    for (auto _ : state) {
        for (OVGridItem* item : items)
            stack->addGridItem(item, true);
        benchmark::DoNotOptimize(stack->neededHeight());
    }
    steps.advance(1);
    noteLoad(state);
}

void BM_Stack_AddOneByOne_2000Items(benchmark::State& state)
{
    addOneByOne(state, 2000);
}
BENCHMARK(BM_Stack_AddOneByOne_2000Items)->Apply(fiveSingleRuns);

void BM_Stack_AddOneByOne_10000Items(benchmark::State& state)
{
    addOneByOne(state, bulk);
}
BENCHMARK(BM_Stack_AddOneByOne_10000Items)->Apply(fiveSingleRuns);

// All 10,000 entries removed, each with its undo action, and the one layout pass after.
void BM_List_RemoveAll_10000Entries(benchmark::State& state)
{
    pf::SteppedClock steps;
    pf::Window window(pf::Rect(0, 0, 400, 800));
    auto* list = new OVListView(pf::Rect(0, 0, 400, 800));
    window.contentView()->addSubview(list);
    pf::UndoManager undo;
    list->setUndoManager(&undo);
    for (int i = 0; i < bulk; ++i)
        list->addListEntry(new OVListEntryView(0));
    window.show();
    steps.advance(1);
    QApplication::processEvents();
    list->setSelectedIndex(bulk - 1);
    steps.advance(1);
    for (auto _ : state) {
        list->removeAllListEntries();
        steps.advance(0.1);
    }
    noteLoad(state);
}
BENCHMARK(BM_List_RemoveAll_10000Entries)->Apply(fiveSingleRuns);

// A section of 10,000 items removed, through its fade to the end and the turn that lets the items go.
void BM_Grid_RemoveSection_10000Items(benchmark::State& state)
{
    pf::SteppedClock steps;
    Grid g(0, 0);
    g.grid.addSectionWithSettings(4 | 16);
    const std::vector<OVGridItem*> items = gridItems(bulk);
    g.grid.instantReplaceGridItems(QList<OVGridItem*>(items.begin(), items.end()), 0);
    g.window.show();
    steps.advance(1);
    QApplication::processEvents();
    for (auto _ : state) {
        g.grid.removeSection(0);
        for (int frame = 0; frame < 60; ++frame)
            steps.advance(1.0 / 60);
        steps.advance(1);
    }
    noteLoad(state);
}
BENCHMARK(BM_Grid_RemoveSection_10000Items)->Apply(fiveSingleRuns);

// A bar of three shades (capped and tiled, plain and tiled, a stretched overlay texture) with two notches.
void BM_ToolBar_1600x40_ThreeShades_TwoCuts_2x(benchmark::State& state)
{
    QTemporaryDir dir;
    auto shade = [&](const QString& name, QColor colour) {
        for (int scale : {1, 2}) {
            QImage image(36 * scale, 40 * scale, QImage::Format_ARGB32_Premultiplied);
            image.fill(colour);
            QPainter p(&image);
            p.fillRect(0, 0, 12 * scale, 40 * scale, colour.darker(130));
            p.end();
            image.save(
                dir.filePath(name + (scale == 2 ? QStringLiteral("@2x.png") : QStringLiteral(".png"))));
        }
    };
    shade(QStringLiteral("BAR-S#001#Base#12-R-8"), QColor(70, 74, 80));
    shade(QStringLiteral("BAR-S#002#Sheen#R"), QColor(255, 255, 255, 40));
    shade(QStringLiteral("BAR-T#003#Grain#4-S-4"), QColor(128, 128, 128, 90));
    QFile plist(dir.filePath(QStringLiteral("ToolBar.plist")));
    plist.open(QIODevice::WriteOnly);
    plist.write(R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict><key>Default</key><array>
<dict><key>Image</key><string>Base</string></dict>
<dict><key>Image</key><string>Sheen</string></dict>
<dict><key>Image</key><string>Grain</string><key>BlendMode</key><string>overlay</string></dict>
</array></dict></plist>)");
    plist.close();
    pf::Bundle bundle(dir.path());
    pf::UserDefaults::standard().removeObject(QString::fromLatin1(OVToolBarView::currentBarKey));
    OVToolBarView bar(pf::Rect(0, 0, 1600, 40), bundle);
    pf::View left(pf::Rect(400, 4, 96, 32)), right(pf::Rect(1100, 4, 96, 32));
    bar.registerBarButton(&left);
    bar.registerBarButton(&right);
    QImage target(3200, 80, QImage::Format_ARGB32_Premultiplied);
    target.setDevicePixelRatio(2);
    for (auto _ : state) {
        target.fill(Qt::transparent);
        bar.render(&target);
    }
    bar.removeBarButton(&left);
    bar.removeBarButton(&right);
}
BENCHMARK(BM_ToolBar_1600x40_ThreeShades_TwoCuts_2x)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    return runBenchmarksOffscreen(argc, argv);
}
