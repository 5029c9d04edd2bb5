#include "Classes/Rendering/GMZoomRenderer.h"

#include "Classes/Filters/GMBrushMaskTools.h"
#include "Classes/Framework/ImageORVExtension.h"
#include "Classes/Rendering/LayerImageDrawing.h"
#include "Classes/ToolObjects/GMCompositionWrapper.h"
#include "Classes/ToolObjects/GMContentFilterWrapper.h"
#include "Classes/ToolObjects/OVBrushFramework/OVBrushPathImage.h"
#include "Classes/ToolObjects/OVRenderCache.h"
#include "Classes/ToolObjects/PhotoToolChain.h"
#include "Platform/Foundation/MainThread.h"
#include "Platform/Foundation/SerialQueue.h"
#include "Platform/Image/CpuRendering.h"
#include "Platform/Image/RenderContext.h"
#include "Platform/UI/Layer.h"
#include "Platform/UI/Transaction.h"

#include <algorithm>
#include <cmath>
#include <cstring>

using namespace pf;

namespace {

// A step redraws at least this much of the layer, so that a fast stroke costs few, larger draws.
constexpr double MinimumInvalidation = 256;

QRect regionRect(const Rect& rect)
{
    const Rect r = rect.integral();
    return QRect(int(r.minX()), int(r.minY()), int(r.width()), int(r.height()));
}

Rect fromRegionRect(const QRect& rect)
{
    return Rect(rect.x(), rect.y(), rect.width(), rect.height());
}

// A picture of the image's extent made on the render queue, for the layer's contents.
QImage pictureOf(const Image& image, RenderContext& context)
{
    if (image.isNull())
        return QImage();
    const Rect extent = image.extent();
    if (extent.isNull() || extent.isInfinite() || extent.isEmpty())
        return QImage();
    return context.renderToQImage(image, extent);
}

// The mask after a stroke as pixels: the pixels it was painted on, with the part the stroke changed
// rendered anew (a brush-up renders the stroke's part, not the layer). The whole mask rendered when the
// pixels before are no bitmap of its frame or the stroke cannot say what it changed.
Image integratedPixels(const Image& before, const Image& integrated, const Rect& changed,
                       RenderContext& context)
{
    const Rect extent = integrated.extent();
    const auto placed = before.isNull() ? std::nullopt : CpuRendering::placedBitmap(before);
    if (!placed || changed.isInfinite() || extent.isNull() || extent.isInfinite() ||
        placed->bitmap.format() != Bitmap::Format::RGBA8 || placed->x != extent.minX() ||
        placed->y != extent.minY() || placed->bitmap.width() != int(extent.width()) ||
        placed->bitmap.height() != int(extent.height()))
        return ORVExtension::fixedImage(integrated);
    Bitmap pixels = placed->bitmap;
    const Rect part = changed.isNull() ? Rect::null() : changed.integral().intersected(extent);
    if (!part.isNull() && !part.isEmpty()) {
        const auto rendered = context.render(integrated, part, Bitmap::Format::RGBA8);
        if (!rendered)
            return ORVExtension::fixedImage(integrated);
        const size_t bytes = size_t(rendered->width()) * 4;
        const int top = int(extent.maxY() - part.maxY());
        const size_t left = size_t(part.minX() - extent.minX()) * 4;
        for (int y = 0; y < rendered->height(); ++y)
            std::memcpy(pixels.mutableRow(top + y) + left, rendered->row(y), bytes);
    }
    const Image image = Image::fromBitmap(pixels);
    return extent.minX() == 0 && extent.minY() == 0
               ? image
               : image.imageByApplyingTransform(AffineTransform::translation(extent.minX(), extent.minY()));
}

} // namespace

GMZoomRenderer::GMZoomRenderer(std::shared_ptr<PhotoToolChain> toolChain,
                               std::shared_ptr<RenderContext> liveContext,
                               std::shared_ptr<RenderContext> queueContext)
    : m_toolChain(std::move(toolChain)),
      m_liveContext(liveContext ? std::move(liveContext) : RenderContext::shared()),
      m_queueContext(queueContext ? std::move(queueContext) : RenderContext::shared()),
      m_renderer(std::make_unique<OVRenderCache>(m_toolChain, m_toolChain.get(), m_queueContext)),
      m_brushTools(std::make_shared<GMBrushMaskTools>())
{
    m_brushTools->setValue(int(GMBrushMaskTools::IntegrateStroke), QStringLiteral("inputNumber"));
}

GMZoomRenderer::~GMZoomRenderer()
{
    if (const auto layer = m_layer.lock(); layer && layer->delegate() == this)
        layer->setDelegate(nullptr);
}

void GMZoomRenderer::releaseOnMain(std::shared_ptr<GMZoomRenderer>&& renderer)
{
    // The layer is touched when the renderer goes away: that must happen on the main thread.
    runOnMain([renderer = std::move(renderer)] {});
}

void GMZoomRenderer::setLayer(const std::shared_ptr<Layer>& layer)
{
    if (const auto old = m_layer.lock(); old && old->delegate() == this)
        old->setDelegate(nullptr);
    m_layer = layer;
    if (layer)
        layer->setDelegate(this);
    // The new layer shows nothing of ours yet.
    m_shownPicture = QImage();
    m_liveRegion = QRegion();
    m_liveCached = QRegion();
}

Size GMZoomRenderer::layerSize() const
{
    const auto layer = m_layer.lock();
    return layer ? layer->bounds().size : Size(0, 0);
}

void GMZoomRenderer::setContentsRect(const Rect& rect)
{
    m_contentsRect = rect;
    m_renderer->setContentsRect(rect);
    m_renderer->setOutputSize(layerSize());
    // The start images were cut for the old rectangle; a running stroke keeps them to its end.
    m_stale = true;
    m_liveCached = QRegion();
}

// Strokes.

void GMZoomRenderer::brushDownAtPoint(const OVBrush& brush, const Point& point)
{
    const auto layer = m_layer.lock();
    const Size size = layerSize();
    // Face width and scale factor divide by both widths: without them there is no stroke to run.
    if (!layer || !(size.width > 0) || !(size.height > 0) || !(m_contentsRect.width() > 0) ||
        !(m_contentsRect.height() > 0)) {
        m_stroking = false;
        return;
    }
    m_blocked = true;

    double normedFaceWidth = 0;
    if (const auto generator = m_toolChain->renderInfoGenerator())
        normedFaceWidth = generator->normedFaceWidthAt(generator->pointAt(point, m_contentsRect, size));
    const double faceWidth = size.width * normedFaceWidth / m_contentsRect.width();

    // Prepared state is kept from stroke to stroke, but only for the layer it was made for.
    if (!isPrepared() || m_preparedSelection != m_toolChain->selectionIndex() ||
        m_preparedTarget.lock() != m_toolChain->selectedBrushPathImage())
        prepareBrushHandlerForNormedFaceWidth(normedFaceWidth);

    // The stored pixels of the last healing stroke, arrived during a stroke since: the start from now on.
    if (!m_storedFill.isNull()) {
        m_brushHandler.setStartAdditionalImage(m_storedFill);
        m_storedFill = Image();
    }
    m_brushHandler.setScaleFactor(m_toolChain->originalImageSize().width /
                                  (size.width / m_contentsRect.width()));
    m_strokeTarget = m_preparedTarget.lock();
    m_strokeRect = m_renderer->contentsRect();
    m_strokeRegion = QRegion();
    m_stroking = true;
    m_brushHandler.brushDownAtPoint(brush, point, faceWidth);
    m_brushHandler.processPoint(point); // the first stamp is a dot at the brush-down point
    layer->setDelegate(this);
    invalidate(m_brushHandler.dirtyRect());
}

void GMZoomRenderer::processPoint(const Point& point)
{
    if (!m_stroking)
        return;
    if (m_blocked) {
        // Back-pressure: the previous step is not on screen yet.
        ++m_droppedPoints;
        return;
    }
    m_blocked = true;
    m_brushHandler.processPoint(point);
    invalidate(m_brushHandler.dirtyRect());
}

void GMZoomRenderer::brushUpAtPoint(const Point& /*point*/)
{
    if (!m_stroking)
        return;
    m_blocked = true;
    const bool healing = m_brushHandler.usesPreview();
    const Image before = m_brushHandler.startMaskImage();
    const OVContentContainerPtr container = m_brushHandler.brushUp();
    m_stroking = false;
    // The next stroke starts from this one's mask. Kept as pixels, as a preparation makes them: as a
    // recipe it would grow by every stroke, and each step and live picture of a later stroke would
    // compute every earlier stroke again.
    if (const Image integrated = m_brushHandler.maskImage(); !integrated.isNull()) {
        const Image pixels =
            integratedPixels(before, integrated, m_brushHandler.strokeBounds(), *m_liveContext);
        if (!pixels.isNull())
            m_brushHandler.setStartMaskImage(pixels);
    }
    const std::shared_ptr<OVBrushPathImage> target = std::move(m_strokeTarget);

    // Requests that the delegate's storing of the stroke sends back are ignored: this channel keeps its
    // live picture, which already shows the stroke.
    m_isUpdating = true;
    if (container && m_delegate)
        m_delegate->zoomRendererFinishCalculationOfContentContainer(this, container, m_strokeRect, target);
    m_isUpdating = false;
    // The start images now hold this stroke: they stand for the mask snapshot it made. A stroke with a
    // picture of its own that is not healed (the iris) leaves a start picture without it: the next
    // preparation reads the stored one.
    const bool ownPicture = container && container->additionalImageContainer();
    m_startContainer = target && target == m_preparedTarget.lock() && (!ownPicture || healing)
                           ? target->contentContainer()
                           : nullptr;

    // Stored pixels of an earlier healing stroke that arrived during this one.
    if (!m_storedFill.isNull()) {
        m_brushHandler.setStartAdditionalImage(m_storedFill);
        m_storedFill = Image();
    }
    if (healing && target && !target->segmentImageNames().isEmpty()) {
        // The stored picture is the one made at full quality: it replaces the preview once its snapshot
        // is written, cut to the channel in the background; nothing of it is computed here. Until then
        // the layer keeps the live pixels drawn during the stroke, and the next stroke starts from the
        // pixels stored before (pixels, never a preview nested in the next one's).
        m_fillAwaited = true;
        m_fillRegion += m_strokeRegion;
        showStoredFill(target, target->segmentImageNames().last(), ++m_fillNumber);
    }
    m_blocked = false;

    // A composition asked for during the stroke runs now that the stroke is stored.
    if (m_deferred) {
        const Request request = *m_deferred;
        m_deferred.reset();
        drawInQueue(request.queue, request.backgroundOnly);
    }
}

void GMZoomRenderer::showStoredFill(const std::shared_ptr<OVBrushPathImage>& target, const QString& snapshot,
                                    quint64 number)
{
    if (number != m_fillNumber || !isPrepared() || m_preparedTarget.lock() != target)
        return; // a later stroke, or a new preparation, reads the stored picture itself
    if (target->isSnapshotFolderPending(snapshot)) {
        // The write takes a moment; the interface never waits for it.
        pf::runOnMainAfter(0.02, [weak = weak_from_this(), target, snapshot, number] {
            if (const auto self = weak.lock())
                self->showStoredFill(target, snapshot, number);
        });
        return;
    }
    const std::shared_ptr<SerialQueue> queue = m_queue.lock();
    if (!queue)
        return;
    const OVContentContainerPtr stored =
        target->contentContainerForRect(m_renderer->contentsRect(), m_renderer->outputSize());
    const Image additional =
        stored && stored->additionalImageContainer() ? stored->additionalImageContainer()->image() : Image();
    if (additional.isNull())
        return;
    const Size size = m_renderer->outputSize();
    queue->async([self = shared_from_this(), additional, size, number]() mutable {
        const auto pixels = self->m_queueContext->render(additional, Rect(0, 0, size.width, size.height),
                                                         Bitmap::Format::RGBAf);
        const Image fill = pixels ? Image::fromBitmap(*pixels) : Image();
        runOnMain([self = std::move(self), fill, number] {
            if (fill.isNull() || number != self->m_fillNumber || !self->isPrepared())
                return;
            self->m_fillAwaited = false;
            if (self->m_stroking) {
                self->m_storedFill = fill; // the next stroke starts from it
                return;
            }
            self->m_brushHandler.setStartAdditionalImage(fill);
            // The stored picture differs from the live one only where the healing strokes went: only
            // there is it drawn again, so the next step renders no more than its square.
            const QRegion changed = std::exchange(self->m_fillRegion, QRegion());
            self->m_liveCached -= changed;
            const auto layer = self->m_layer.lock();
            if (layer && !changed.isEmpty()) {
                const Rect bounds = layer->bounds();
                for (const QRect& part : changed)
                    layer->setNeedsDisplayInRect(fromRegionRect(part).offsetBy(bounds.minX(), bounds.minY()));
            }
        });
    });
}

Rect GMZoomRenderer::invalidationRect(const Rect& dirtyRect, const Size& layerSize)
{
    const Rect dirty = dirtyRect.integral();
    const double w = std::max(dirty.width(), MinimumInvalidation);
    const double h = std::max(dirty.height(), MinimumInvalidation);
    const double x = std::max(0.0, std::min(layerSize.width - w, dirty.minX()));
    const double y = std::max(0.0, std::min(layerSize.height - h, dirty.minY()));
    return Rect(x, y, w, h);
}

void GMZoomRenderer::invalidate(const Rect& dirtyRect)
{
    const auto layer = m_layer.lock();
    if (!layer || dirtyRect.isNull() || dirtyRect.isInfinite()) {
        // Nothing changed that could be drawn: the next point may come.
        m_blocked = false;
        return;
    }
    const Rect rect = invalidationRect(dirtyRect, layerSize());
    const QRect painted = regionRect(rect);
    m_liveRegion += painted;
    m_liveCached -= painted;
    if (m_stroking)
        m_strokeRegion += painted;
    for (auto& [number, region] : m_paintedSince)
        region += painted;
    const Rect bounds = layer->bounds();
    layer->setNeedsDisplayInRect(rect.offsetBy(bounds.minX(), bounds.minY()));
}

// Preparation.

Image GMZoomRenderer::backgroundImage()
{
    if (m_backgroundImage.isNull()) {
        const int selection = m_toolChain->selectionIndex();
        const int below = selection > 0 ? selection - 1 : 0;
        // Never a wait for the render queue: what the cache holds, else the stack as a recipe that a
        // step renders only where it draws, until the queue has made the pixels (see
        // requestBackgroundPixels).
        m_backgroundImage = m_renderer->cachedComposedImageToIndex(below);
        m_backgroundIsRecipe = m_backgroundImage.isNull();
        if (m_backgroundIsRecipe)
            m_backgroundImage = m_renderer->composedRecipeToIndex(below);
    }
    return m_backgroundImage;
}

void GMZoomRenderer::requestBackgroundPixels()
{
    const std::shared_ptr<SerialQueue> queue = m_queue.lock();
    if (!queue)
        return;
    const int selection = m_toolChain->selectionIndex();
    const int below = selection > 0 ? selection - 1 : 0;
    const quint64 number = ++m_backgroundNumber;
    // Behind the composition of the channel, which leaves the stack below in the cache's table.
    queue->async([self = shared_from_this(), below, number]() mutable {
        const Image pixels = self->m_renderer->composedImageToIndex(below);
        runOnMain([self = std::move(self), pixels, number] { self->useBackgroundPixels(pixels, number); });
    });
}

void GMZoomRenderer::useBackgroundPixels(const Image& pixels, quint64 number)
{
    // Only for the preparation that asked, and only while it holds: a new one asks again.
    if (pixels.isNull() || number != m_backgroundNumber || !isPrepared() || !m_backgroundIsRecipe)
        return;
    m_backgroundImage = pixels;
    m_backgroundIsRecipe = false;
    if (m_contentFilter)
        m_contentFilter->setValueForInputKey(QVariant::fromValue(pixels), QStringLiteral("originalImage"));
    if (m_compositionFilter)
        m_compositionFilter->setValue(QVariant::fromValue(pixels), QStringLiteral("inputBackgroundImage"));
    // A running stroke's brushes keep the recipe they began with, and what was drawn from it stays:
    // it is the same picture. The next steps and strokes are made from the pixels.
    m_brushHandler.setBackgroundImage(pixels);
}

void GMZoomRenderer::prepareBrushHandlerForNormedFaceWidth(double normedFaceWidth)
{
    const Image keptMask = m_brushHandler.startMaskImage();
    const Image keptAdditional = m_brushHandler.startAdditionalImage();
    m_brushHandler.reset();
    m_backgroundImage = Image();
    const Image background = backgroundImage();
    const int selection = m_toolChain->selectionIndex();
    const Size outputSize = m_renderer->outputSize();
    const Rect contentsRect = m_renderer->contentsRect();
    const Image transparent = PhotoTool::transparentImage(outputSize);

    std::shared_ptr<OVBrushPathImage> target;
    if (selection == 0) {
        m_brushHandler.setStartMaskImage(transparent);
        m_brushHandler.setStartAdditionalImage(transparent);
    } else {
        m_toolChain->prepareSelectedWithFaceWidth(normedFaceWidth);
        target = m_toolChain->selectedBrushPathImage();
        // The start images the last stroke left are the mask as it is now while nothing else changed it
        // since (the same snapshot, part and size): a channel shown again paints on at once, without
        // rendering the photo-sized mask down again.
        const bool keep = target && !keptMask.isNull() && selection == m_preparedSelection &&
                          target == m_preparedTarget.lock() && target->contentContainer() &&
                          target->contentContainer() == m_startContainer.lock() &&
                          contentsRect == m_preparedRect && outputSize == m_preparedSize;
        if (keep) {
            m_brushHandler.setStartMaskImage(keptMask);
            m_brushHandler.setStartAdditionalImage(keptAdditional);
        } else {
            const OVContentContainerPtr stored =
                target ? target->contentContainerForRect(contentsRect, outputSize) : nullptr;
            // Both start images as pixels at the layer's size: every step reads them again.
            const Image mask = stored ? ORVExtension::fixedImage(stored->imageContainer()->image()) : Image();
            const Image additional = stored && stored->additionalImageContainer()
                                         ? stored->additionalImageContainer()->image()
                                         : Image();
            m_brushHandler.setStartMaskImage(mask.isNull() ? transparent : mask);
            m_brushHandler.setStartAdditionalImage(
                additional.isNull() ? Image() : ORVExtension::fixedImage(additional));
        }
        m_startContainer = target ? target->contentContainer() : nullptr;
        m_preparedRect = contentsRect;
        m_preparedSize = outputSize;
        if (keep && m_fillAwaited) {
            // The stored pixels of the last healing stroke were not taken in yet: they are cut again.
            m_preparedTarget = target;
            m_preparedSelection = selection;
            m_prepared = true;
            m_stale = false;
            showStoredFill(target, target->segmentImageNames().last(), ++m_fillNumber);
        }
    }

    const PhotoToolPtr tool = m_toolChain->selectedPhotoTool();
    m_contentFilter = tool ? tool->contentFilter() : nullptr; // loaded with the tool's settings
    if (m_contentFilter) {
        m_contentFilter->setValueForInputKey(QVariant::fromValue(background),
                                             QStringLiteral("originalImage"));
        m_contentFilter->setValueForInputKey(QVariant::fromValue(outputSize), QStringLiteral("imageSize"));
        // The photo's typical face at the size shown, as the chain composes it.
        if (const auto generator = m_toolChain->renderInfoGenerator(); generator && contentsRect.width() > 0)
            m_contentFilter->setValueForInputKey(generator->normedTypicalFaceWidth() * outputSize.width /
                                                     contentsRect.width(),
                                                 QStringLiteral("faceWidth"));
    }
    const auto composition = tool ? tool->compositionFilter() : nullptr;
    m_compositionFilter = composition ? composition->generatedCIFilter() : nullptr;
    if (m_compositionFilter)
        m_compositionFilter->setValue(QVariant::fromValue(background),
                                      QStringLiteral("inputBackgroundImage"));
    m_brushHandler.setBackgroundImage(background);

    m_prepared = true;
    m_stale = false;
    dropLivePixels(); // drawn with what was prepared before
    m_preparedSelection = selection;
    m_preparedTarget = target;
    if (m_backgroundIsRecipe)
        requestBackgroundPixels();
}

void GMZoomRenderer::dropPrepared()
{
    // The next stroke prepares everything again (and resets the handler then); until then the live
    // picture of the last stroke can still be drawn.
    m_stale = true;
    m_backgroundImage = Image();
    m_backgroundIsRecipe = false;
}

// The live picture.

void GMZoomRenderer::drawLayer(Layer& layer, QPainter& painter)
{
    const Rect bounds = layer.bounds();
    const Rect clip = LayerImageDrawing::clipRect(painter, bounds);
    m_lastLiveArea = 0;

    // The composed picture wherever the live one cannot differ from it.
    if (!m_shownPicture.isNull())
        LayerImageDrawing::drawPicture(painter, m_shownPicture, bounds, clip);

    if (m_prepared && m_contentFilter && m_compositionFilter) {
        Rect area = clip;
        // Outside the steps drawn so far the live picture equals what is already there: the composed
        // picture with the selected layer, or, before the channel's first picture arrives, nothing of
        // the channel's own, so that the view's picture below shows. Only a picture composed without
        // the selected layer must be covered whole.
        if (m_shownPicture.isNull() || m_shownWithSelection) {
            const QRect live = m_liveRegion.boundingRect();
            area = live.isEmpty()
                       ? Rect::null()
                       : area.intersected(fromRegionRect(live).offsetBy(bounds.minX(), bounds.minY()));
        }
        const Size output = m_renderer->outputSize();
        // Parts drawn live before and unchanged since are copied, not rendered again: a picture that
        // lands mid-stroke, or a redraw of the whole layer, renders no more than the steps not yet drawn.
        const bool oneToOne = output.width == bounds.width() && output.height == bounds.height();
        if (!oneToOne || m_livePixels.size() != QSize(int(output.width), int(output.height)))
            dropLivePixels();
        if (!area.isNull() && !area.isEmpty() && oneToOne && !m_liveCached.isEmpty()) {
            const QRegion wanted(regionRect(area.offsetBy(-bounds.minX(), -bounds.minY())));
            const QRegion kept = wanted & m_liveCached;
            for (const QRect& piece : kept)
                LayerImageDrawing::drawPicture(painter, m_livePixels, bounds,
                                               fromRegionRect(piece).offsetBy(bounds.minX(), bounds.minY()));
            const QRect rest = (wanted - m_liveCached).boundingRect();
            area = rest.isEmpty()
                       ? Rect::null()
                       : fromRegionRect(rest).offsetBy(bounds.minX(), bounds.minY()).intersected(area);
        }
        if (!area.isNull() && !area.isEmpty()) {
            m_brushTools->setValue(QVariant::fromValue(m_brushHandler.maskImage()),
                                   QStringLiteral("inputImage"));
            m_contentFilter->setValueForInputKey(m_brushTools->value(OutputImageKey), QStringLiteral("mask"));
            const Image additional = m_brushHandler.additionalImage();
            if (!additional.isNull())
                m_contentFilter->setValueForInputKey(QVariant::fromValue(additional),
                                                     QStringLiteral("maskExtraImage"));
            m_compositionFilter->setValue(QVariant::fromValue(m_contentFilter->outputImage()),
                                          QStringLiteral("inputImage"));
            const Image live = m_compositionFilter->outputImage();
            QImage pixels;
            const Rect rendered = LayerImageDrawing::drawImage(
                painter, *m_liveContext, live, Rect(0, 0, output.width, output.height), bounds, area,
                QPainter::CompositionMode_Source, oneToOne ? &pixels : nullptr);
            if (!rendered.isNull()) {
                m_lastLiveArea = rendered.width() * rendered.height();
                keepLivePixels(pixels, rendered);
            }
        }
    }
    m_blocked = false; // the step is on screen: the next point is accepted
}

void GMZoomRenderer::keepLivePixels(const QImage& pixels, const Rect& part)
{
    if (pixels.isNull() || m_livePixels.isNull())
        return;
    // `part` is y up in the layer; the kept pixels are stored top row first.
    const int top = m_livePixels.height() - int(part.maxY());
    QPainter painter(&m_livePixels);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(QPoint(int(part.minX()), top), pixels);
    painter.end();
    m_liveCached += regionRect(part);
}

void GMZoomRenderer::dropLivePixels()
{
    m_liveCached = QRegion();
    const Size output = m_renderer->outputSize();
    const QSize size(int(output.width), int(output.height));
    if (m_livePixels.size() != size)
        m_livePixels = size.isEmpty() ? QImage() : QImage(size, QImage::Format_ARGB32_Premultiplied);
}

LayerAction GMZoomRenderer::actionForLayer(Layer& /*layer*/, const QString& key)
{
    // Contents and geometry change at once; fading keeps the layer's own animation.
    return key == QLatin1String("opacity") ? LayerAction::notHandled() : LayerAction::none();
}

// Composition.

void GMZoomRenderer::drawInQueue(const std::shared_ptr<SerialQueue>& queue, bool backgroundOnly)
{
    if (m_isUpdating || !queue)
        return;
    m_queue = queue;
    if (m_stroking) {
        // Dropping the live filters now would blank the stroke and lose its additional picture.
        m_deferred = Request{queue, backgroundOnly};
        return;
    }
    dropPrepared();
    const quint64 number = ++m_currentRenderNo;
    m_paintedSince[number] = QRegion();
    const int selection = m_toolChain->selectionIndex();
    const int index = backgroundOnly && selection != 0 ? selection - 1 : selection;

    {
        std::lock_guard lock(m_requestMutex);
        m_newest = Composition{number, index, backgroundOnly};
        if (m_queued)
            return; // the composition waiting on the queue will compose this request
        m_queued = true;
    }
    ++m_waiting;
    queue->async([self = shared_from_this()]() mutable {
        Composition request;
        {
            std::lock_guard lock(self->m_requestMutex);
            request = self->m_newest;
            self->m_queued = false;
        }
        --self->m_waiting;
        // A request overtaken since (the channel was hidden) is not composed.
        if (self->m_currentRenderNo.load() != request.number) {
            releaseOnMain(std::move(self));
            return;
        }
        self->m_blocked = true;
        const Image composed = self->m_renderer->composedImageToIndex(request.index);
        ++self->m_compositions;
        const QImage picture = pictureOf(composed, *self->m_queueContext);
        runOnMain([self = std::move(self), picture, request] {
            self->showComposition(picture, request.number, request.backgroundOnly);
        });
    });
}

void GMZoomRenderer::showComposition(const QImage& picture, quint64 number, bool backgroundOnly)
{
    // Pictures arrive in the order asked. One overtaken by a newer request is still the newest picture
    // there is: showing it keeps the channel moving while requests stream in faster than compositions.
    const auto layer = m_layer.lock();
    if (layer && number > m_hiddenRenderNo && number > m_shownRenderNo) {
        m_shownRenderNo = number;
        m_shownPicture = picture;
        m_shownWithSelection = !backgroundOnly;
        // A picture that could not be made (a fill overtaken by a change of the stack) empties the
        // layer and is not reported.
        const bool newest = number == m_currentRenderNo.load();
        setLayerContents(picture, picture.isNull() || !newest ? 0 : number);
        // Steps painted since the request are not in the picture: draw them over it.
        const auto painted = m_paintedSince.find(number);
        m_liveRegion = painted != m_paintedSince.end() ? painted->second : QRegion();
        m_paintedSince.erase(m_paintedSince.begin(), m_paintedSince.upper_bound(number));
        if (!m_liveRegion.isEmpty() && m_prepared)
            layer->setNeedsDisplay();
    }
    m_blocked = false;
}

void GMZoomRenderer::setLayerContents(const QImage& picture, quint64 reportNumber)
{
    const auto layer = m_layer.lock();
    if (!layer)
        return;
    Transaction::begin();
    Transaction::setDisableActions(true);
    if (reportNumber != 0) {
        Transaction::setCompletionBlock([weak = weak_from_this(), reportNumber] {
            const auto self = weak.lock();
            if (self && self->m_delegate && self->m_currentRenderNo.load() == reportNumber)
                self->m_delegate->zoomRendererDidBecomeVisible(self.get());
        });
    }
    layer->setContents(picture);
    Transaction::commit();
}

void GMZoomRenderer::hideEditLayer()
{
    // A composition on its way (or asked for during a stroke) must not show up on a hidden channel.
    m_hiddenRenderNo = ++m_currentRenderNo;
    m_deferred.reset();
    m_paintedSince.clear();
    m_shownPicture = QImage();
    m_liveRegion = QRegion();
    m_liveCached = QRegion();
    setLayerContents(QImage(), 0);
}
