#include "Classes/Frames/OVShapedBorderFilter.h"

#include "Classes/Filters/FrameworkFilterSupport.h"
#include "Classes/Frames/OVFrameBand.h"
#include "Classes/Frames/OVFrameRegions.h"
#include "Classes/Frames/OVTextureCatalog.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/Image/CpuRendering.h"
#include "Platform/Image/RenderContext.h"
#include "Platform/Image/Sampler.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

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

// Coverage on whole pixels (x0, y0 the lower-left pixel, rows y-up), nothing outside, with the largest
// and smallest value of every block of pixels, so that whole blocks can be decided at once.
struct Coverage
{
    static constexpr int Block = 16;
    int x0 = 0, y0 = 0, width = 0, height = 0;
    std::vector<float> values;
    std::vector<float> blockMax, blockMin;
    int blockColumns = 0, blockRows = 0;

    float at(int x, int y) const
    {
        x -= x0;
        y -= y0;
        return x < 0 || y < 0 || x >= width || y >= height ? 0.0f
                                                           : values[size_t(y) * size_t(width) + size_t(x)];
    }
    // Between pixel centres, as a kernel's sample reads.
    float sample(double px, double py) const
    {
        const double fx = px - 0.5, fy = py - 0.5;
        const double ix = std::floor(fx), iy = std::floor(fy);
        const float tx = float(fx - ix), ty = float(fy - iy);
        const int x = int(ix), y = int(iy);
        const float bottom = at(x, y) + (at(x + 1, y) - at(x, y)) * tx;
        const float top = at(x, y + 1) + (at(x + 1, y + 1) - at(x, y + 1)) * tx;
        return bottom + (top - bottom) * ty;
    }
    void summarise()
    {
        blockColumns = (width + Block - 1) / Block;
        blockRows = (height + Block - 1) / Block;
        blockMax.assign(size_t(blockColumns) * size_t(blockRows), 0.0f);
        blockMin.assign(blockMax.size(), 1.0f);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const float v = values[size_t(y) * size_t(width) + size_t(x)];
                const size_t b = size_t(y / Block) * size_t(blockColumns) + size_t(x / Block);
                blockMax[b] = std::max(blockMax[b], v);
                blockMin[b] = std::min(blockMin[b], v);
            }
    }
    // Bounds of the values in the pixels [ax, bx) x [ay, by) (0 outside), by whole blocks: at least the
    // largest value, at most the smallest.
    std::pair<float, float> range(int ax, int ay, int bx, int by) const
    {
        float most = 0.0f, least = 1.0f;
        if (ax < x0 || ay < y0 || bx > x0 + width || by > y0 + height)
            least = 0.0f;
        const int cx0 = std::max(ax, x0), cy0 = std::max(ay, y0);
        const int cx1 = std::min(bx, x0 + width), cy1 = std::min(by, y0 + height);
        if (cx0 >= cx1 || cy0 >= cy1)
            return {0.0f, 0.0f};
        for (int r = (cy0 - y0) / Block; r <= (cy1 - 1 - y0) / Block; ++r)
            for (int c = (cx0 - x0) / Block; c <= (cx1 - 1 - x0) / Block; ++c) {
                const size_t b = size_t(r) * size_t(blockColumns) + size_t(c);
                most = std::max(most, blockMax[b]);
                least = std::min(least, blockMin[b]);
            }
        return {most, least};
    }
};

// One ring pass on the CPU, as the ring kernels compute it: a pixel takes the largest coverage of its
// own centre and of `count` points on the circle of radius r around it, at most 1. Blocks whose
// neighbourhood is bare stay 0 and blocks already covered stay 1 without reading the circle.
Coverage grownCoverage(const Coverage& shape, const Rect& rect, double r, int count)
{
    Coverage grown;
    grown.x0 = int(rect.minX());
    grown.y0 = int(rect.minY());
    grown.width = int(rect.width());
    grown.height = int(rect.height());
    grown.values.assign(size_t(grown.width) * size_t(grown.height), 0.0f);
    std::vector<std::pair<double, double>> ring;
    for (int i = 0; i < count; ++i) {
        const double a = 6.283185307 * i / count;
        ring.emplace_back(r * std::cos(a), r * std::sin(a));
    }
    const int reach = int(std::ceil(r)) + 1;
    const int rows = (grown.height + Coverage::Block - 1) / Coverage::Block;
    const int columns = (grown.width + Coverage::Block - 1) / Coverage::Block;
    CpuRendering::inBands(rows, [&](int begin, int end) {
        for (int br = begin; br < end; ++br)
            for (int bc = 0; bc < columns; ++bc) {
                const int ax = grown.x0 + bc * Coverage::Block, ay = grown.y0 + br * Coverage::Block;
                const int bx = std::min(ax + Coverage::Block, grown.x0 + grown.width);
                const int by = std::min(ay + Coverage::Block, grown.y0 + grown.height);
                if (shape.range(ax - reach, ay - reach, bx + reach, by + reach).first <= 0)
                    continue;
                const bool covered = shape.range(ax, ay, bx, by).second >= 1;
                for (int y = ay; y < by; ++y) {
                    float* out = &grown.values[size_t(y - grown.y0) * size_t(grown.width)];
                    for (int x = ax; x < bx; ++x) {
                        float m = shape.at(x, y);
                        if (!covered && m < 1.0f)
                            for (const auto& [dx, dy] : ring)
                                m = std::max(m, shape.sample(x + 0.5 + dx, y + 0.5 + dy));
                        out[x - grown.x0] = covered ? 1.0f : std::clamp(m, 0.0f, 1.0f);
                    }
                }
            }
    });
    grown.summarise();
    return grown;
}

// The ring mask the passes and "maskByCuttingImage" make, worked out on the CPU from the input's
// coverage: the kernels read a circle of points around every pixel of every pass, which where kernels
// run on a processor costs far more than the few pixels near the shape's edge that the circle can
// change. Null when the input cannot be read into memory (the kernels then do the work).
Image ringOnCpu(const Image& input, const std::vector<OVShapedBorderFilter::Pass>& passes, const Rect& final)
{
    const Rect extent = input.extent().integral();
    if (extent.width() * extent.height() > 256.0 * 1024 * 1024)
        return Image();
    const std::optional<Bitmap> pixels =
        RenderContext::shared()->render(input, extent, Bitmap::Format::RGBA8, RenderContext::Reuse::Discard);
    if (!pixels)
        return Image();
    Coverage shape;
    shape.x0 = int(extent.minX());
    shape.y0 = int(extent.minY());
    shape.width = pixels->width();
    shape.height = pixels->height();
    shape.values.resize(size_t(shape.width) * size_t(shape.height));
    for (int y = 0; y < shape.height; ++y) {
        const uint8_t* row = pixels->row(shape.height - 1 - y);
        for (int x = 0; x < shape.width; ++x)
            shape.values[size_t(y) * size_t(shape.width) + size_t(x)] = row[x * 4 + 3] / 255.0f;
    }
    shape.summarise();
    Coverage grown = shape;
    Rect rect = extent;
    for (const OVShapedBorderFilter::Pass& pass : passes) {
        rect = Rect(rect.minX() - pass.step, rect.minY() - pass.step, rect.width() + 2 * pass.step,
                    rect.height() + 2 * pass.step);
        const int count = pass.kernel == QLatin1String("pixelRing32")   ? 32
                          : pass.kernel == QLatin1String("pixelRing16") ? 16
                          : pass.kernel == QLatin1String("pixelRing8")  ? 8
                                                                        : 4;
        grown = grownCoverage(grown, rect.integral(), pass.radius, count);
    }
    const Rect whole = final.integral();
    Bitmap ring(int(whole.width()), int(whole.height()), Bitmap::Format::RGBA8);
    if (ring.isNull())
        return Image();
    CpuRendering::inBands(ring.height(), [&](int begin, int end) {
        for (int row = begin; row < end; ++row) {
            uint8_t* out = ring.mutableRow(row);
            const int y = int(whole.maxY()) - 1 - row;
            for (int x = int(whole.minX()); x < int(whole.maxX()); ++x) {
                const float m = std::clamp(grown.at(x, y) * (1.0f - shape.at(x, y)), 0.0f, 1.0f);
                const uint8_t v = uint8_t(std::lround(m * 255.0f));
                uint8_t* p = out + size_t(x - int(whole.minX())) * 4;
                p[0] = p[1] = p[2] = p[3] = v;
            }
        }
    });
    return Image::fromBitmap(ring).imageByApplyingTransform(
        AffineTransform::translation(whole.minX(), whole.minY()));
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
        // Those who show this filter's settings hear of the texture's colour from this filter, not
        // from the texturize filter inside it.
        if (!value.toString().isNull())
            NotificationCenter::defaultCenter().post(QStringLiteral("ovfilterSettings"), this);
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
    const Image ring =
        kernelWithName(QStringLiteral("maskByCuttingImage"))
            .apply({QVariant::fromValue(Sampler(working)), QVariant::fromValue(Sampler(input))}, options);
    // Kept as pixels, as the border and the shadow made from it are.
    Image kept = ringOnCpu(input, passes, final);
    if (kept.isNull())
        kept = OVFrameBand::pixels(ring, final, Rect::null(), Bitmap::Format::RGBA8);
    setCachedMask(kept.isNull() ? ring : kept);
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
    const Image shadow = FrameworkFilterSupport::invertedBlurOfMask(
        QStringLiteral("CIGaussianBlur"), mask, shadowWidth * std::min(extent.width(), extent.height()),
        extent);
    // Kept as the grey factor it multiplies the picture by.
    const Image factor = FrameworkFilterSupport::applyOver(kernelWithName(QStringLiteral("shadowFactor")),
                                                           {QVariant::fromValue(Sampler(shadow))}, shadow);
    const Image pixels = OVFrameBand::pixels(factor, extent, Rect::null(), Bitmap::Format::Gray8);
    m_cachedShadow = pixels.isNull() ? shadow : pixels;
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
    const Image frame = m_texturize->outputImage();
    const Image pixels = frame.isNull()
                             ? Image()
                             : OVFrameBand::pixels(frame, mask.extent(), Rect::null(), Bitmap::Format::RGBA8);
    m_cachedFrame = pixels.isNull() ? frame : pixels;
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
