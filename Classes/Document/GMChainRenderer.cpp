#include "Classes/Document/GMChainRenderer.h"

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
                                                   std::optional<pf::Size> fitInside)
{
    const std::shared_ptr<const OVRenderSource> source = chain.renderSource();
    const int top = chain.numberOfTools() - 1;
    return [source, top, fitInside]() -> std::optional<pf::Bitmap> {
        auto delegate = std::make_shared<FrozenSource>(source);
        const auto context = savingContext();
        // The cache listens to nobody: its state never changes.
        OVRenderCache cache(delegate, delegate.get(), context);
        // Filled once for one picture: no layer's intermediate is worth keeping at full size.
        cache.setRetention(OVRenderCache::Retention::RequestedOnly);
        // Fitted inside the box, never made larger than the photo itself.
        const pf::Size photo = source->imageSize();
        if (fitInside && photo.width > 0 && photo.height > 0) {
            const double scale =
                std::min({1.0, fitInside->width / photo.width, fitInside->height / photo.height});
            cache.setOutputSize(pf::Size(std::max(1.0, std::round(photo.width * scale)),
                                         std::max(1.0, std::round(photo.height * scale))));
        }
        const pf::Image composed = cache.composedImageToIndex(top);
        const pf::Size size = cache.outputSize();
        if (composed.isNull() || size.width < 1 || size.height < 1)
            return std::nullopt;
        return context->render(composed, pf::Rect(0, 0, std::round(size.width), std::round(size.height)));
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
