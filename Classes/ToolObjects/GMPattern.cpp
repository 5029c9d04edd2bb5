#include "Classes/ToolObjects/GMPattern.h"

#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Image/RenderContext.h"
#include "Platform/Image/Vector.h"

#include <algorithm>
#include <cmath>

using namespace pf;

GMPattern::GMPattern(const Image& tile, const Size& size)
    : m_singlePattern(tile), m_patternImageSize(size),
      m_imageWithPatternFilter(Filter::create(QStringLiteral("GMImageWithPatternFilter")))
{
    if (m_imageWithPatternFilter) {
        m_imageWithPatternFilter->setDefaults();
        m_imageWithPatternFilter->setValue(QVariant::fromValue(Vector(0, 0)), QStringLiteral("inputOffset"));
        m_imageWithPatternFilter->setValue(QVariant::fromValue(Vector(1, 1)),
                                           QStringLiteral("inputZoomFactors"));
    }
    setCurrentTargetFrame(Rect(0, 0, 1, 1));
    m_transformValuesDidChange = false;
}

GMPattern GMPattern::fromFile(const QString& path, const Size& size)
{
    QString error;
    const Image tile = Image::fromFile(path, &error);
    if (tile.isNull())
        pf::warning(QStringLiteral("GMPattern could not read the pattern %1: %2").arg(path, error));
    return GMPattern(tile, size);
}

GMPattern GMPattern::fromDictionary(const QVariantMap& dictionary, const Size& size)
{
    const QString fileName = dictionary.value(QStringLiteral("fileName")).toString();
    const QStringList parts = fileName.split(QLatin1Char('.'));
    const QString path = Bundle::main().pathForResource(parts.value(0), parts.value(1));
    if (path.isEmpty())
        pf::warning(QStringLiteral("GMPattern could not find the pattern %1").arg(fileName));
    GMPattern pattern = path.isEmpty() ? GMPattern(Image(), size) : fromFile(path, size);
    pattern.m_ownSizeRelativeToTargetWidth =
        dictionary.value(QStringLiteral("relativeSizeToTarget")).toDouble();
    return pattern;
}

bool GMPattern::hasTile() const
{
    return !m_singlePattern.isNull();
}

Image GMPattern::patternImage()
{
    if (m_patternImage.isNull() || m_transformValuesDidChange)
        createPatternImage();
    return m_patternImage;
}

void GMPattern::createPatternImage()
{
    if (!hasTile())
        return;
    m_patternImage = ciPatternImage();
    m_transformValuesDidChange = false;
}

Image GMPattern::ciPatternImage() const
{
    // A tile without width has no scale to tile at.
    if (!hasTile() || !m_imageWithPatternFilter || wholeZoom() <= 0)
        return Image();
    m_imageWithPatternFilter->setValue(QVariant::fromValue(m_singlePattern), QStringLiteral("inputImage"));
    m_imageWithPatternFilter->setValue(
        QVariant::fromValue(
            Vector(m_resizeFactor * m_patternImageSize.width, m_resizeFactor * m_patternImageSize.height)),
        QStringLiteral("inputSize"));
    return m_imageWithPatternFilter->value(OutputImageKey).value<Image>();
}

void GMPattern::setSinglePattern(const Image& tile)
{
    if (tile.isNull())
        return;
    m_singlePattern = tile;
    m_isCutOutFromImage = false;
    updateTransformParameters();
}

void GMPattern::setCurrentTargetFrame(const Rect& frame)
{
    m_currentTargetFrame = frame;
    m_zoomFactors = Size(1.0 / frame.width(), 1.0 / frame.height());
    updateTransformParameters();
}

double GMPattern::wholeZoom() const
{
    const Rect extent = hasTile() ? m_singlePattern.extent() : Rect::null();
    if (extent.isNull() || extent.isInfinite() || !(extent.width() > 0))
        return 0;
    const double wanted = std::ceil(std::max(6.0, m_targetWidthInPixels * m_ownSizeRelativeToTargetWidth));
    return std::ceil(wanted / extent.width());
}

double GMPattern::zoom() const
{
    const double r = m_originalImageSize.width > 0
                         ? m_resizeFactor * m_patternImageSize.width / m_originalImageSize.width
                         : 1.0;
    return wholeZoom() * m_zoomFactors.width * r * m_resizeFactor;
}

void GMPattern::updateTransformParameters()
{
    if (!hasTile() || !m_imageWithPatternFilter || wholeZoom() <= 0)
        return;
    const double z = zoom();
    const Rect& frame = m_currentTargetFrame;
    double x, y;
    if (m_originalImageSize.width > 0) {
        x = m_originalImageSize.width * frame.minX() * m_resizeFactor;
        y = frame.minY() * m_originalImageSize.height * m_resizeFactor;
    } else {
        x = frame.minX() * m_patternImageSize.width;
        y = frame.minY() * m_patternImageSize.height;
    }
    m_imageWithPatternFilter->setValue(QVariant::fromValue(Vector(-std::floor(x), -std::floor(y))),
                                       QStringLiteral("inputOffset"));
    m_imageWithPatternFilter->setValue(QVariant::fromValue(Vector(z, z)), QStringLiteral("inputZoomFactors"));
    m_transformValuesDidChange = true;
}

Image GMPattern::gaussBlurImage(const Image& image, double radius) const
{
    FilterPtr blur = Filter::create(QStringLiteral("CIGaussianBlur"));
    if (!blur || image.isNull())
        return Image();
    blur->setValue(QVariant::fromValue(image), QStringLiteral("inputImage"));
    blur->setValue(radius, QStringLiteral("inputRadius"));
    const Image blurred = blur->value(OutputImageKey).value<Image>();
    return blurred.isNull() ? Image() : blurred.imageByCroppingToRect(image.extent());
}

Image GMPattern::ciimageByApplyTransform(const AffineTransform& transform, const Image& image) const
{
    FilterPtr clamp = Filter::create(QStringLiteral("CIAffineClamp"));
    if (!clamp || image.isNull())
        return Image();
    clamp->setValue(QVariant::fromValue(image), QStringLiteral("inputImage"));
    clamp->setValue(QVariant::fromValue(transform), QStringLiteral("inputTransform"));
    return clamp->value(OutputImageKey).value<Image>();
}

Image GMPattern::affineClampScaleImage(const Image& image, double k) const
{
    const Image scaled = ciimageByApplyTransform(AffineTransform::scale(k, k), image);
    if (scaled.isNull())
        return Image();
    return scaled.imageByCroppingToRect(AffineTransform::scale(k, k).map(image.extent()));
}

Bitmap GMPattern::newPatternCGImage() const
{
    const double z0 = wholeZoom();
    if (z0 <= 0)
        return Bitmap();
    const Rect tileRect = m_singlePattern.extent();
    const std::optional<Bitmap> tile =
        RenderContext::shared()->render(m_singlePattern, tileRect, Bitmap::Format::RGBAf);
    if (!tile || tile->width() <= 0 || tile->height() <= 0)
        return Bitmap();
    const double width = std::trunc(m_patternImageSize.width), height = std::trunc(m_patternImageSize.height);
    if (!(width >= 1 && height >= 1 && width <= 1e6 && height <= 1e6))
        return Bitmap();
    Bitmap out(int(width), int(height), Bitmap::Format::RGBAf, Bitmap::Fill::Uninitialized);
    if (out.isNull()) {
        pf::warning(
            QStringLiteral("default context creation failed with 32 bits/component and colorSpace sRGB, "
                           "try alternative"));
        out = Bitmap(int(width), int(height), Bitmap::Format::RGBA8, Bitmap::Fill::Uninitialized);
        if (out.isNull())
            return Bitmap();
    }
    // The enlarged tile's size in whole pixels, held to the pattern's size (a degenerate frame can make
    // the zoom unbounded).
    const double z = zoom();
    auto tileSide = [&](double side, double limit) {
        const double scaled = std::ceil(side * z);
        return std::isfinite(scaled) ? int(std::clamp(scaled, 1.0, limit)) : int(limit);
    };
    const int tw = tileSide(tileRect.width(), width), th = tileSide(tileRect.height(), height);
    const int sw = tile->width(), sh = tile->height();
    const bool floats = out.format() == Bitmap::Format::RGBAf;
    for (int row = 0; row < out.height(); ++row) {
        // Tiles start at the bottom-left corner; rows of both bitmaps run top-down.
        const int up = out.height() - 1 - row;
        const int sy = std::min(sh - 1, int((up % th + 0.5) * sh / th));
        const float* source = reinterpret_cast<const float*>(tile->row(sh - 1 - sy));
        uint8_t* target = out.mutableRow(row);
        for (int x = 0; x < out.width(); ++x) {
            const int sx = std::min(sw - 1, int((x % tw + 0.5) * sw / tw));
            const float* p = source + size_t(sx) * 4;
            if (floats) {
                std::copy(p, p + 4, reinterpret_cast<float*>(target) + size_t(x) * 4);
            } else {
                for (int c = 0; c < 4; ++c)
                    target[size_t(x) * 4 + c] = uint8_t(std::lround(std::clamp(p[c], 0.0f, 1.0f) * 255));
            }
        }
    }
    return out;
}
