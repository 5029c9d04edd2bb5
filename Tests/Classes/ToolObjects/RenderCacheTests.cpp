#include "ChainTestSupport.h"

#include "Classes/ToolObjects/OVRenderCache.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/Foundation/UndoManager.h"
#include "Platform/Image/RenderContext.h"
#include "Platform/Image/RenderStatistics.h"

#include <QFile>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

using namespace pf;
using namespace chaintest;

namespace {

std::shared_ptr<RenderContext> renderContext()
{
    static auto context = std::make_shared<RenderContext>(QStringLiteral("render cache tests"));
    return context;
}

std::array<float, 4> pixel(const Image& image, int x, int y)
{
    std::array<float, 4> c{};
    auto bitmap = renderContext()->render(image, Rect(x, y, 1, 1), Bitmap::Format::RGBAf);
    if (bitmap)
        bitmap->pixel(0, 0, c.data());
    return c;
}

// A mask: white inside `rect` (in photo pixels), black elsewhere.
OVContentContainerPtr maskOver(const Size& size, const Rect& rect)
{
    auto container = std::make_shared<OVContentContainer>();
    const Image black =
        Image::constantColor(Color(0, 0, 0)).imageByCroppingToRect(Rect(0, 0, size.width, size.height));
    container->imageContainer()->setImage(
        Image::constantColor(Color(1, 1, 1)).imageByCroppingToRect(rect).imageByCompositingOverImage(black));
    return container;
}

// A chain over a photo of that size with `layers` layers, a tint and a grey by turns from the bottom,
// each painted in a full-height band `width` wide that starts `step` further right than the one below.
std::shared_ptr<PhotoToolChain> bandedChain(const Size& size, int layers, double step, double width)
{
    auto chain = std::make_shared<PhotoToolChain>(photo(int(size.width), int(size.height)));
    for (int i = 0; i < layers; ++i) {
        chain->insertPhotoToolWithBlueprint(i % 2 ? grey() : tint(), std::nullopt, i);
        chain->brushPathImageAtIndex(i + 1)->addContentContainer(
            maskOver(size, Rect(i * step, 0, width, size.height)));
    }
    return chain;
}

float luma(const std::array<float, 4>& c)
{
    return 0.2126f * c[0] + 0.7152f * c[1] + 0.0722f * c[2];
}

} // namespace

TEST(OVRenderCache, InvalidatesAsEachActionSays)
{
    auto chain = std::make_shared<PhotoToolChain>(photo(40, 30));
    for (int i = 0; i < 4; ++i)
        chain->insertPhotoToolWithBlueprint(tint(), std::nullopt, i);
    OVRenderCache cache(chain, chain.get(), renderContext());
    EXPECT_FALSE(cache.composedImageToIndex(4).isNull());
    EXPECT_EQ(cache.cachedContentCount(), 5);
    EXPECT_EQ(cache.cachedStackCount(), 5);

    chain->setSettingsForToolAtIndex({{"intensity", 0.9}}, 2);
    EXPECT_EQ(cache.cachedStackCount(), 2);
    EXPECT_FALSE(cache.isContentStale(1));
    EXPECT_TRUE(cache.isContentStale(2));
    EXPECT_TRUE(cache.isContentStale(3)) << "content above a change is made from the changed stack";
    cache.composedImageToIndex(4);

    chain->insertPhotoToolWithBlueprint(grey(), std::nullopt, 1); // lands at 2
    EXPECT_EQ(cache.cachedContentCount(), 6);
    EXPECT_TRUE(cache.isContentStale(2));
    EXPECT_FALSE(cache.isContentStale(1));
    cache.composedImageToIndex(5);

    chain->removePhotoToolAtIndex(2);
    EXPECT_EQ(cache.cachedContentCount(), 5);
    EXPECT_EQ(cache.cachedStackCount(), 2);

    chain->removeAllPhotoTools();
    EXPECT_EQ(cache.cachedContentCount(), 1);
    EXPECT_EQ(cache.cachedStackCount(), 1);

    // Beyond the top: the top's stack and a transparent content, not a failure.
    EXPECT_FALSE(cache.composedImageToIndex(3).isNull());
    EXPECT_EQ(pixel(cache.contentImageForIndex(3), 5, 5)[3], 0.0f);
}

TEST(OVRenderCache, GeometryChangesBelowHalfAPixelKeepTheCaches)
{
    auto chain = std::make_shared<PhotoToolChain>(photo(800, 600));
    OVRenderCache cache(chain, chain.get(), renderContext());
    cache.composedImageToIndex(0);
    cache.setOutputSize(Size(800.2, 599.9));
    EXPECT_EQ(cache.cachedStackCount(), 1);
    cache.setOutputSize(Size(801, 599));
    EXPECT_EQ(cache.cachedStackCount(), 0);
    cache.composedImageToIndex(0);
    cache.setContentsRect(Rect(0.0001, 0, 1, 1));
    EXPECT_EQ(cache.cachedStackCount(), 1);
    cache.fitOutputSizeInside(Size(1024, 1024));
    EXPECT_EQ(cache.outputSize(), Size(1024, 768));
    LogCapture capture;
    cache.setContentsRect(Rect(0, 0, 0.5, 1)); // half the width into the same output: not square
    cache.composedImageToIndex(0);
    EXPECT_TRUE(capture.contains("Warning: Scale is not very precise"));
}

TEST(OVRenderCache, ComposesThePortraitAtPreviewAndFullSizeLikeAReference)
{
    const QString path = QStringLiteral(GLIMORA_TESTDATA_DIR "/portrait-512.png");
    ASSERT_TRUE(QFile::exists(path))
        << "the shared test photos must be beside this checkout, in ../shared/testdata";
    auto chain = std::make_shared<PhotoToolChain>(Image::fromFile(path));
    chain->insertPhotoToolWithBlueprint(tint(), std::nullopt, 0);
    chain->insertPhotoToolWithBlueprint(grey(), std::nullopt, 1);
    const Size size = chain->originalImageSize();
    chain->brushPathImageAtIndex(1)->addContentContainer(maskOver(size, Rect(100, 100, 200, 200)));
    chain->brushPathImageAtIndex(2)->addContentContainer(maskOver(size, Rect(0, 0, 256, 512)));

    // Reference: the tint washes orange at 0.6 inside its mask; the grey layer shows the luma of
    // what lies below inside its mask and leaves it alone outside.
    auto expected = [&](const std::array<float, 4>& photoPixel, bool inTint, bool inGrey) {
        std::array<float, 4> c = photoPixel;
        if (inTint) {
            const std::array<float, 4> orange{1, 0.5f, 0, 1};
            for (int i = 0; i < 4; ++i)
                c[size_t(i)] = c[size_t(i)] * 0.4f + orange[size_t(i)] * 0.6f;
        }
        if (inGrey) {
            const float l = luma(c);
            c = {l, l, l, c[3]};
        }
        return c;
    };

    for (double scale : {2.0, 1.0}) {
        OVRenderCache cache(chain, chain.get(), renderContext());
        cache.setOutputSize(Size(size.width * scale, size.height * scale));
        const Image background = cache.composedImageToIndex(0);
        const Image composed = cache.composedImageToIndex(2);
        ASSERT_FALSE(composed.isNull());
        EXPECT_EQ(composed.extent(), Rect(0, 0, size.width * scale, size.height * scale));
        for (auto [x, y] : {std::pair{150, 150}, {50, 50}, {400, 200}, {200, 450}, {280, 120}}) {
            const int ox = int(x * scale), oy = int(y * scale);
            const auto want =
                expected(pixel(background, ox, oy), x >= 100 && x < 300 && y >= 100 && y < 300, x < 256);
            const auto got = pixel(composed, ox, oy);
            for (int i = 0; i < 4; ++i)
                EXPECT_NEAR(got[size_t(i)], want[size_t(i)], 2.5f / 255)
                    << "scale " << scale << " at " << x << "," << y;
        }
    }
}

TEST(OVRenderCache, FillsOnAnotherThreadNeverStoreAStateTheyWereNotToldAbout)
{
    auto chain = std::make_shared<PhotoToolChain>(photo(96, 64));
    auto undo = std::make_shared<UndoManager>();
    undo->setGroupsByEvent(false);
    chain->insertPhotoToolWithBlueprint(tint(), std::nullopt, 0);
    chain->setUndoManager(undo);
    OVRenderCache cache(chain, chain.get(), std::make_shared<RenderContext>(QStringLiteral("fill thread")));

    std::atomic<bool> stop{false};
    std::atomic<int> fills{0};
    std::thread filler([&] {
        while (!stop.load()) {
            cache.composedImageToIndex(8);
            fills++;
        }
    });
    // The first fill sets the fill thread's context up; on a busy machine that can outlast all the rounds.
    while (fills.load() == 0)
        std::this_thread::yield();
    for (int round = 0; round < 30; ++round) {
        undo->beginUndoGrouping();
        switch (round % 4) {
        case 0:
            chain->insertPhotoToolWithBlueprint(round % 8 ? tint() : grey(), std::nullopt,
                                                chain->numberOfTools() - 1);
            break;
        case 1:
            chain->setSettingsForToolAtIndex({{"intensity", round / 30.0}}, 1);
            break;
        case 2:
            chain->brushPathImageAtIndex(1)->addContentContainer(
                maskOver(Size(96, 64), Rect(0, 0, round, 64)));
            break;
        default:
            if (chain->numberOfTools() > 2)
                chain->removePhotoToolAtIndex(chain->numberOfTools() - 1);
            break;
        }
        undo->endUndoGrouping();
    }
    stop = true;
    filler.join();
    EXPECT_GT(fills.load(), 0);

    // Whatever the fill thread stored must be what a fresh cache computes for the final state.
    OVRenderCache fresh(chain, chain.get(), renderContext());
    const Image a = cache.composedImageToIndex(8);
    const Image b = fresh.composedImageToIndex(8);
    auto pa = renderContext()->render(a, Rect(0, 0, 96, 64), Bitmap::Format::RGBA8);
    auto pb = renderContext()->render(b, Rect(0, 0, 96, 64), Bitmap::Format::RGBA8);
    ASSERT_TRUE(pa && pb);
    EXPECT_EQ(0, std::memcmp(pa->data(), pb->data(), pa->byteCount()));
}

TEST(OVRenderCache, ADelegateMayReenterTheChainAndTheCacheInEveryCallback)
{
    auto chain = std::make_shared<PhotoToolChain>(photo(32, 32));
    OVRenderCache cache(chain, chain.get(), renderContext());
    RecordingDelegate delegate;
    int reentries = 0;
    delegate.reenter = [&] {
        ++reentries;
        cache.composedImageToIndex(chain->numberOfTools() - 1);
        chain->selectedPhotoTool();
        chain->brushPathImageAtIndex(chain->selectionIndex());
    };
    chain->setDelegate(&delegate);
    chain->insertPhotoToolWithBlueprint(tint(), std::nullopt, 0);
    chain->setSettingsForToolAtIndex({{"intensity", 0.2}}, 1);
    chain->brushPathImageAtIndex(1)->addContentContainer(maskOver(Size(32, 32), Rect(0, 0, 8, 8)));
    chain->insertPhotoToolWithBlueprint(grey(), std::nullopt, 1);
    chain->removePhotoToolAtIndex(1);
    chain->removeAllPhotoTools();
    EXPECT_EQ(reentries, delegate.calls.size());
    EXPECT_GE(reentries, 10);
    EXPECT_EQ(cache.cachedStackCount(), 1);
}

TEST(OVRenderCache, RemovingALayerRecomputesTheOnesAboveItLikeAFreshCache)
{
    // The grey layer turns what lies below into luma outside its mask: a layer that slid down keeps
    // nothing made over the layer that was removed.
    struct Case
    {
        const char* name;
        int selection, removed;
    };
    for (const Case& c : {Case{"a middle layer", 4, 2}, Case{"the selected layer", 2, 2},
                          Case{"a layer above the selection", 1, 3}}) {
        auto chain = std::make_shared<PhotoToolChain>(photo(48, 32));
        chain->insertPhotoToolWithBlueprint(grey(), std::nullopt, 0);
        chain->insertPhotoToolWithBlueprint(tint(), std::nullopt, 1);
        chain->insertPhotoToolWithBlueprint(grey(), std::nullopt, 2);
        chain->insertPhotoToolWithBlueprint(tint(), std::nullopt, 3);
        for (int i = 1; i <= 4; ++i)
            chain->brushPathImageAtIndex(i)->addContentContainer(
                maskOver(Size(48, 32), Rect(i * 8, 0, 16, 32)));
        chain->setSelectionIndex(c.selection);
        OVRenderCache cache(chain, chain.get(), renderContext());
        cache.composedImageToIndex(4);
        chain->removePhotoToolAtIndex(c.removed);
        OVRenderCache fresh(chain, chain.get(), renderContext());
        for (int index = 1; index <= 3; ++index) {
            for (bool composed : {false, true}) {
                const Image a =
                    composed ? cache.composedImageToIndex(index) : cache.contentImageForIndex(index);
                const Image b =
                    composed ? fresh.composedImageToIndex(index) : fresh.contentImageForIndex(index);
                auto pa = renderContext()->render(a, Rect(0, 0, 48, 32), Bitmap::Format::RGBA8);
                auto pb = renderContext()->render(b, Rect(0, 0, 48, 32), Bitmap::Format::RGBA8);
                ASSERT_TRUE(pa && pb);
                EXPECT_EQ(0, std::memcmp(pa->data(), pb->data(), pa->byteCount()))
                    << c.name << ", layer " << index << (composed ? " stack" : " content");
            }
        }
    }
}

namespace {

// Layers that each lay black at 5% over the stack below, over a ramp of every 8-bit grey: the top of
// the stack is exact only if every stack below it is carried on at working precision.
class Glazes : public OVRenderSource, public OVRenderCacheDelegate
{
public:
    static constexpr int Layers = 20;
    quint64 version() const override { return 0; }
    Size imageSize() const override { return Size(256, 1); }
    Image backgroundImage() const override
    {
        Bitmap ramp(256, 1, Bitmap::Format::RGBA8);
        for (int x = 0; x < 256; ++x)
            std::memcpy(ramp.mutableData() + 4 * x,
                        std::array<uint8_t, 4>{uint8_t(x), uint8_t(x), uint8_t(x), 255}.data(), 4);
        return Image::fromBitmap(ramp);
    }
    Image contentImageAtIndex(int index, const Image&, const AffineTransform&,
                              const Rect& crop) const override
    {
        return index <= Layers ? Image::constantColor(Color(0, 0, 0)).imageByCroppingToRect(crop) : Image();
    }
    FilterPtr compositingFilterForIndex(int index) const override
    {
        if (index > Layers)
            return nullptr;
        FilterPtr over = Filter::create(QStringLiteral("TestOverFilter"));
        over->setValue(0.05, QStringLiteral("inputIntensity"));
        return over;
    }
    std::shared_ptr<const OVRenderSource> renderSource() const override
    {
        return std::shared_ptr<const OVRenderSource>(std::shared_ptr<const OVRenderSource>(), this);
    }
};

} // namespace

TEST(OVRenderCache, StacksGoOnToTheNextLayerAtWorkingPrecision)
{
    auto glazes = std::make_shared<Glazes>();
    // Filled in one go, one layer at a time as a user adds them, and once for the top only (a save).
    for (auto [stepwise, lean] : {std::pair{false, false}, {true, false}, {false, true}}) {
        OVRenderCache cache(glazes, glazes.get(), renderContext());
        if (lean)
            cache.setRetention(OVRenderCache::Retention::RequestedOnly);
        if (stepwise)
            for (int k = 1; k < Glazes::Layers; ++k)
                cache.composedImageToIndex(k);
        auto top = renderContext()->render(cache.composedImageToIndex(Glazes::Layers), Rect(0, 0, 256, 1),
                                           Bitmap::Format::RGBAf);
        ASSERT_TRUE(top);
        float worst = 0;
        for (int x = 0; x < 256; ++x) {
            float c[4];
            top->pixel(x, 0, c);
            worst = std::max(worst, std::abs(c[0] - float(x / 255.0 * std::pow(0.95, Glazes::Layers))));
        }
        EXPECT_LE(worst * 255, 0.51f) << (stepwise ? "stepwise" : lean ? "top only" : "in one go");
    }
}

TEST(OVRenderCache, KeepingOnlyTheRequestedPictureGivesWhatAFullCacheGives)
{
    auto chain = bandedChain(Size(48, 32), 4, 8, 20);
    OVRenderCache full(chain, chain.get(), renderContext());
    OVRenderCache lean(chain, chain.get(), renderContext());
    lean.setRetention(OVRenderCache::Retention::RequestedOnly);
    // The full cache rounds each layer's content to 8 bits; the lean one never makes it.
    auto expectClose = [&](const Image& a, const Image& b, const std::string& what) {
        auto pa = renderContext()->render(a, Rect(0, 0, 48, 32), Bitmap::Format::RGBAf);
        auto pb = renderContext()->render(b, Rect(0, 0, 48, 32), Bitmap::Format::RGBAf);
        ASSERT_TRUE(pa && pb) << what;
        float worst = 0;
        const auto* fa = reinterpret_cast<const float*>(pa->data());
        const auto* fb = reinterpret_cast<const float*>(pb->data());
        for (size_t i = 0; i < size_t(48 * 32 * 4); ++i)
            worst = std::max(worst, std::abs(fa[i] - fb[i]));
        EXPECT_LE(worst * 255, 1.01f) << what;
    };
    for (int index : {0, 2, 4, 6}) {
        for (bool composed : {true, false}) {
            const std::string what = (composed ? "stack " : "content ") + std::to_string(index);
            expectClose(composed ? lean.composedImageToIndex(index) : lean.contentImageForIndex(index),
                        composed ? full.composedImageToIndex(index) : full.contentImageForIndex(index), what);
        }
    }
    EXPECT_EQ(lean.cachedContentCount(), 0);
    EXPECT_EQ(lean.cachedStackCount(), 0);

    // The kept picture is reused until a change reaches it, and then made afresh.
    const Image kept = lean.composedImageToIndex(3);
    EXPECT_EQ(lean.composedImageToIndex(3), kept);
    chain->setSettingsForToolAtIndex({{"intensity", 0.9}}, 4); // above it
    EXPECT_EQ(lean.composedImageToIndex(3), kept);
    chain->setSettingsForToolAtIndex({{"intensity", 0.9}}, 3);
    const Image changed = lean.composedImageToIndex(3);
    EXPECT_NE(changed, kept);
    expectClose(changed, full.composedImageToIndex(3), "after a change");

    lean.setCancel(true);
    chain->setSettingsForToolAtIndex({{"intensity", 0.3}}, 1);
    EXPECT_TRUE(lean.composedImageToIndex(3).isNull()) << "a cancelled fill gives no picture";
    lean.setCancel(false);
    expectClose(lean.composedImageToIndex(3), full.composedImageToIndex(3), "after a cancelled fill");
}

// A five-layer stack composed once for saving: the kernels that only the next one reads, in place, are
// computed in its pass, so the picture takes fewer passes and stays the same.
TEST(OVRenderCache, AFiveLayerStackTakesFewerPassesWithTheSamePixels)
{
    auto chain = bandedChain(Size(64, 48), 5, 10, 24);
    uint64_t passes[2] = {0, 0};
    std::optional<Bitmap> pixels[2];
    for (bool fused : {false, true}) {
        RenderStatistics::setFusionEnabled(fused);
        // An earlier large render may still have its paths measured in the background, and those
        // passes count too.
        RenderContext::waitForPathMeasures();
        RenderStatistics::resetPasses();
        OVRenderCache cache(chain, chain.get(), renderContext());
        cache.setRetention(OVRenderCache::Retention::RequestedOnly);
        pixels[fused] =
            renderContext()->render(cache.composedImageToIndex(5), Rect(0, 0, 64, 48), Bitmap::Format::RGBA8);
        passes[fused] = RenderStatistics::passes();
    }
    RenderStatistics::setFusionEnabled(true);
    ASSERT_TRUE(pixels[0] && pixels[1]);
    EXPECT_LT(passes[1], passes[0]);
    int worst = 0;
    for (size_t i = 0; i < pixels[0]->byteCount(); ++i)
        worst = std::max(worst, std::abs(int(pixels[0]->data()[i]) - int(pixels[1]->data()[i])));
    EXPECT_LE(worst, 1);
}
