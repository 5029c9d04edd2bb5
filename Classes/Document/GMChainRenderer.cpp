#include "Classes/Document/GMChainRenderer.h"

#include "Classes/Document/GMSavedPicture.h"
#include "Classes/ToolObjects/OVRenderCache.h"
#include "Classes/ToolObjects/PhotoToolChain.h"
#include "Classes/ToolObjects/PhotoToolChainState.h"
#include "Platform/Image/RenderContext.h"

#include <QImage>

#include <algorithm>
#include <cmath>

namespace {

// A render cache's delegate that always answers the same state of the stack.
class FrozenSource : public OVRenderCacheDelegate
{
public:
    explicit FrozenSource(std::shared_ptr<const OVRenderSource> source) : m_source(std::move(source)) {}
    std::shared_ptr<const OVRenderSource> renderSource() const override { return m_source; }

private:
    std::shared_ptr<const OVRenderSource> m_source;
};

std::shared_ptr<pf::RenderContext> savingContext()
{
    static auto context = std::make_shared<pf::RenderContext>(QStringLiteral("saving"));
    return context;
}

} // namespace

GMRenderForSaving GMChainRenderer::renderForSaving(const PhotoToolChain& chain,
                                                   std::optional<pf::Size> fitInside,
                                                   pf::Bitmap::Format format, const OVRenderCache* startFrom)
{
    const std::shared_ptr<const OVRenderSource> source = chain.renderSource();
    const int top = chain.numberOfTools() - 1;
    // Taken now: the cache may be gone, or show a later state, by the time the picture is made.
    OVRenderCache::Tables start;
    if (startFrom && fitInside && format == pf::Bitmap::Format::RGBA8)
        start = startFrom->tables();
    return [source, top, fitInside, format, start = std::move(start)]() -> std::optional<pf::Bitmap> {
        auto delegate = std::make_shared<FrozenSource>(source);
        const auto context = savingContext();
        // The cache listens to nobody: its state never changes.
        OVRenderCache cache(delegate, delegate.get(), context);
        // Fitted inside the box, never made larger than the photo itself.
        const pf::Size photo = source->imageSize();
        bool fitted = false;
        if (fitInside && photo.width > 0 && photo.height > 0) {
            const double scale =
                std::min({1.0, fitInside->width / photo.width, fitInside->height / photo.height});
            cache.setOutputSize(pf::Size(std::max(1.0, std::round(photo.width * scale)),
                                         std::max(1.0, std::round(photo.height * scale))));
            fitted = true;
            // The layers the canvas composed already of this very state (all but a fresh stroke's, say).
            cache.adoptTables(start);
        }
        // A fitted picture (a preview) is composed as the canvas composes its own: layer by layer at
        // its small size, each mask read reduced from its pixels (and a stroke not stored yet only
        // where it went), the photo from its reduced copies. Read as one recipe instead, every mask and
        // colour picture is made at the photo's size first: seconds for a large photo right after a
        // stroke. At full size no layer's intermediate is worth keeping: only the picture asked for.
        if (!fitted)
            cache.setRetention(OVRenderCache::Retention::RequestedOnly);
        // Deeper than 8 bits, the stack stays a recipe at working precision up to the one render here
        // (the cache would make its pixels 8-bit first).
        const pf::Image composed = format == pf::Bitmap::Format::RGBA8 ? cache.composedImageToIndex(top)
                                                                       : cache.composedRecipeToIndex(top);
        const pf::Size size = cache.outputSize();
        if (composed.isNull() || size.width < 1 || size.height < 1)
            return std::nullopt;
        return context->render(composed, pf::Rect(0, 0, std::round(size.width), std::round(size.height)),
                               format);
    };
}

GMPictureForSaving GMChainRenderer::pictureForSaving(const PhotoToolChain& chain, pf::Bitmap::Format format)
{
    const std::shared_ptr<const OVRenderSource> source = chain.renderSource();
    const int top = chain.numberOfTools() - 1;
    return [source, top, format]() -> std::shared_ptr<GMSavedPicture> {
        auto delegate = std::make_shared<FrozenSource>(source);
        const auto context = savingContext();
        auto cache = std::make_shared<OVRenderCache>(delegate, delegate.get(), context);
        cache->setRetention(OVRenderCache::Retention::RequestedOnly);
        // The stack stays a recipe: each part asked for is rendered from it alone, so no layer is ever
        // computed where nobody reads it.
        const pf::Image composed = cache->composedRecipeToIndex(top);
        const pf::Size size = cache->outputSize();
        const int width = int(std::round(size.width)), height = int(std::round(size.height));
        if (composed.isNull() || width < 1 || height < 1)
            return nullptr;
        return std::make_shared<GMSavedPicture>(
            width, height, format,
            [delegate, cache, context, composed, format,
             height](const QRect& rect) -> std::optional<pf::Bitmap> {
                // The engine's rectangles run y up.
                return context->render(
                    composed,
                    pf::Rect(rect.x(), height - rect.y() - rect.height(), rect.width(), rect.height()),
                    format, pf::RenderContext::Reuse::Discard);
            });
    };
}

GMRenderForSaving GMChainRenderer::renderForSaving(const pf::Image& composed, const pf::Size& size)
{
    if (composed.isNull() || size.width < 1 || size.height < 1)
        return {};
    return [composed, size]() -> std::optional<pf::Bitmap> {
        return savingContext()->render(composed,
                                       pf::Rect(0, 0, std::round(size.width), std::round(size.height)),
                                       pf::Bitmap::Format::RGBA8);
    };
}

pf::Bitmap GMChainRenderer::fittedInside(const pf::Bitmap& picture, double side)
{
    if (picture.isNull() || (picture.width() <= side && picture.height() <= side))
        return picture;
    const double scale = std::min(side / picture.width(), side / picture.height());
    const double width = std::max(1.0, std::round(picture.width() * scale));
    const double height = std::max(1.0, std::round(picture.height() * scale));
    // The mean of each output pixel's area, on every core (a full-size picture made a preview while
    // it is encoded); Qt's smooth scaling where the engine cannot.
    const pf::Image scaled = pf::Image::fromBitmap(picture).imageByApplyingTransform(
        pf::AffineTransform::scale(width / picture.width(), height / picture.height()));
    if (auto fitted = savingContext()->render(scaled, pf::Rect(0, 0, width, height), picture.format(),
                                              pf::RenderContext::Reuse::Discard))
        return *fitted;
    const QImage image = picture.toQImage();
    return pf::Bitmap::fromQImage(
        image.scaled(QSize(int(side), int(side)), Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

void GMChainRenderer::keepTransparencyOf(pf::Bitmap& picture, const pf::Bitmap& photo)
{
    if (picture.isNull() || photo.isNull() || picture.width() != photo.width() ||
        picture.height() != photo.height() || !pf::Bitmap::hasAlpha(picture.format()) ||
        !pf::Bitmap::hasAlpha(photo.format()))
        return;
    const bool wide = picture.format() == pf::Bitmap::Format::RGBAf;
    for (int y = 0; y < picture.height(); ++y) {
        uint8_t* row = picture.mutableRow(y);
        for (int x = 0; x < picture.width(); ++x) {
            float own[4];
            photo.pixel(x, y, own);
            float* wideRow = wide ? reinterpret_cast<float*>(row) + 4 * x : nullptr;
            uint8_t* narrow = wide ? nullptr : row + 4 * x;
            const float alpha = wide ? wideRow[3] : narrow[3] / 255.0f;
            if (alpha == own[3])
                continue;
            // Premultiplied: the composed colour over the photo's alpha; where the composition left
            // nothing, the photo's own pixel.
            float out[4];
            for (int c = 0; c < 4; ++c) {
                const float composed = wide ? wideRow[c] : narrow[c] / 255.0f;
                out[c] = c == 3 ? own[3] : alpha > 0 ? composed / alpha * own[3] : own[c];
            }
            for (int c = 0; c < 4; ++c) {
                if (wide)
                    wideRow[c] = out[c];
                else
                    narrow[c] = uint8_t(std::lround(std::clamp(out[c], 0.0f, 1.0f) * 255));
            }
        }
    }
}
