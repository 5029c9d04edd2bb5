#include "Classes/Frames/OVShapedBorderFilter.h"

#include "Classes/Filters/FrameworkFilterSupport.h"
#include "Classes/Frames/OVFrameRegions.h"
#include "Classes/Frames/OVTextureCatalog.h"
#include "Platform/Image/Sampler.h"

#include <cmath>

using namespace pf;
using FrameworkFilterSupport::var;

namespace {

Rect grown(const Rect& r, double by)
{
    return Rect(r.origin.x - by, r.origin.y - by, r.size.width + 2 * by, r.size.height + 2 * by);
}

bool bounded(const Image& image)
{
    return !image.isNull() && FrameworkFilterSupport::hasArea(image.extent()) &&
           !image.extent().isInfinite() && image.extent().width() < 1e9 && image.extent().height() < 1e9;
}

} // namespace

OVShapedBorderFilter::OVShapedBorderFilter(const QString& className)
    : OVFilter(className), m_texturize(std::make_unique<OVTexturizeFilter>())
{
    m_texturize->setImageIsMask(true);
    m_texturize->setTextureFillMode(2);
    for (const char* key : {"inputImage", "inputTextureName", "inputColor", "canvasProportion"})
        declareInput(QString::fromLatin1(key));
    declareInput(QStringLiteral("inputWidth"), {{FilterAttribute::Default, 0.0},
                                                {FilterAttribute::SliderMin, 0.0},
                                                {FilterAttribute::SliderMax, 0.2}});
    declareInput(QStringLiteral("inputTextureScale"), {{FilterAttribute::Default, 1.0},
                                                       {FilterAttribute::SliderMin, 0.1},
                                                       {FilterAttribute::SliderMax, 1.9}});
    declareInput(QStringLiteral("inputShadowWidth"), {{FilterAttribute::Default, 0.0}});
}

void OVShapedBorderFilter::registerClass()
{
    const QString name = QStringLiteral("OVShapedBorderFilter");
    // "inputWidth" is among the keys so that the effects that copy and store the filter keep the border.
    OVFilter::registerInputKeys(name, {QStringLiteral("inputImage"), QStringLiteral("inputTextureName"),
                                       QStringLiteral("inputWidth"), QStringLiteral("inputTextureScale"),
                                       QStringLiteral("inputShadowWidth")});
    OVFilter::registerForCopying(name, {QStringLiteral("inputColor"), QStringLiteral("canvasProportion")});
    Filter::registerFilter(name, [] { return std::make_shared<OVShapedBorderFilter>(); });
}

QVariantMap OVShapedBorderFilter::attributes() const
{
    QVariantMap all = OVFilter::attributes();
    const QStringList& textures = OVTextureCatalog::sharedTextureNames();
    all.insert(QStringLiteral("inputTextureName"),
               QVariantMap{{QStringLiteral("choices"), textures},
                           {FilterAttribute::Default, textures.isEmpty() ? QString() : textures.first()},
                           {FilterAttribute::Class, FilterAttribute::ClassString}});
    return all;
}

QVariant OVShapedBorderFilter::value(const QString& key) const
{
    if (key == QLatin1String("inputColor"))
        return QVariant::fromValue(m_texturize->inputColor());
    return OVFilter::value(key);
}

void OVShapedBorderFilter::setValue(const QVariant& value, const QString& key)
{
    const bool changed = !hasValue(key) || OVFilter::value(key) != value;
    if (key == QLatin1String("inputWidth")) {
        OVFilter::setValue(value.isValid() ? std::max(0.0001, value.toDouble()) : 0.0001, key);
        setCachedMask(Image());
        return;
    }
    if (key == QLatin1String("inputTextureName")) {
        OVFilter::setValue(value, key);
        m_texturize->setInputTextureName(value.toString());
        m_cachedFrame = Image();
        return;
    }
    if (key == QLatin1String("inputColor")) {
        OVFilter::setValue(value, key);
        m_texturize->setValue(value, key);
        m_cachedFrame = Image();
        return;
    }
    if ((key == QLatin1String("inputImage") || key == QLatin1String("canvasProportion")) && changed)
        setCachedMask(Image());
    if (key == QLatin1String("inputTextureScale") && changed)
        m_cachedFrame = Image();
    if (key == QLatin1String("inputShadowWidth") && changed)
        m_cachedShadow = Image();
    OVFilter::setValue(value, key);
}

void OVShapedBorderFilter::setCachedMask(const Image& mask) const
{
    if (mask == m_cachedMask)
        return;
    m_cachedMask = mask;
    m_cachedFrame = Image();
    m_cachedShadow = Image();
}

std::vector<OVShapedBorderFilter::Pass> OVShapedBorderFilter::passesForBorder(double pixels)
{
    std::vector<Pass> passes;
    double r = std::max(1.0, std::round(std::isfinite(pixels) ? pixels : 0.0)) - 1;
    while (r > 1) {
        r /= 2;
        const QString kernel = r > 16  ? QStringLiteral("pixelRing32")
                               : r > 8 ? QStringLiteral("pixelRing16")
                               : r > 2 ? QStringLiteral("pixelRing8")
                                       : QStringLiteral("pixelRing4");
        passes.push_back({r, std::ceil(r), kernel});
    }
    return passes;
}

Image OVShapedBorderFilter::cachedMask() const
{
    if (!m_cachedMask.isNull())
        return m_cachedMask;
    const Image input = imageValue(QStringLiteral("inputImage"));
    if (!bounded(input))
        return Image();
    const double pixels =
        numberValue(QStringLiteral("inputWidth"), 0.0) * numberValue(QStringLiteral("canvasProportion"), 1.0);
    const std::vector<Pass> passes = passesForBorder(pixels);
    Image working = input;
    Rect rect = input.extent();
    for (const Pass& pass : passes) {
        rect = grown(rect, pass.step);
        ApplyOptions options;
        options.definition = rect;
        options.extent = rect;
        options.regionOfInterest = OVFrameRegions::outerMaskRegion(pass.step);
        working =
            kernelWithName(pass.kernel).apply({QVariant::fromValue(Sampler(working)), pass.radius}, options);
    }
    // The first pass's radius is half the border: the ring reaches the border's whole width beyond it.
    const double first = std::max(1.0, std::round(pixels)) - 1;
    const Rect final = grown(input.extent(), std::ceil(first));
    ApplyOptions options;
    options.definition = final;
    options.extent = final;
    options.regionOfInterest = OVFrameRegions::innerMaskRegion();
    setCachedMask(
        kernelWithName(QStringLiteral("maskByCuttingImage"))
            .apply({QVariant::fromValue(Sampler(working)), QVariant::fromValue(Sampler(input))}, options));
    return m_cachedMask;
}

Image OVShapedBorderFilter::cachedShadow() const
{
    const double shadowWidth = numberValue(QStringLiteral("inputShadowWidth"));
    if (!m_cachedShadow.isNull() || !(shadowWidth > 0))
        return m_cachedShadow;
    const Image mask = cachedMask();
    const Image input = imageValue(QStringLiteral("inputImage"));
    if (mask.isNull())
        return Image();
    const Rect extent = input.extent();
    m_cachedShadow = FrameworkFilterSupport::invertedBlurOfMask(
        QStringLiteral("CIGaussianBlur"), mask, shadowWidth * std::min(extent.width(), extent.height()),
        extent);
    return m_cachedShadow;
}

Image OVShapedBorderFilter::cachedFrame() const
{
    if (!m_cachedFrame.isNull())
        return m_cachedFrame;
    const Image mask = cachedMask();
    if (mask.isNull())
        return Image();
    m_texturize->setTextureFillMode(2);
    m_texturize->setInputTextureWidth(numberValue(QStringLiteral("inputTextureScale"), 1.0) *
                                      numberValue(QStringLiteral("canvasProportion"), 1.0));
    m_texturize->setInputImage(mask);
    m_cachedFrame = m_texturize->outputImage();
    return m_cachedFrame;
}

Image OVShapedBorderFilter::outputImage() const
{
    const Image input = imageValue(QStringLiteral("inputImage"));
    if (!bounded(input))
        return input;
    const Image frame = cachedFrame();
    if (frame.isNull())
        return input;
    const Image shadow = cachedShadow();
    Image picture = input;
    if (!shadow.isNull())
        picture = FrameworkFilterSupport::applyOver(
            kernelWithName(QStringLiteral("innerMultiply")),
            {QVariant::fromValue(Sampler(input)), QVariant::fromValue(Sampler(shadow))}, input);
    return FrameworkFilterSupport::builtin(
        QStringLiteral("CISourceOverCompositing"),
        {{QStringLiteral("inputImage"), var(frame)}, {QStringLiteral("inputBackgroundImage"), var(picture)}});
}
