#include "Classes/Filters/OVWatermarkFilter.h"

#include "Classes/Filters/FrameworkFilterSupport.h"
#include "Classes/Filters/OVAdjustableBlendFilter.h"

#include <QPainter>
#include <cmath>

using namespace pf;

namespace {

const QString BackgroundKey = QStringLiteral("inputBackgroundImage");
const QString OpacityKey = QStringLiteral("opacity");
const QString BlendNameKey = QStringLiteral("blendName");
const QString WatermarkKey = QStringLiteral("watermark");
const QString CachedImageKey = QStringLiteral("cachedImage");

// Keys whose change makes the cached watermark stale.
const QStringList PlacementKeys{QStringLiteral("minSize"), QStringLiteral("maxSize"),
                                QStringLiteral("minRect"), QStringLiteral("maxRect"),
                                QStringLiteral("gravity")};

} // namespace

OVWatermarkFilter::OVWatermarkFilter(const QString& className)
    : OVFilter(className), m_blend(std::make_shared<OVAdjustableBlendFilter>())
{
    for (const QString& key : QStringList{BackgroundKey, OpacityKey, BlendNameKey, WatermarkKey} +
                                  PlacementKeys + QStringList{CachedImageKey})
        declareInput(key);
    m_blend->setDefaults();
    m_blend->setInputUseBGExtent(true);
}

void OVWatermarkFilter::registerClass()
{
    registerMember<OVWatermarkFilter>(
        QStringLiteral("OVWatermarkFilter"),
        {.copied = {BackgroundKey, OpacityKey, QStringLiteral("minSize"), QStringLiteral("maxSize"),
                    QStringLiteral("minRect"), QStringLiteral("maxRect"), WatermarkKey, BlendNameKey,
                    QStringLiteral("gravity")}});
}

void OVWatermarkFilter::setValue(const QVariant& value, const QString& key)
{
    if (key == CachedImageKey) {
        if (value.metaType() == QMetaType::fromType<Image>())
            m_cache = value.value<Image>();
        else
            m_cache.reset();
        return;
    }
    OVFilter::setValue(value, key);
    if (key == BackgroundKey) {
        m_blend->setValue(value, QStringLiteral("inputBackgroundImage"));
        m_cache.reset();
    } else if (key == OpacityKey) {
        m_blend->setValue(value, QStringLiteral("inputIntensity"));
    } else if (key == BlendNameKey) {
        m_blend->setValue(value, QStringLiteral("inputBlendName"));
    } else if (key == WatermarkKey || PlacementKeys.contains(key)) {
        m_cache.reset();
    }
}

QVariant OVWatermarkFilter::value(const QString& key) const
{
    if (key == CachedImageKey) {
        const Image image = cachedImage();
        return image.isNull() ? QVariant() : QVariant::fromValue(image);
    }
    return OVFilter::value(key);
}

void OVWatermarkFilter::setAdjustment(const Rect& maxRect, const Size& maxSize, const Rect& minRect,
                                      const Size& minSize)
{
    setValue(std::sqrt(minSize.width * minSize.height), QStringLiteral("minSize"));
    setValue(std::sqrt(maxSize.width * maxSize.height), QStringLiteral("maxSize"));
    setValue(QVariant::fromValue(minRect), QStringLiteral("minRect"));
    setValue(QVariant::fromValue(maxRect), QStringLiteral("maxRect"));
}

Rect OVWatermarkFilter::rectValue(const QString& key) const
{
    const QVariant v = OVFilter::value(key);
    if (v.metaType() == QMetaType::fromType<Rect>())
        return v.value<Rect>();
    return vectorValue(key).rect();
}

OVWatermarkFilter::Placement OVWatermarkFilter::placement() const
{
    Placement p;
    p.minSize = numberValue(QStringLiteral("minSize"));
    p.maxSize = numberValue(QStringLiteral("maxSize"));
    p.minRect = rectValue(QStringLiteral("minRect"));
    p.maxRect = rectValue(QStringLiteral("maxRect"));
    p.gravity = unsigned(std::max(0, intValue(QStringLiteral("gravity"))));
    return p;
}

std::optional<Rect> OVWatermarkFilter::watermarkRect(const Size& background, const Size& watermark,
                                                     const Placement& p)
{
    const double Ww = watermark.width;
    const double Wh = watermark.height;
    // Without a size of its own the watermark has no aspect ratio to complete a rectangle with.
    if (!(Ww > 0) || !(Wh > 0) || !std::isfinite(Ww) || !std::isfinite(Wh))
        return std::nullopt;
    const double area = std::sqrt(background.width * background.height);
    const double smin = p.minSize;
    const double smax = smin >= p.maxSize ? smin + 1 : p.maxSize;
    const double f = std::max(0.0, std::min(smax - smin, area - smin)) / (smax - smin);
    auto completed = [&](Rect r) {
        if (r.size.height <= 0)
            r.size.height = r.size.width / Ww * Wh;
        else if (r.size.width <= 0)
            r.size.width = r.size.height / Wh * Ww;
        return r;
    };
    const Rect lo = completed(p.minRect);
    const Rect hi = completed(p.maxRect);
    auto between = [f](double a, double b) { return a + (b - a) * f; };
    const double W = between(lo.size.width, hi.size.width);
    const double H = between(lo.size.height, hi.size.height);
    if (!(W > 0) || !(H > 0) || !std::isfinite(W) || !std::isfinite(H))
        return std::nullopt;
    const double mx = between(lo.origin.x, hi.origin.x);
    const double my = between(lo.origin.y, hi.origin.y);
    double x = (background.width - W) / 2;
    if (p.gravity & Left)
        x = mx;
    else if (p.gravity & Right)
        x = background.width - W - mx;
    double y = (background.height - H) / 2;
    if (p.gravity & Bottom)
        y = my;
    else if (p.gravity & Top)
        y = background.height - H - my;
    return Rect(x, y, W, H);
}

Image OVWatermarkFilter::cachedImage() const
{
    if (m_cache)
        return *m_cache;
    const QVariant mark = OVFilter::value(WatermarkKey);
    const QImage watermark =
        mark.metaType() == QMetaType::fromType<QImage>() ? mark.value<QImage>() : QImage();
    const Image background = imageValue(BackgroundKey);
    if (watermark.isNull() || background.isNull())
        return Image();
    const Rect extent = background.extent();
    if (!FrameworkFilterSupport::hasArea(extent))
        return Image();
    const std::optional<Rect> place =
        watermarkRect(extent.size, Size(watermark.width(), watermark.height()), placement());
    if (!place)
        return Image();
    // Scaled once here, in the drawing, rather than in the filter graph at every render.
    const int width = std::max(1, int(std::lround(std::min(place->width(), 16384.0))));
    const int height = std::max(1, int(std::lround(std::min(place->height(), 16384.0))));
    QImage scaled(width, height, QImage::Format_RGBA8888_Premultiplied);
    scaled.fill(Qt::transparent);
    {
        QPainter painter(&scaled);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRectF(0, 0, width, height), watermark);
    }
    m_cache = Image::fromQImage(scaled).imageByApplyingTransform(
        AffineTransform::translation(extent.minX() + place->minX(), extent.minY() + place->minY()));
    return *m_cache;
}

Image OVWatermarkFilter::outputImage() const
{
    const Image background = imageValue(BackgroundKey);
    if (background.isNull())
        return Image();
    const Image watermark = cachedImage();
    if (watermark.isNull())
        return background;
    m_blend->setInputImage(watermark);
    return m_blend->outputImage().imageByCroppingToRect(background.extent());
}
