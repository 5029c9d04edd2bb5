#include "Classes/Framework/ImageORVExtension.h"

#include "Classes/Framework/EngineFilters.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Image/RenderContext.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <mutex>

using namespace pf;

namespace ORVExtension {

namespace {

struct HelperContext
{
    std::mutex mutex;
    std::shared_ptr<RenderContext> context;
};

HelperContext& helperContext()
{
    // Never destroyed, like the engine's shared context: a GL context must not be torn down at exit.
    static auto* instance = new HelperContext;
    return *instance;
}

std::shared_ptr<RenderContext> currentHelperContext()
{
    HelperContext& helper = helperContext();
    std::lock_guard lock(helper.mutex);
    if (!helper.context)
        helper.context = std::make_shared<RenderContext>(QStringLiteral("image helpers"));
    return helper.context;
}

// The extent to render, or nothing (with a reason logged where it is a fault of the caller).
std::optional<Rect> renderableExtent(const Image& image)
{
    if (image.isNull())
        return std::nullopt;
    const Rect extent = image.extent();
    if (extent.isNull() || extent.isEmpty())
        return std::nullopt;
    if (extent.isInfinite() || !std::isfinite(extent.width()) || !std::isfinite(extent.height()) ||
        !std::isfinite(extent.minX()) || !std::isfinite(extent.minY())) {
        pf::warning(QStringLiteral("Cannot make pixels of an image of infinite extent"));
        return std::nullopt;
    }
    return extent;
}

Bitmap renderExtent(RenderContext& context, const Image& image)
{
    const std::optional<Rect> extent = renderableExtent(image);
    if (!extent)
        return Bitmap();
    const double width = std::trunc(extent->width());
    const double height = std::trunc(extent->height());
    if (width < 1 || height < 1)
        return Bitmap();
    const Image atOrigin =
        extent->minX() == 0 && extent->minY() == 0
            ? image
            : image.imageByApplyingTransform(AffineTransform::translation(-extent->minX(), -extent->minY()));
    std::optional<Bitmap> bitmap = context.render(atOrigin, Rect(0, 0, width, height), Bitmap::Format::RGBA8);
    return bitmap ? *bitmap : Bitmap();
}

uint8_t toByte(double value)
{
    return static_cast<uint8_t>(std::lround(std::clamp(value, 0.0, 1.0) * 255.0));
}

// The premultiplied average as the four bytes an 8-bit pixel would hold, or nothing.
std::optional<std::array<uint8_t, 4>> averagePixel(const Image& image, const Rect& extent)
{
    RenderContext& context = *RenderContext::shared();
    const Image average = EngineFilters::areaAverage(image, extent);
    if (!average.isNull()) {
        const Rect where = average.extent();
        if (where.isNull() || where.isInfinite() || where.isEmpty())
            return std::nullopt;
        std::optional<Bitmap> pixel =
            context.render(average, Rect(where.minX(), where.minY(), 1, 1), Bitmap::Format::RGBA8);
        if (!pixel)
            return std::nullopt;
        const uint8_t* p = pixel->data();
        return std::array<uint8_t, 4>{p[0], p[1], p[2], p[3]};
    }

    // No area-average filter: render the extent in bands (bounded memory for any size) and sum here.
    const Rect area = extent.integral();
    const int width = static_cast<int>(area.width());
    const int height = static_cast<int>(area.height());
    const int bandRows = std::max(1, (1 << 20) / std::max(1, width));
    std::array<double, 4> sum{};
    for (int top = 0; top < height; top += bandRows) {
        const int rows = std::min(bandRows, height - top);
        const Rect band(area.minX(), area.maxY() - top - rows, width, rows);
        std::optional<Bitmap> pixels = context.render(image, band, Bitmap::Format::RGBAf);
        if (!pixels)
            return std::nullopt;
        for (int y = 0; y < rows; ++y) {
            const float* row = reinterpret_cast<const float*>(pixels->row(y));
            for (int x = 0; x < width; ++x)
                for (int c = 0; c < 4; ++c)
                    sum[size_t(c)] += row[x * 4 + c];
        }
    }
    const double count = double(width) * double(height);
    return std::array<uint8_t, 4>{toByte(sum[0] / count), toByte(sum[1] / count), toByte(sum[2] / count),
                                  toByte(sum[3] / count)};
}

} // namespace

Bitmap newCGImage(const Image& image)
{
    return renderExtent(*RenderContext::shared(), image);
}

QImage nsImage(const Image& image)
{
    const Bitmap bitmap = newCGImage(image);
    return bitmap.isNull() ? QImage() : bitmap.toQImage();
}

Bitmap newCGImageUnrendered(const Image& image)
{
    const std::shared_ptr<RenderContext> context = currentHelperContext();
    return renderExtent(*context, image);
}

void createContext()
{
    auto context = std::make_shared<RenderContext>(QStringLiteral("image helpers"));
    HelperContext& helper = helperContext();
    std::shared_ptr<RenderContext> old;
    {
        std::lock_guard lock(helper.mutex);
        old = std::exchange(helper.context, std::move(context));
    }
    // `old` is released here, after the lock; callers still rendering with it keep it alive.
}

Bitmap newCGImageViaNSImage(const Image& image)
{
    return newCGImage(image);
}

Image fixedImage(const Image& image)
{
    const Bitmap bitmap = newCGImage(image);
    if (bitmap.isNull())
        return Image();
    const Rect extent = image.extent();
    const Image pixels = Image::fromBitmap(bitmap);
    if (std::abs(extent.minX()) + std::abs(extent.minY()) > 0)
        return pixels.imageByApplyingTransform(AffineTransform::translation(extent.minX(), extent.minY()));
    return pixels;
}

std::optional<Color> averageColor(const Image& image)
{
    const std::optional<Rect> extent = renderableExtent(image);
    if (!extent)
        return std::nullopt;
    const std::optional<std::array<uint8_t, 4>> pixel = averagePixel(image, *extent);
    if (!pixel)
        return std::nullopt;
    const auto& [r, g, b, a] = *pixel;
    // Divided by at least 0.001, so a transparent image gives transparent black, not NaN.
    const double alpha = static_cast<float>(std::max(0.001, a / 255.0));
    return Color(r / 255.0 / alpha, g / 255.0 / alpha, b / 255.0 / alpha, a / 255.0);
}

} // namespace ORVExtension
