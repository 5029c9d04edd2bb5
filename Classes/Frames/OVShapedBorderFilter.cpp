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
#include <memory>
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
    // Not zeroed when made: every pass writes each of its pixels.
    std::unique_ptr<float[]> values;
    std::vector<float> blockMax, blockMin;
    int blockColumns = 0, blockRows = 0;

    Coverage(int left, int bottom, int w, int h)
        : x0(left), y0(bottom), width(w), height(h), values(new float[size_t(w) * size_t(h)]),
          blockColumns((w + Block - 1) / Block), blockRows((h + Block - 1) / Block)
    {
        blockMax.assign(size_t(blockColumns) * size_t(blockRows), 0.0f);
        blockMin.assign(blockMax.size(), 1.0f);
    }

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
    // The largest and smallest value of the blocks of rows [begin, end) of blocks.
    void summarise(int begin, int end)
    {
        for (int br = begin; br < end; ++br)
            for (int bc = 0; bc < blockColumns; ++bc) {
                float most = 0.0f, least = 1.0f;
                for (int y = br * Block; y < std::min((br + 1) * Block, height); ++y) {
                    const float* row = &values[size_t(y) * size_t(width)];
                    for (int x = bc * Block; x < std::min((bc + 1) * Block, width); ++x) {
                        most = std::max(most, row[x]);
                        least = std::min(least, row[x]);
                    }
                }
                const size_t b = size_t(br) * size_t(blockColumns) + size_t(bc);
                blockMax[b] = most;
                blockMin[b] = least;
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

// One point of the circle a ring pass reads, relative to the pixel: a bilinear read between the
// pixel (ox, oy) away and its neighbours above and to the right, weighed by (tx, ty). The same for
// every pixel, since pixels lie on whole coordinates.
struct RingPoint
{
    double dx, dy;
    int ox, oy;
    float tx, ty;
};

// One ring pass on the CPU, as the ring kernels compute it: a pixel takes the largest coverage of its
// own centre and of `count` points on the circle of radius r around it, at most 1. Blocks whose
// neighbourhood is bare stay 0 and blocks already covered stay 1 without reading the circle; a pixel
// stops reading its circle once it is covered.
Coverage grownCoverage(const Coverage& shape, const Rect& rect, double r, int count)
{
    Coverage grown(int(rect.minX()), int(rect.minY()), int(rect.width()), int(rect.height()));
    std::vector<RingPoint> ring;
    for (int i = 0; i < count; ++i) {
        const double a = 6.283185307 * i / count;
        RingPoint p{r * std::cos(a), r * std::sin(a), 0, 0, 0, 0};
        p.ox = int(std::floor(p.dx));
        p.oy = int(std::floor(p.dy));
        p.tx = float(p.dx - p.ox);
        p.ty = float(p.dy - p.oy);
        ring.push_back(p);
    }
    const int reach = int(std::ceil(r)) + 1;
    const size_t stride = size_t(shape.width);
    CpuRendering::inBands(grown.blockRows, [&](int begin, int end) {
        for (int br = begin; br < end; ++br)
            for (int bc = 0; bc < grown.blockColumns; ++bc) {
                const int ax = grown.x0 + bc * Coverage::Block, ay = grown.y0 + br * Coverage::Block;
                const int bx = std::min(ax + Coverage::Block, grown.x0 + grown.width);
                const int by = std::min(ay + Coverage::Block, grown.y0 + grown.height);
                const size_t b = size_t(br) * size_t(grown.blockColumns) + size_t(bc);
                const auto fill = [&](float value) {
                    for (int y = ay; y < by; ++y) {
                        float* out = &grown.values[size_t(y - grown.y0) * size_t(grown.width)];
                        std::fill(out + (ax - grown.x0), out + (bx - grown.x0), value);
                    }
                    grown.blockMax[b] = grown.blockMin[b] = value;
                };
                if (shape.range(ax - reach, ay - reach, bx + reach, by + reach).first <= 0) {
                    fill(0.0f);
                    continue;
                }
                if (shape.range(ax, ay, bx, by).second >= 1) {
                    fill(1.0f);
                    continue;
                }
                // Every read of the block's circles lies inside the shape's pixels: no bounds to check.
                const bool inside = ax - reach >= shape.x0 && ay - reach >= shape.y0 &&
                                    bx + reach < shape.x0 + shape.width &&
                                    by + reach < shape.y0 + shape.height;
                float most = 0.0f, least = 1.0f;
                for (int y = ay; y < by; ++y) {
                    float* out = &grown.values[size_t(y - grown.y0) * size_t(grown.width)];
                    for (int x = ax; x < bx; ++x) {
                        float m = shape.at(x, y);
                        if (inside) {
                            const float* centre =
                                &shape.values[size_t(y - shape.y0) * stride + size_t(x - shape.x0)];
                            for (const RingPoint& p : ring) {
                                if (m >= 1.0f)
                                    break;
                                const float* q =
                                    centre + std::ptrdiff_t(p.oy) * std::ptrdiff_t(stride) + p.ox;
                                const float low = q[0] + (q[1] - q[0]) * p.tx;
                                const float high = q[stride] + (q[stride + 1] - q[stride]) * p.tx;
                                m = std::max(m, low + (high - low) * p.ty);
                            }
                        } else {
                            for (const RingPoint& p : ring) {
                                if (m >= 1.0f)
                                    break;
                                m = std::max(m, shape.sample(x + 0.5 + p.dx, y + 0.5 + p.dy));
                            }
                        }
                        const float v = std::clamp(m, 0.0f, 1.0f);
                        out[x - grown.x0] = v;
                        most = std::max(most, v);
                        least = std::min(least, v);
                    }
                }
                grown.blockMax[b] = most;
                grown.blockMin[b] = least;
            }
    });
    return grown;
}

// The ring mask the passes and "maskByCuttingImage" make, worked out on the CPU from the input's
// coverage: the kernels read a circle of points around every pixel of every pass, which where kernels
// run on a processor costs far more than the few pixels near the shape's edge that the circle can
// change. Null when the input cannot be read into memory (the kernels then do the work). `occupied`
// receives the rectangles outside which the ring is zero.
Image ringOnCpu(const Image& input, const std::vector<OVShapedBorderFilter::Pass>& passes, const Rect& final,
                std::vector<Rect>* occupied)
{
    const Rect extent = input.extent().integral();
    if (extent.width() * extent.height() > 256.0 * 1024 * 1024)
        return Image();
    const std::optional<Bitmap> pixels =
        RenderContext::shared()->render(input, extent, Bitmap::Format::RGBA8, RenderContext::Reuse::Discard);
    if (!pixels)
        return Image();
    auto shape =
        std::make_unique<Coverage>(int(extent.minX()), int(extent.minY()), pixels->width(), pixels->height());
    CpuRendering::inBands(shape->blockRows, [&](int begin, int end) {
        for (int y = begin * Coverage::Block; y < std::min(end * Coverage::Block, shape->height); ++y) {
            const uint8_t* row = pixels->row(shape->height - 1 - y);
            float* out = &shape->values[size_t(y) * size_t(shape->width)];
            for (int x = 0; x < shape->width; ++x)
                out[x] = row[x * 4 + 3] / 255.0f;
        }
        shape->summarise(begin, end);
    });
    std::unique_ptr<Coverage> grown;
    Rect rect = extent;
    for (const OVShapedBorderFilter::Pass& pass : passes) {
        rect = Rect(rect.minX() - pass.step, rect.minY() - pass.step, rect.width() + 2 * pass.step,
                    rect.height() + 2 * pass.step);
        const int count = pass.kernel == QLatin1String("pixelRing32")   ? 32
                          : pass.kernel == QLatin1String("pixelRing16") ? 16
                          : pass.kernel == QLatin1String("pixelRing8")  ? 8
                                                                        : 4;
        grown = std::make_unique<Coverage>(
            grownCoverage(grown ? *grown : *shape, rect.integral(), pass.radius, count));
    }
    const Coverage& outer = grown ? *grown : *shape;
    const Rect whole = final.integral();
    Bitmap ring(int(whole.width()), int(whole.height()), Bitmap::Format::RGBA8, Bitmap::Fill::Uninitialized);
    if (ring.isNull())
        return Image();
    // Which blocks of the ring hold anything, rows of blocks from the top.
    constexpr int Block = Coverage::Block;
    const int columns = (ring.width() + Block - 1) / Block, rows = (ring.height() + Block - 1) / Block;
    std::vector<uint8_t> used(size_t(columns) * size_t(rows), 0);
    // Taken once, before the bands (see Bitmap::mutableData).
    uint8_t* const ringPixels = ring.mutableData();
    const size_t ringStride = ring.bytesPerRow();
    CpuRendering::inBands(rows, [&](int begin, int end) {
        for (int row = begin * Block; row < std::min(end * Block, ring.height()); ++row) {
            uint8_t* out = ringPixels + ringStride * size_t(row);
            uint8_t* usedRow = &used[size_t(row / Block) * size_t(columns)];
            const int y = int(whole.maxY()) - 1 - row;
            const int left = int(whole.minX()), right = int(whole.maxX());
            for (int x = left; x < right; ++x) {
                const float g = outer.at(x, y);
                const float m = g > 0 ? std::clamp(g * (1.0f - shape->at(x, y)), 0.0f, 1.0f) : 0.0f;
                const uint8_t v = m > 0 ? uint8_t(std::lround(m * 255.0f)) : 0;
                const int column = x - left;
                uint8_t* p = out + size_t(column) * 4;
                p[0] = p[1] = p[2] = p[3] = v;
                usedRow[column / Block] |= v != 0;
            }
        }
    });
    if (occupied) {
        // Runs of used blocks along bands of rows; gaps of a few blocks are bridged. Each rectangle
        // costs a render of its own, so the bands are tall: a few dozen renders at most.
        occupied->clear();
        constexpr int BandBlocks = 8;
        for (int r0 = 0; r0 < rows; r0 += BandBlocks) {
            const int r1 = std::min(r0 + BandBlocks, rows);
            std::vector<uint8_t> band(size_t(columns), 0);
            for (int r = r0; r < r1; ++r)
                for (int c = 0; c < columns; ++c)
                    band[size_t(c)] |= used[size_t(r) * size_t(columns) + size_t(c)];
            for (int c = 0; c < columns;) {
                if (!band[size_t(c)]) {
                    ++c;
                    continue;
                }
                int last = c;
                for (int k = c + 1; k < columns && k <= last + 8; ++k)
                    if (band[size_t(k)])
                        last = k;
                const double top = whole.maxY() - r0 * Block;
                const double height = std::min<double>((r1 - r0) * Block, ring.height() - r0 * Block);
                const double left = whole.minX() + c * Block;
                const double width = std::min<double>((last + 1 - c) * Block, ring.width() - c * Block);
                occupied->push_back(Rect(left, top - height, width, height));
                c = last + 1;
            }
        }
    }
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
    for (const auto& [key, attributes] : OVFrameBand::sizeInputs())
        declareInput(key, attributes);
}

void OVShapedBorderFilter::registerClass()
{
    // "inputWidth" is among the keys so that the effects that copy and store the filter keep the border.
    registerMember<OVShapedBorderFilter>(
        QStringLiteral("OVShapedBorderFilter"),
        {.inputKeys = {QStringLiteral("inputImage"), QStringLiteral("inputTextureName"),
                       QStringLiteral("inputWidth"), QStringLiteral("inputTextureScale"),
                       QStringLiteral("inputShadowWidth")},
         .copied = {QStringLiteral("inputColor"), QStringLiteral("canvasProportion")}});
}

QVariantMap OVShapedBorderFilter::attributes() const
{
    QVariantMap all = OVFilter::attributes();
    all.insert(QStringLiteral("inputTextureName"), OVTextureCatalog::textureNameAttributes());
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
        // The same width written again (an effect does with every new input) keeps the ring.
        const double width = value.isValid() ? std::max(0.0001, value.toDouble()) : 0.0001;
        if (hasValue(key) && OVFilter::value(key) == QVariant(width))
            return;
        OVFilter::setValue(width, key);
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
        // The tint the texture has already keeps the border drawn with it.
        if (value.metaType() == QMetaType::fromType<Color>() &&
            m_texturize->inputColor() == value.value<Color>())
            return;
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
    Image kept = ringOnCpu(input, passes, final, &m_ringParts);
    if (kept.isNull()) {
        m_ringParts = {final.integral()};
        kept = OVFrameBand::pixels(ring, final, Rect::null(), Bitmap::Format::RGBA8);
    }
    setCachedMask(kept.isNull() ? ring : kept);
    return m_cachedMask;
}

Image OVShapedBorderFilter::cachedShadow() const
{
    const double width = numberValue(QStringLiteral("inputShadowWidth"));
    if (m_cachedShadow.isNull() && width > 0) {
        const Image mask = cachedMask();
        if (mask.isNull())
            return Image();
        const Rect extent = imageValue(QStringLiteral("inputImage")).extent();
        const Image shadow = FrameworkFilterSupport::invertedBlurOfMask(
            QStringLiteral("CIGaussianBlur"), mask, OVFrameBand::shadowRadius(width, extent), extent);
        m_cachedShadow = OVFrameBand::keptShadow(
            OVFrameBand::shadowFactor(kernelWithName(QStringLiteral("shadowFactor")), shadow), extent,
            Rect::null());
    }
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
    // Worked out only where the ring holds anything: most of a large shape's rectangle is its inside.
    const auto frameFor = [this](const Rect& strip) { return m_texturize->outputImage(strip); };
    const Image pixels =
        frame.isNull() ? Image()
                       : OVFrameBand::pixelsIn(frameFor, mask.extent(), m_ringParts, Bitmap::Format::RGBA8);
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
    const Image picture =
        OVFrameBand::shadowed(kernelWithName(QStringLiteral("innerMultiply")), input, shadow);
    return FrameworkFilterSupport::builtin(
        QStringLiteral("CISourceOverCompositing"),
        {{QStringLiteral("inputImage"), var(frame)}, {QStringLiteral("inputBackgroundImage"), var(picture)}});
}
