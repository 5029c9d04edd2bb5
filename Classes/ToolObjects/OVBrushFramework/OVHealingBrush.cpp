#include "Classes/ToolObjects/OVBrushFramework/OVHealingBrush.h"

#include "Classes/Filters/OVInpaintingFilter.h"
#include "Classes/Framework/ImageFunctions.h"
#include "Classes/ToolObjects/OVBrushFramework/GMBrushHandler.h"
#include "Classes/ToolObjects/OVBrushFramework/OVBrushPathImage.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Image/AffineTileFilter.h"
#include "Platform/Image/BlendWithMaskFilter.h"
#include "Platform/Image/Color.h"
#include "Platform/Image/RenderContext.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

using namespace pf;

namespace {

// One tile of the skin texture spans this share of the face's width.
constexpr double TileShareOfFace = 0.3;
// Without a face or a picture, a width that stands in for the picture's.
constexpr double FallbackImageWidth = 2048;

Image brushMaskTools(int number, const Image& a, const Image& b = Image())
{
    FilterPtr tools = Filter::create(QStringLiteral("GMBrushMaskTools"));
    if (!tools)
        return Image();
    tools->setValue(QVariant::fromValue(a), QStringLiteral("inputImage"));
    if (!b.isNull())
        tools->setValue(QVariant::fromValue(b), QStringLiteral("inputBackgroundImage"));
    tools->setValue(number, QStringLiteral("inputNumber"));
    return tools->value(OutputImageKey).value<Image>();
}

double widthOf(const Image& image)
{
    if (image.isNull())
        return 0;
    const Rect extent = image.extent();
    return extent.isNull() || extent.isInfinite() ? 0 : extent.width();
}

// Copies the rows of `from` (placed at `at`, y up) into `to` (placed at `into`, y up) where they overlap.
void copyPixels(const Bitmap& from, const Rect& at, Bitmap& to, const Rect& into)
{
    const Rect both = at.intersected(into);
    if (both.isNull() || both.isEmpty())
        return;
    const size_t pixel = size_t(Bitmap::bytesPerPixel(from.format()));
    const int rows = int(both.height()), columns = int(both.width());
    const int fromTop = int(at.maxY() - both.maxY()), toTop = int(into.maxY() - both.maxY());
    const size_t fromLeft = size_t(both.minX() - at.minX()) * pixel;
    const size_t toLeft = size_t(both.minX() - into.minX()) * pixel;
    for (int y = 0; y < rows; ++y)
        std::memcpy(to.mutableRow(toTop + y) + toLeft, from.row(fromTop + y) + fromLeft,
                    size_t(columns) * pixel);
}

// Healing steps are rendered on a context of their own: the interface never waits for renders that
// other threads run on a shared one.
RenderContext& stepContext()
{
    // Never destroyed, like the shared context: a GL context must not be torn down at exit.
    static auto* context =
        new std::shared_ptr<RenderContext>(std::make_shared<RenderContext>(QStringLiteral("healing steps")));
    return **context;
}

} // namespace

// A brush is made for every stroke: the texture is read once for the process.
Image OVHealingBrush::stockSkinPatch()
{
    // Never destroyed: a brush may be made on a worker thread while the program exits.
    static const Image& texture =
        *new Image(stockPicture(QStringLiteral("skin texture"), QStringLiteral("SkinPatch"),
                                QStringLiteral("jpg"), QStringLiteral("healing fills without texture")));
    return texture;
}

OVHealingBrush::OVHealingBrush()
    : m_skinPatch(stockSkinPatch()), m_inpaintingFilter(std::make_shared<OVInpaintingFilter>())
{}

OVHealingBrush::~OVHealingBrush() = default;

void OVHealingBrush::registerClass()
{
    GMBrushHandler::setAdditionalBrushFactory(OVBrush::Healing,
                                              [] { return std::make_shared<OVHealingBrush>(); });
}

void OVHealingBrush::updateInputImage()
{
    // Pixels healed by earlier strokes show where the layer's mask already covers them.
    if (!m_startMaskImage.isNull() && !m_startImage.isNull())
        m_input = blendImage(m_startImage, m_backgroundImage, m_startMaskImage);
    else
        m_input = m_backgroundImage;
    m_inpaintingFilter->setInputImage(m_input);
    // What the steps healed was healed from the old input.
    m_healed = Bitmap();
    m_healedRect = Rect::null();
}

void OVHealingBrush::setMaskImage(const Image& image)
{
    m_maskImage = image;
    applyMask();
}

void OVHealingBrush::applyMask()
{
    // The stroke alone, cut to where it went: each step fills only around the stroke, not the photo.
    m_inpaintingFilter->setInputMaskImage(croppedToStroke(brushMaskTools(3, m_maskImage), 1.0));
}

void OVHealingBrush::setFaceWidth(double width)
{
    m_faceWidth = width;
    const double textureWidth = widthOf(m_skinPatch);
    if (textureWidth <= 0) {
        // No texture to scale: the fill has none.
        m_lastSkinScale = 0;
        m_inpaintingFilter->setInputFillImage(Image());
        return;
    }
    double ratio;
    if (width > 0) {
        ratio = textureWidth / width;
    } else {
        double imageWidth = widthOf(m_backgroundImage);
        if (imageWidth <= 0) {
            pf::log(QStringLiteral("Only set Face Width, when at least one image is set"));
            imageWidth = FallbackImageWidth;
        }
        ratio = textureWidth / (imageWidth * 0.5);
    }
    m_lastSkinScale = TileShareOfFace / ratio;
    m_inpaintingFilter->setInputFillImage(livePatternForScale(m_lastSkinScale));
}

bool OVHealingBrush::previewQuality() const
{
    return m_inpaintingFilter->previewQuality();
}

void OVHealingBrush::setPreviewQuality(bool preview)
{
    m_inpaintingFilter->setPreviewQuality(preview);
}

void OVHealingBrush::brushDownAtPoint(const OVBrush& brush, const Point& point)
{
    (void)point;
    m_brushSize = brush.size;
    m_inpaintingFilter->setInputRadius(brush.size);
    m_strokeBounds = Rect::null();
    m_hasLastPoint = false;
    m_healed = Bitmap();
    m_healedRect = Rect::null();
    m_lastStepArea = m_lastStepReadArea = Rect::null();
    OVBrushPathImage::prepareForColourStrokes([this] { return storingSample(); });
}

Image OVHealingBrush::storingSample() const
{
    // A small spot healed at full quality, as brush-up's picture is made (scaled up from the live
    // picture, textured, cut to the stroke): rendered in the background while this first stroke is
    // painted, the programs storing it needs are built by then.
    const Rect live = m_input.isNull() ? Rect::null() : m_input.extent();
    if (live.isNull() || live.isInfinite() || live.width() < 8 || live.height() < 8)
        return Image();
    constexpr double Scale = 4;
    constexpr int Side = 48, Hole = 12;
    Bitmap holes(Side, Side, Bitmap::Format::RGBA8, Bitmap::Fill::Zero);
    if (holes.isNull())
        return Image();
    for (int y = (Side - Hole) / 2; y < (Side + Hole) / 2; ++y) {
        uint8_t* row = holes.mutableRow(y);
        for (int x = (Side - Hole) / 2; x < (Side + Hole) / 2; ++x)
            std::memset(row + 4 * x, 255, 4);
    }
    const Point at(std::floor(live.midX() * Scale), std::floor(live.midY() * Scale));
    const Image mask =
        Image::fromBitmap(holes).imageByApplyingTransform(AffineTransform::translation(at.x, at.y));
    OVInpaintingFilter filter;
    filter.setInputImage(m_input.imageByApplyingTransform(AffineTransform::scale(Scale, Scale)));
    filter.setInputMaskImage(mask);
    if (!m_inpaintingFilter->inputFillImage().isNull())
        filter.setInputFillImage(patternForScale(m_lastSkinScale * Scale));
    filter.setInputRadius(std::max(1.0, m_brushSize) * Scale);
    filter.setPreviewQuality(false);
    const Image cut = brushMaskTools(8, mask, filter.outputImage());
    return cut.isNull() ? cut : cut.imageByCroppingToRect(Rect(at.x, at.y, Side, Side));
}

void OVHealingBrush::processPoint(const Point& point)
{
    processPoints({point});
}

void OVHealingBrush::processPoints(const std::vector<Point>& points)
{
    const Rect step = segmentRegion(points);
    for (const Point& p : points) {
        if (!std::isfinite(p.x) || !std::isfinite(p.y))
            continue; // the mask brush skips such points too
        m_strokeBounds = m_strokeBounds.united(Rect(p.x, p.y, 0, 0));
        m_lastPoint = p;
        m_hasLastPoint = true;
    }
    if (m_maskImage.isNull())
        return;
    applyMask(); // the mask came before the points that bound it
    if (previewQuality())
        healStep(step);
}

Rect OVHealingBrush::segmentRegion(const std::vector<Point>& points) const
{
    const double width = widthOf(m_maskImage);
    if (width <= 0)
        return Rect::null();
    const Rect live = m_maskImage.extent();
    Rect bounds = m_hasLastPoint ? Rect(m_lastPoint.x, m_lastPoint.y, 0, 0) : Rect::null();
    for (const Point& p : points)
        if (std::isfinite(p.x) && std::isfinite(p.y))
            bounds = bounds.united(Rect(p.x, p.y, 0, 0));
    if (bounds.isNull())
        return Rect::null();
    // As far from the segments as the stroke's region reaches from its points.
    const double reach = m_brushSize / 2 + 2;
    return Rect(bounds.minX() * live.width() - reach, bounds.minY() * live.height() - reach,
                bounds.width() * live.width() + 2 * reach, bounds.height() * live.height() + 2 * reach)
        .integral()
        .intersected(live.integral());
}

void OVHealingBrush::healStep(const Rect& region)
{
    if (region.isNull() || region.isEmpty() || m_input.isNull())
        return;
    OVInpaintingFilter& filter = *m_inpaintingFilter;
    const Image strokeMask = filter.inputMaskImage();
    // The step's part of the stroke, filled with what earlier steps healed around it as its border.
    const Image stepMask = brushMaskTools(3, m_maskImage);
    if (stepMask.isNull())
        return;
    const Image healed = healedSoFar();
    filter.setInputImage(healed);
    filter.setInputMaskImage(stepMask.imageByCroppingToRect(region));
    m_lastStepReadArea = filter.readArea();
    if (m_lastStepReadArea.isNull()) {
        m_lastStepReadArea = m_input.extent(); // the whole picture: a photo smaller than the margin
    } else if (const auto part = stepContext().render(healed, m_lastStepReadArea, Bitmap::Format::RGBAf)) {
        // The fill reads only this part: made pixels first, the fill's passes read those few pixels
        // instead of the layer-sized pictures the input is made of. Its frame stays the picture's, so
        // the fill tells the picture's edges from the part's as before.
        const Image pixels = Image::fromBitmap(*part).imageByApplyingTransform(
            AffineTransform::translation(m_lastStepReadArea.minX(), m_lastStepReadArea.minY()));
        filter.setInputImage(framedImage(pixels, m_lastStepReadArea, healed.extent()));
    }
    const Image filled = filter.outputImage();
    filter.setInputImage(m_input);
    filter.setInputMaskImage(strokeMask);
    const auto pixels = stepContext().render(filled, region, Bitmap::Format::RGBAf);
    if (!pixels) {
        pf::warning(QStringLiteral("A healing step could not be drawn; the stroke's preview misses it"));
        return;
    }
    m_lastStepArea = region;
    // The kept pixels grow to hold the step; what no step covered yet is the input's.
    const Rect grown = m_healedRect.isNull() ? region : m_healedRect.united(region);
    if (grown != m_healedRect) {
        Bitmap canvas(int(grown.width()), int(grown.height()), Bitmap::Format::RGBAf,
                      Bitmap::Fill::Uninitialized);
        if (canvas.isNull()) {
            pf::warning(
                QStringLiteral("No memory for the healing preview; the stroke's preview misses a step"));
            return;
        }
        // The bands of the grown part around the old one (all of it at the first step).
        std::vector<Rect> fresh;
        if (m_healedRect.isNull()) {
            fresh.push_back(grown);
        } else {
            const Rect& old = m_healedRect;
            fresh = {Rect(grown.minX(), old.maxY(), grown.width(), grown.maxY() - old.maxY()),
                     Rect(grown.minX(), grown.minY(), grown.width(), old.minY() - grown.minY()),
                     Rect(grown.minX(), old.minY(), old.minX() - grown.minX(), old.height()),
                     Rect(old.maxX(), old.minY(), grown.maxX() - old.maxX(), old.height())};
        }
        for (const Rect& band : fresh) {
            if (band.isEmpty() || band.width() <= 0 || band.height() <= 0)
                continue;
            // Where the step lands it is drawn over at once.
            if (region.contains(band))
                continue;
            const auto input = stepContext().render(m_input, band, Bitmap::Format::RGBAf);
            if (!input) {
                pf::warning(
                    QStringLiteral("A healing step could not be drawn; the stroke's preview misses it"));
                return;
            }
            copyPixels(*input, band, canvas, grown);
        }
        if (!m_healed.isNull())
            copyPixels(m_healed, m_healedRect, canvas, grown);
        m_healed = canvas;
        m_healedRect = grown;
    }
    copyPixels(*pixels, region, m_healed, m_healedRect);
}

Image OVHealingBrush::healedSoFar() const
{
    if (m_healed.isNull())
        return m_input;
    const Image healed = Image::fromBitmap(m_healed).imageByApplyingTransform(
        AffineTransform::translation(m_healedRect.minX(), m_healedRect.minY()));
    // Laid in exactly, not composited: the input's own alpha stays where nothing changed.
    return blendImage(healed, m_input,
                      Image::constantColor(Color(1, 1, 1)).imageByCroppingToRect(m_healedRect));
}

Rect OVHealingBrush::strokeRegion(double scale) const
{
    const double width = widthOf(m_maskImage);
    if (m_strokeBounds.isNull() || width <= 0)
        return Rect::null();
    const Rect live = m_maskImage.extent();
    // The brush paints within half its size of the segments between the points; a pixel more for the
    // soft edge and the scaling.
    const double reach = m_brushSize / 2 + 2;
    const Rect pixels(m_strokeBounds.minX() * live.width() - reach,
                      m_strokeBounds.minY() * live.height() - reach,
                      m_strokeBounds.width() * live.width() + 2 * reach,
                      m_strokeBounds.height() * live.height() + 2 * reach);
    return Rect(pixels.minX() * scale, pixels.minY() * scale, pixels.width() * scale, pixels.height() * scale)
        .integral();
}

Image OVHealingBrush::croppedToStroke(const Image& mask, double scale) const
{
    const Rect region = strokeRegion(scale);
    if (mask.isNull() || region.isNull())
        return mask;
    return mask.imageByCroppingToRect(region);
}

Image OVHealingBrush::image() const
{
    // A preview is what the steps filled, each once; nothing is filled again when it is drawn.
    if (previewQuality())
        return healedSoFar();
    return m_inpaintingFilter->outputImage();
}

Image OVHealingBrush::imageForMask(const Image& mask)
{
    const double liveWidth = widthOf(m_maskImage);
    const double s = liveWidth > 0 && widthOf(mask) > 0 ? widthOf(mask) / liveWidth : 1.0;
    OVInpaintingFilter& filter = *m_inpaintingFilter;
    const Image inputImage = filter.inputImage();
    const Image maskImage = filter.inputMaskImage();
    const Image fillImage = filter.inputFillImage();
    const double radius = filter.inputRadius();
    const bool preview = filter.previewQuality();

    filter.setInputImage(inputImage.imageByApplyingTransform(AffineTransform::scale(s, s)));
    // The final mask is already the stroke alone; cut to where the stroke went, the fill works only there.
    filter.setInputMaskImage(croppedToStroke(mask, s));
    filter.setInputFillImage(fillImage.isNull() ? Image() : patternForScale(m_lastSkinScale * s));
    filter.setInputRadius(radius * s);
    filter.setPreviewQuality(false);
    const Image healed = filter.outputImage();

    filter.setInputImage(inputImage);
    filter.setInputMaskImage(maskImage);
    filter.setInputFillImage(fillImage);
    filter.setInputRadius(radius);
    filter.setPreviewQuality(preview);

    // Healed pixels exist only under the stroke: the picture keeps the whole frame as its extent (it
    // is placed by it) but is defined only around the stroke, so storing it renders only that part.
    const Image cut = brushMaskTools(8, mask, healed);
    const Rect region = strokeRegion(s);
    return cut.isNull() || region.isNull() ? cut : framedImage(cut, region, cut.extent());
}

Image OVHealingBrush::blendImage(const Image& image, const Image& background, const Image& mask)
{
    BlendWithMaskFilter blend;
    blend.setValue(QVariant::fromValue(image), QStringLiteral("inputImage"));
    blend.setValue(QVariant::fromValue(background), QStringLiteral("inputBackgroundImage"));
    blend.setValue(QVariant::fromValue(mask), QStringLiteral("inputMaskImage"));
    return blend.outputImage();
}

Image OVHealingBrush::livePatternForScale(double k) const
{
    const double width = widthOf(m_skinPatch);
    if (!(k > 0) || k > 1 || width <= 0)
        return patternForScale(k);
    const double height = m_skinPatch.extent().height();
    const int columns = int(std::lround(width * k)), rows = int(std::lround(height * k));
    if (columns < 2 || rows < 2)
        return patternForScale(k);
    // Tiles of one texture at one size, kept for the next strokes (a brush lives for one stroke).
    struct Tile
    {
        Image texture;
        int columns = 0, rows = 0;
        Image pattern;
    };
    static std::mutex mutex;
    static Tile kept;
    {
        std::lock_guard lock(mutex);
        if (kept.texture == m_skinPatch && kept.columns == columns && kept.rows == rows)
            return kept.pattern;
    }
    // The scale is rounded so that one period of the pattern is whole pixels (under a pixel's change of
    // the tile's size): those pixels, repeated, are the pattern.
    AffineTileFilter plane;
    plane.setValue(QVariant::fromValue(m_skinPatch), QStringLiteral("inputImage"));
    plane.setValue(QVariant::fromValue(AffineTransform::scale(columns / width, rows / height)),
                   QStringLiteral("inputTransform"));
    const auto pixels =
        stepContext().render(plane.outputImage(), Rect(0, 0, columns, rows), Bitmap::Format::RGBAf);
    if (!pixels)
        return patternForScale(k);
    AffineTileFilter tile;
    tile.setValue(QVariant::fromValue(Image::fromBitmap(*pixels)), QStringLiteral("inputImage"));
    tile.setValue(QVariant::fromValue(AffineTransform::identity()), QStringLiteral("inputTransform"));
    const Image pattern = tile.outputImage();
    std::lock_guard lock(mutex);
    kept = Tile{m_skinPatch, columns, rows, pattern};
    return pattern;
}

Image OVHealingBrush::patternForScale(double k) const
{
    if (m_skinPatch.isNull())
        return Image();
    AffineTileFilter tile;
    tile.setValue(QVariant::fromValue(m_skinPatch), QStringLiteral("inputImage"));
    tile.setValue(QVariant::fromValue(AffineTransform::scale(k, k)), QStringLiteral("inputTransform"));
    return tile.outputImage();
}
