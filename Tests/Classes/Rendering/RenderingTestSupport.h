#pragma once

#include "ChainTestSupport.h"
#include "Classes/Rendering/GMRealTimeRenderer.h"
#include "Classes/Rendering/GMZoomRenderer.h"
#include "Classes/ToolObjects/OVBrushFramework/OVBrushPathImage.h"
#include "Platform/Foundation/SerialQueue.h"
#include "Platform/Image/RenderContext.h"
#include "Platform/UI/Layer.h"
#include "Platform/UI/SteppedClock.h"

#include <QCoreApplication>
#include <array>
#include <cmath>
#include <gtest/gtest.h>
#include <latch>
#include <vector>

namespace renderingtest {

// Lets the render queue finish and the main loop run what it sent back (results, then completions).
inline void settle(GMRealTimeRenderer* renderer)
{
    for (int i = 0; i < 3; ++i) {
        if (renderer)
            renderer->renderQueue()->waitUntilEmpty();
        QCoreApplication::processEvents();
    }
}

// The rendered pixel of an image at a y-up point, premultiplied RGBA.
inline std::array<float, 4> pixelAt(const pf::Image& image, const pf::Point& point)
{
    static pf::RenderContext context(QStringLiteral("rendering tests"));
    std::array<float, 4> rgba{-1, -1, -1, -1};
    if (auto bitmap = context.render(image, pf::Rect(std::floor(point.x), std::floor(point.y), 1, 1),
                                     pf::Bitmap::Format::RGBAf))
        bitmap->pixel(0, 0, rgba.data());
    return rgba;
}

// The editor window as far as the renderer sees it: records what the renderer tells it and, like the
// window in live editing, stores finished strokes and passes the chain's changes back to the renderer.
class FakeWindow : public GMRealTimeRendererDelegate, public chaintest::RecordingDelegate
{
public:
    struct Stroke
    {
        OVContentContainerPtr container;
        pf::Rect rect;
        QString channel;
        std::shared_ptr<OVBrushPathImage> target;
    };

    GMRealTimeRenderer* renderer = nullptr;
    QStringList told; // "visible <channel>", "stroke <channel>"
    std::vector<Stroke> strokes;

    void
    realTimeRendererDidCalculateContentContainer(GMRealTimeRenderer*, const OVContentContainerPtr& container,
                                                 const pf::Rect& rect, const QString& channel,
                                                 const std::shared_ptr<OVBrushPathImage>& target) override
    {
        told << QStringLiteral("stroke ") + channel;
        strokes.push_back({container, rect, channel, target});
        if (target)
            target->addContentContainerWithRect(container, rect);
    }
    void realTimeRenderChannelDidBecomeVisible(GMRealTimeRenderer*, const QString& channel) override
    {
        told << QStringLiteral("visible ") + channel;
    }
    void photoToolChainCompositionDidChangeAtIndex(PhotoToolChain* chain, int index) override
    {
        RecordingDelegate::photoToolChainCompositionDidChangeAtIndex(chain, index);
        if (renderer)
            renderer->contentDidChangeAtIndex(index);
    }
    void photoToolChainBrushPathDidChange(PhotoToolChain* chain, OVBrushPathImage* image, int index) override
    {
        RecordingDelegate::photoToolChainBrushPathDidChange(chain, image, index);
        if (renderer)
            renderer->updateActiveChannels();
    }
};

// A chain of two tint layers (the second selected) over a plain photo, a real-time renderer with a
// "standard" (160 x 120) and a "loupe" (80 x 80) layer, and the fake window. The layers stand alone:
// frame() draws what a host would draw before its next frame.
class RenderingTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        chain = std::make_shared<PhotoToolChain>(chaintest::photo(320, 240));
        chain->insertPhotoToolWithBlueprint(chaintest::tint(), std::nullopt, 1);
        chain->insertPhotoToolWithBlueprint(chaintest::tint(), std::nullopt, 2);
        chain->setSelectionIndex(2);
        chain->setDelegate(&window);
        renderer = std::make_unique<GMRealTimeRenderer>(chain);
        renderer->setDelegate(&window);
        window.renderer = renderer.get();
        standard->setFrame(pf::Rect(0, 0, 160, 120));
        loupe->setFrame(pf::Rect(0, 0, 80, 80));
        renderer->setLayerForRenderChannel(standard, QStringLiteral("standard"));
        renderer->setLayerForRenderChannel(loupe, QStringLiteral("loupe"));
    }
    void TearDown() override
    {
        settle();
        window.renderer = nullptr;
        renderer.reset();
        settle();
        chain->setDelegate(nullptr);
    }

    GMZoomRenderer& zoom(const QString& channel = QStringLiteral("standard"))
    {
        return *renderer->zoomRendererForChannel(channel);
    }
    void settle() { renderingtest::settle(renderer.get()); }
    void frame()
    {
        standard->displayIfNeeded();
        loupe->displayIfNeeded();
    }
    // Holds the render queue until the returned latch is counted down.
    std::shared_ptr<std::latch> holdQueue()
    {
        auto gate = std::make_shared<std::latch>(1);
        renderer->renderQueue()->async([gate] { gate->wait(); });
        return gate;
    }
    static OVBrush drawBrush(double size = 10)
    {
        OVBrush brush;
        brush.type = OVBrush::Draw;
        brush.size = size;
        brush.pressure = 1;
        return brush;
    }
    // One stroke on the standard channel from `from` to `to` with a drawing brush of that size, each
    // step drawn as a host would before its next frame.
    void drawStroke(double brushSize, pf::Point from, pf::Point to)
    {
        renderer->brushDownAtPoint(drawBrush(brushSize), from, QStringLiteral("standard"));
        frame();
        renderer->processPoint(to);
        frame();
        renderer->brushUpAtPoint(to);
    }

    pf::SteppedClock clock;
    FakeWindow window;
    std::shared_ptr<PhotoToolChain> chain;
    std::unique_ptr<GMRealTimeRenderer> renderer;
    std::shared_ptr<pf::Layer> standard = pf::Layer::create();
    std::shared_ptr<pf::Layer> loupe = pf::Layer::create();
};

} // namespace renderingtest
