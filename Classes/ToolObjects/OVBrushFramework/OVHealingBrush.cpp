#include "Classes/ToolObjects/OVBrushFramework/OVHealingBrush.h"

#include "Classes/Filters/OVInpaintingFilter.h"
#include "Classes/Framework/ImageFunctions.h"
#include "Classes/ToolObjects/OVBrushFramework/GMBrushHandler.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Image/AffineTileFilter.h"
#include "Platform/Image/BlendWithMaskFilter.h"

#include <cmath>

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

} // namespace

OVHealingBrush::OVHealingBrush() : m_inpaintingFilter(std::make_shared<OVInpaintingFilter>())
{
    const QString path = Bundle::main().pathForResource(QStringLiteral("SkinPatch"), QStringLiteral("jpg"));
    QString error;
    if (!path.isEmpty())
        m_skinPatch = Image::fromFile(path, &error);
    if (m_skinPatch.isNull())
        pf::warning(QStringLiteral("The skin texture \"SkinPatch.jpg\" is missing or unreadable%1; healing "
                                   "fills without texture")
                        .arg(error.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(error)));
}

OVHealingBrush::~OVHealingBrush() = default;

void OVHealingBrush::registerClass()
{
    GMBrushHandler::setAdditionalBrushFactory(OVBrush::Healing,
                                              [] { return std::make_shared<OVHealingBrush>(); });
}

void OVHealingBrush::setStartImage(const Image& image)
{
    m_startImage = image;
    updateInputImage();
}

void OVHealingBrush::setBackgroundImage(const Image& image)
{
    m_backgroundImage = image;
    updateInputImage();
}

void OVHealingBrush::setStartMaskImage(const Image& image)
{
    m_startMaskImage = image;
    updateInputImage();
}

void OVHealingBrush::updateInputImage()
{
    // Pixels healed by earlier strokes show where the layer's mask already covers them.
    if (!m_startMaskImage.isNull() && !m_startImage.isNull())
        m_inpaintingFilter->setInputImage(blendImage(m_startImage, m_backgroundImage, m_startMaskImage));
    else
        m_inpaintingFilter->setInputImage(m_backgroundImage);
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
    m_inpaintingFilter->setInputFillImage(patternForScale(m_lastSkinScale));
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
}

void OVHealingBrush::processPoint(const Point& point)
{
    processPoints({point});
}

void OVHealingBrush::processPoints(const std::vector<Point>& points)
{
    for (const Point& p : points)
        m_strokeBounds = m_strokeBounds.united(Rect(p.x, p.y, 0, 0));
    if (!m_maskImage.isNull())
        applyMask(); // the mask came before the points that bound it
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

Image OVHealingBrush::patternForScale(double k) const
{
    if (m_skinPatch.isNull())
        return Image();
    AffineTileFilter tile;
    tile.setValue(QVariant::fromValue(m_skinPatch), QStringLiteral("inputImage"));
    tile.setValue(QVariant::fromValue(AffineTransform::scale(k, k)), QStringLiteral("inputTransform"));
    return tile.outputImage();
}
