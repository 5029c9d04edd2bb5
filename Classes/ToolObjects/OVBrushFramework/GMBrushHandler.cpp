#include "Classes/ToolObjects/OVBrushFramework/GMBrushHandler.h"

#include "Classes/Framework/ImageFunctions.h"
#include "Classes/Framework/ImageORVExtension.h"
#include "Classes/ToolObjects/OVBrushFramework/OVMaskBrush.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Image/Color.h"
#include "Platform/Image/Filter.h"

#include <QHash>
#include <mutex>

using namespace pf;

namespace {

struct AdditionalBrushRegistry
{
    std::mutex mutex;
    QHash<qint32, OVAdditionalBrushFactory> factories;
};

AdditionalBrushRegistry& additionalBrushRegistry()
{
    static AdditionalBrushRegistry registry;
    return registry;
}

// The stroke operations of the mask tools (integrate 1, extract 3, cut to the stroke 2).
enum MaskTool
{
    IntegrateStroke = 1,
    HardMaskWithStroke = 2,
    ExtractStroke = 3
};

FilterPtr maskTools(const Image& mask, int number)
{
    FilterPtr filter = Filter::create(QStringLiteral("GMBrushMaskTools"));
    if (!filter)
        return nullptr;
    filter->setValue(QVariant::fromValue(mask), QStringLiteral("inputImage"));
    filter->setValue(number, QStringLiteral("inputNumber"));
    return filter;
}

Image output(const FilterPtr& filter)
{
    return filter ? filter->outputImage() : Image();
}

// The image with its extent, transparent outside `bounds`. The stroke mask is worked out only where the
// stroke changed anything, which makes storing a stroke on a large mask several times faster.
Image onlyWithin(const Image& image, const Rect& bounds)
{
    if (image.isNull() || bounds.isInfinite())
        return image;
    const Rect extent = image.extent();
    const Rect part = bounds.intersected(extent);
    // Defined only there: storing the stroke renders that part of the mask, not all of it.
    return part.isNull() ? transparentFrame(extent) : framedImage(image, part, extent);
}

} // namespace

GMBrushHandler::GMBrushHandler() : m_maskBrush(std::make_shared<OVMaskBrush>()) {}

void GMBrushHandler::setAdditionalBrushFactory(qint32 subType, OVAdditionalBrushFactory factory)
{
    AdditionalBrushRegistry& registry = additionalBrushRegistry();
    std::lock_guard lock(registry.mutex);
    if (factory)
        registry.factories.insert(subType, std::move(factory));
    else
        registry.factories.remove(subType);
}

OVAdditionalBrushFactory GMBrushHandler::additionalBrushFactory(qint32 subType)
{
    AdditionalBrushRegistry& registry = additionalBrushRegistry();
    std::lock_guard lock(registry.mutex);
    return registry.factories.value(subType);
}

void GMBrushHandler::dropCaches()
{
    m_maskCache = Image();
    m_additionalCache = Image();
}

void GMBrushHandler::reset()
{
    m_additionalBrush.reset();
    dropCaches();
    m_startMaskImage = Image();
    m_startAdditionalImage = Image();
}

void GMBrushHandler::brushDownAtPoint(const OVBrush& brush, const Point& point, double faceWidth)
{
    if (m_brushDown)
        pf::warning(
            QStringLiteral("A stroke began before the last one ended; the unfinished stroke is dropped"));
    m_maskBrush = std::make_shared<OVMaskBrush>();
    m_additionalBrush.reset();
    dropCaches();

    m_maskBrush->setStartImage(m_startMaskImage);
    m_maskBrush->setBackgroundImage(m_backgroundImage);
    m_maskBrush->setFaceWidth(faceWidth);
    m_maskBrush->brushDownAtPoint(brush, point);

    // Iris replacement goes only with the click tool; healing with any tool.
    OVAdditionalBrushFactory factory;
    if (brush.brushSubType == OVBrush::IrisReplacement && brush.type == OVBrush::Click)
        factory = additionalBrushFactory(OVBrush::IrisReplacement);
    else if (brush.brushSubType == OVBrush::Healing)
        factory = additionalBrushFactory(OVBrush::Healing);
    m_additionalBrush = factory ? factory() : nullptr;
    if (m_additionalBrush) {
        m_additionalBrush->setBackgroundImage(m_backgroundImage);
        m_additionalBrush->setStartImage(m_startAdditionalImage);
        m_additionalBrush->setStartMaskImage(m_startMaskImage);
        m_additionalBrush->setFaceWidth(faceWidth);
        m_additionalBrush->brushDownAtPoint(brush, OVMaskBrush::placedPoint(point));
        if (m_additionalBrush->hasPreviewQuality())
            m_additionalBrush->setPreviewQuality(true);
    }
    m_strokeBounds = Rect::null();
    m_brushDown = true;
    m_foundNothing = false;
}

void GMBrushHandler::processPoint(const Point& point)
{
    processPoints({point});
}

void GMBrushHandler::processPoints(const std::vector<Point>& points)
{
    if (!m_brushDown)
        return;
    dropCaches();
    m_maskBrush->processPoints(points);
    m_strokeBounds =
        m_maskBrush->hasDirtyRect() ? m_strokeBounds.united(m_maskBrush->dirtyRect()) : Rect::infinite();
    if (m_additionalBrush) {
        // The points the mask brush painted, held to the same range, and none without a place.
        std::vector<Point> placed;
        for (const Point& point : points)
            if (std::isfinite(point.x) && std::isfinite(point.y))
                placed.push_back(OVMaskBrush::placedPoint(point));
        m_additionalBrush->setMaskImage(maskImage());
        if (!placed.empty())
            m_additionalBrush->processPoints(placed);
    }
}

OVContentContainerPtr GMBrushHandler::brushUp()
{
    if (!m_brushDown)
        return nullptr;

    // A click that found nothing to select is no step: the mask and the additional picture stay as they
    // were (an iris replacement would otherwise place its picture where no iris is), and the undo
    // history gains nothing the user would have to take back.
    if (m_maskBrush->foundNothing()) {
        m_maskBrush->brushUp();
        if (m_additionalBrush)
            m_additionalBrush->brushUp();
        dropCaches();
        m_brushDown = false;
        m_foundNothing = true;
        return nullptr;
    }

    if (m_additionalBrush && m_additionalBrush->hasPreviewQuality()) {
        // The final picture at full quality.
        m_additionalBrush->setPreviewQuality(false);
        m_additionalCache = Image();
    } else if (m_additionalBrush) {
        const Image fixed = ORVExtension::fixedImage(additionalImage());
        m_startAdditionalImage = fixed;
        m_additionalCache = fixed;
    }

    const Image mask = maskImage();
    const Image integrated = output(maskTools(mask, IntegrateStroke));
    const FilterPtr strokeFilter = maskTools(mask, ExtractStroke);
    const Image stroke = onlyWithin(output(strokeFilter), m_strokeBounds);

    OVContentContainerPtr container;
    if (integrated.isNull() || stroke.isNull()) {
        // Nothing can be stored; the start mask stays as it was.
        if (!mask.isNull())
            pf::error(QStringLiteral("The stroke could not be turned into a mask"));
    } else {
        m_startMaskImage = integrated;
        m_maskCache = integrated;
        container =
            std::make_shared<OVContentContainer>(std::make_shared<OVImageContainer>(stroke, true), nullptr);
        if (m_additionalBrush) {
            Image additional;
            if (m_additionalBrush->hasImageForMask()) {
                additional = m_additionalBrush->imageForMask(
                    stroke.imageByApplyingTransform(AffineTransform::scale(m_scaleFactor, m_scaleFactor)));
            } else {
                strokeFilter->setValue(QVariant::fromValue(additionalImage()),
                                       QStringLiteral("inputBackgroundImage"));
                strokeFilter->setValue(int(HardMaskWithStroke), QStringLiteral("inputNumber"));
                additional = strokeFilter->outputImage();
            }
            container->setAdditionalImageContainer(std::make_shared<OVImageContainer>(additional, false));
        }
        m_imageContainer = container;
    }

    m_maskBrush->brushUp();
    if (m_additionalBrush)
        m_additionalBrush->brushUp();
    m_brushDown = false;
    return container;
}

Image GMBrushHandler::maskImage()
{
    if (!m_maskCache.isNull())
        return m_maskCache;
    if (m_brushDown) {
        m_maskCache = m_maskBrush->image();
        return m_maskCache;
    }
    return m_startMaskImage;
}

Image GMBrushHandler::additionalImage()
{
    if (!m_additionalCache.isNull())
        return m_additionalCache;
    if (m_brushDown && m_additionalBrush) {
        m_additionalCache = m_additionalBrush->image();
        return m_additionalCache;
    }
    return m_startAdditionalImage;
}

Rect GMBrushHandler::dirtyRect() const
{
    if (m_additionalBrush && m_additionalBrush->hasDirtyRect())
        return m_additionalBrush->dirtyRect();
    if (m_maskBrush && m_maskBrush->hasDirtyRect())
        return m_maskBrush->dirtyRect();
    return Rect(0, 0, 0, 0);
}

bool GMBrushHandler::usesPreview() const
{
    return m_additionalBrush && m_additionalBrush->hasPreviewQuality();
}
