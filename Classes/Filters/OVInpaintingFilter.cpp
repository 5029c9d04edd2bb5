#include "Classes/Filters/OVInpaintingFilter.h"

#include "Classes/Filters/MarchingFill.h"

#include "Classes/Framework/KernelResource.h"
#include "Platform/Image/AffineTileFilter.h"
#include "Platform/Image/Bitmap.h"
#include "Platform/Image/BlendWithMaskFilter.h"
#include "Platform/Image/Color.h"
#include "Platform/Image/CpuRendering.h"
#include "Platform/Image/ImageNode.h"
#include "Platform/Image/Kernel.h"
#include "Platform/Image/RenderStatistics.h"
#include "Platform/Image/Sampler.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <optional>

using namespace pf;

namespace {

const QString InputImageKey = QStringLiteral("inputImage");
const QString InputMaskImageKey = QStringLiteral("inputMaskImage");
const QString InputFillImageKey = QStringLiteral("inputFillImage");
const QString InputRadiusKey = QStringLiteral("inputRadius");
const QString InputBackgroundImageKey = QStringLiteral("inputBackgroundImage");

constexpr double DefaultRadius = 20;
// Half the radius is the coarsest scale, and a level at scale s runs ceil(s) smoothing passes. Past this
// radius the coarsest level is a few pixels wide and further levels only add passes, so the radius is
// held here: a stray huge value (a mistyped setting, a brush scaled up for a large photo) cannot turn
// one render into millions of passes.
constexpr double MaximumRadius = 1024;

// Every kernel of a level is defined where the level's image is and has that image's extent: in the
// rectangle form filters give extents (the origin cut to whole pixels), and never less than the image
// covers. A reduced level of a part cut from the photo begins at part of a pixel; cutting its origin
// alone would move its far edges in and leave its last row and column empty.
ApplyOptions levelOptions(const Image& image)
{
    ApplyOptions options;
    options.definition = image.definition().extent();
    const Rect extent = image.extent();
    options.extent = extent.isNull() ? KernelResource::fullExtent(extent)
                                     : KernelResource::fullExtent(extent).united(extent);
    return options;
}

Sampler clamped(const Image& image)
{
    return Sampler(image, Sampler::FilterMode::Linear, Sampler::WrapMode::Clamp);
}

bool hasArea(const Rect& rect)
{
    return !rect.isNull() && rect.width() > 0 && rect.height() > 0;
}

// Whether a mask pixel's red (or grey) value marks a hole: at least 1/1024, as the kernels test it.
bool isHole(const uint8_t* pixel, Bitmap::Format format)
{
    switch (format) {
    case Bitmap::Format::RGBA8:
    case Bitmap::Format::Gray8:
        return pixel[0] != 0; // one 8-bit step is above the threshold
    case Bitmap::Format::Gray16: {
        uint16_t v;
        std::memcpy(&v, pixel, sizeof v);
        return v >= 64; // 64 / 65535 rounds to 1/1024 in the texture's precision
    }
    case Bitmap::Format::RGBAf:
    case Bitmap::Format::Grayf: {
        float v;
        std::memcpy(&v, pixel, sizeof v);
        return v >= 1.0f / 1024.0f;
    }
    }
    return true;
}

// Where the holes of a mask that is a bitmap in memory are: the smallest rectangle holding every hole
// pixel, in the mask's space (empty when there is none). A photo-sized mask of one small spot thus
// confines the work to the spot as a mask cropped to it does. Nothing for masks computed by a recipe.
std::optional<Rect> holesOfBitmap(const Image& mask)
{
    // The bitmap under moves and crops, and where its lower-left corner lies.
    double x0 = 0, y0 = 0;
    const ImageNode* node = mask.node().get();
    while (node && (node->kind == ImageNode::Kind::Transform || node->kind == ImageNode::Kind::Crop)) {
        if (node->kind == ImageNode::Kind::Transform) {
            const AffineTransform& t = node->transform;
            if (t.a != 1 || t.b != 0 || t.c != 0 || t.d != 1)
                return std::nullopt;
            x0 += t.tx;
            y0 += t.ty;
        }
        node = node->input.get();
    }
    if (!node || node->kind != ImageNode::Kind::Bitmap)
        return std::nullopt;
    const Bitmap& bitmap = node->bitmap;
    const Bitmap::Format format = bitmap.format();
    const size_t step = size_t(Bitmap::bytesPerPixel(format));
    const int width = bitmap.width(), height = bitmap.height();
    // Only the part a crop keeps is looked at (a pixel more each way), in columns and top-down rows.
    int c0 = 0, c1 = width, r0 = 0, r1 = height;
    const Rect domain = mask.definition().extent();
    if (domain.isNull())
        return Rect(x0, y0, 0, 0);
    if (!domain.isInfinite()) {
        auto within = [](double v, int limit) { return int(std::clamp(v, 0.0, double(limit))); };
        c0 = within(std::floor(domain.minX() - x0) - 1, width);
        c1 = within(std::ceil(domain.maxX() - x0) + 1, width);
        r0 = within(std::floor(y0 + height - domain.maxY()) - 1, height);
        r1 = within(std::ceil(y0 + height - domain.minY()) + 1, height);
    }
    // Per band: the first and last hole column and row, or an empty range.
    std::mutex guard;
    int left = width, right = -1, top = height, bottom = -1;
    CpuRendering::inBands(r1 - r0, [&](int begin, int end) {
        int l = width, r = -1, t = height, b = -1;
        for (int row = r0 + begin; row < r0 + end; ++row) {
            const uint8_t* line = bitmap.row(row);
            int first = -1;
            for (int x = c0; x < c1; ++x)
                if (isHole(line + size_t(x) * step, format)) {
                    first = x;
                    break;
                }
            if (first < 0)
                continue;
            int last = c1 - 1;
            while (!isHole(line + size_t(last) * step, format))
                --last;
            l = std::min(l, first);
            r = std::max(r, last);
            t = std::min(t, row);
            b = std::max(b, row);
        }
        const std::lock_guard<std::mutex> lock(guard);
        left = std::min(left, l);
        right = std::max(right, r);
        top = std::min(top, t);
        bottom = std::max(bottom, b);
    });
    if (right < 0)
        return Rect(x0, y0, 0, 0);
    // A pixel more each way: a move by part of a pixel spreads a hole into the next one.
    return Rect(x0 + left - 1, y0 + (height - 1 - bottom) - 1, right - left + 3, bottom - top + 3)
        .intersected(mask.definition().extent());
}

// The recipe a reduced level's pixels are attached to (rendered through passes only where the CPU
// pixels cannot stand in).
const Kernel& levelCopyKernel()
{
    // Never destroyed: a healing step on a worker thread may still reduce a level while the program exits.
    static const Kernel* kernel = [] {
        const std::vector<Kernel> kernels = Kernel::kernelsWithString(QStringLiteral(
            "kernel vec4 reducedLevel(sampler image) { return sample(image, samplerCoord(image)); }"));
        return new Kernel(kernels.empty() ? Kernel() : kernels.front());
    }();
    return *kernel;
}

// `image` reduced by `factor` (under a half) in one step, each pixel the mean of the area it covers,
// computed on the CPU from the image rendered over only the part asked for. Read through passes, a
// reduction this strong needs mipmaps on the rasterizer, which every render of the process shares: a
// healing preview drawn for the interface would wait there behind a composition or a stroke being
// stored. The plain transform where the level has no bounds.
Image reducedLevel(const Image& image, double factor)
{
    const Image reduced = image.imageByApplyingTransform(AffineTransform::scale(factor, factor));
    const Rect extent = reduced.extent();
    if (!(factor < 0.5) || !(factor > 0) || !RenderStatistics::cpuFiltersEnabled() || extent.isNull() ||
        extent.isInfinite() || extent.isEmpty() || levelCopyKernel().isNull())
        return reduced;
    const Rect bounds = extent.integral();
    ApplyOptions options;
    options.definition = reduced.definition().extent();
    options.extent = extent;
    const Image recipe = levelCopyKernel().apply({QVariant::fromValue(Sampler(reduced))}, options);
    if (recipe.isNull())
        return reduced;
    return CpuRendering::attach(
        recipe, std::make_shared<const CpuRendering>(
                    bounds, Bitmap::Format::RGBAf, [image, factor, bounds](const Rect& region, Bitmap& out) {
                        const Rect wanted = region.offsetBy(bounds.minX(), bounds.minY());
                        // The image's whole pixels under the pixels asked for; beyond its extent there
                        // is nothing, which the mean counts as transparent.
                        const Rect under = Rect(wanted.minX() / factor, wanted.minY() / factor,
                                                wanted.width() / factor, wanted.height() / factor)
                                               .integral()
                                               .intersected(image.extent())
                                               .integral();
                        if (under.isNull() || under.isEmpty()) {
                            std::memset(out.mutableData(), 0, out.byteCount());
                            return true;
                        }
                        const auto pixels = CpuRendering::renderInput(image, under, Bitmap::Format::RGBAf);
                        if (!pixels)
                            return false;
                        AffineTransform place = AffineTransform::scale(factor, factor);
                        place.tx = under.minX() * factor;
                        place.ty = under.minY() * factor;
                        const Image placed = Image::fromBitmap(*pixels).imageByApplyingTransform(place);
                        const auto done = CpuRendering::renderDirectly(*placed.node(), wanted, out);
                        return done.value_or(false);
                    }));
}

// Whether a hole of the mask may reach the photo's outermost pixels: no when the mask is a bitmap whose
// holes all lie inside them (the usual spot), so that such a heal costs nothing more.
bool mayReachTheEdge(const Image& mask, const Rect& photo)
{
    const std::optional<Rect> holes = holesOfBitmap(mask);
    if (!holes)
        return true;
    if (holes->isNull() || holes->isEmpty())
        return false;
    return !photo.insetBy(1, 1).contains(*holes);
}

// How far the marching fill reaches for the pixels it takes a filled pixel from: 0.12 of the coarsest
// scale (half the fill radius, about the radius of the spot healed), so that the same structure seen
// larger is followed as far, within bounds that keep a pixel's neighbourhood small.
double marchingReach(double maxScale)
{
    return std::clamp(0.12 * maxScale, 3.0, 8.0);
}

// The pixels of the holes that the photo's edge cuts open (a hole that reaches its outermost row or
// column), filled by marching in from their border (MarchingFill), opaque over transparent elsewhere:
// laid over the smooth fill, they stand in for it there. A membrane spans a hole from its border all
// round; at the photo's edge it has none and flattens what comes in from the one side there is into a
// grey blob, where the marching fill carries its shading and edges on. `picture` is the level's picture
// (with a fill texture laid in, so that the texture is taken out alike), `holes` its black and white
// mask, `photo` the extent of the whole photo. Null where there is nothing to march into.
Image marchedIntoOpenHoles(const Image& picture, const Image& holes, const Rect& photo, double reach,
                           const Kernel& nothingLaid)
{
    const Rect extent = picture.extent();
    if (!RenderStatistics::cpuFiltersEnabled() || nothingLaid.isNull() || extent.isNull() ||
        extent.isInfinite() || extent.isEmpty() || photo.isNull() || photo.isInfinite())
        return Image();
    const Rect bounds = extent.integral();
    ApplyOptions options;
    options.definition = bounds;
    options.extent = bounds;
    // Through passes (where the CPU pixels cannot stand in) nothing is laid over the smooth fill.
    const Image recipe = nothingLaid.apply({QVariant::fromValue(Sampler(picture))}, options);
    if (recipe.isNull())
        return Image();
    struct Marched
    {
        std::once_flag once;
        bool ok = false;
        Bitmap pixels;         // RGBAf, transparent but in the open holes
        int left = 0, top = 0; // where the pixels lie: their first column and (top-down) row in the bounds
    };
    auto marched = std::make_shared<Marched>();
    const auto march = [picture, holes, photo, bounds, reach](Marched& m) {
        const auto mask = CpuRendering::renderInput(holes, bounds, Bitmap::Format::Gray8);
        if (!mask)
            return;
        const int w = mask->width(), h = mask->height();
        const size_t count = size_t(w) * size_t(h);
        // Rows top-down, as the bitmaps hold them. The photo's outermost rows and columns in them.
        const int left = int(photo.minX() - bounds.minX()), right = int(photo.maxX() - bounds.minX()) - 1;
        const int top = int(bounds.maxY() - photo.maxY()), bottom = int(bounds.maxY() - photo.minY()) - 1;
        std::vector<uint8_t> states(count, MarchingFill::Known);
        std::vector<size_t> open;
        for (int row = 0; row < h; ++row) {
            const uint8_t* line = mask->row(row);
            for (int x = 0; x < w; ++x) {
                if (line[x] < 128)
                    continue;
                const size_t i = size_t(row) * size_t(w) + size_t(x);
                states[i] = MarchingFill::Absent;
                if (x == left || x == right || row == top || row == bottom)
                    open.push_back(i);
            }
        }
        m.ok = true;
        if (open.empty())
            return; // every hole is closed: the smooth fill spans them
        // The holes the open pixels belong to (eight-connected) are the ones to march into; the work is
        // confined to them and the reach around them (and a pixel more for the gradients there).
        int left0 = w, right0 = -1, top0 = h, bottom0 = -1;
        for (size_t n = 0; n < open.size(); ++n) {
            const size_t i = open[n];
            if (states[i] == MarchingFill::ToFill)
                continue;
            states[i] = MarchingFill::ToFill;
            const int x = int(i % size_t(w)), row = int(i / size_t(w));
            left0 = std::min(left0, x), right0 = std::max(right0, x);
            top0 = std::min(top0, row), bottom0 = std::max(bottom0, row);
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    const int nx = x + dx, ny = row + dy;
                    if (nx >= 0 && ny >= 0 && nx < w && ny < h &&
                        states[size_t(ny) * size_t(w) + size_t(nx)] == MarchingFill::Absent)
                        open.push_back(size_t(ny) * size_t(w) + size_t(nx));
                }
        }
        const int margin = int(std::ceil(reach)) + 2;
        const int bx = std::max(0, left0 - margin), by = std::max(0, top0 - margin);
        const int bw = std::min(w, right0 + 1 + margin) - bx, bh = std::min(h, bottom0 + 1 + margin) - by;
        const Rect box(bounds.minX() + bx, bounds.maxY() - by - bh, bw, bh);
        auto pixels = CpuRendering::renderInput(picture, box, Bitmap::Format::RGBAf);
        if (!pixels) {
            m.ok = false;
            return;
        }
        const size_t boxCount = size_t(bw) * size_t(bh);
        std::vector<uint8_t> boxStates(boxCount);
        std::vector<float> values(4 * boxCount);
        for (int row = 0; row < bh; ++row) {
            std::memcpy(boxStates.data() + size_t(row) * size_t(bw),
                        states.data() + size_t(by + row) * size_t(w) + size_t(bx), size_t(bw));
            std::memcpy(values.data() + 4 * size_t(row) * size_t(bw), pixels->row(row),
                        4 * sizeof(float) * size_t(bw));
        }
        MarchingFill::fill(bw, bh, values.data(), boxStates, reach);
        for (int row = 0; row < bh; ++row) {
            float* line = reinterpret_cast<float*>(pixels->mutableRow(row));
            for (int x = 0; x < bw; ++x) {
                const size_t i = size_t(row) * size_t(bw) + size_t(x);
                for (int k = 0; k < 4; ++k)
                    line[4 * x + k] = boxStates[i] == MarchingFill::ToFill ? values[4 * i + size_t(k)] : 0.0f;
            }
        }
        m.pixels = std::move(*pixels);
        m.left = bx;
        m.top = by;
    };
    return CpuRendering::attach(
        recipe,
        std::make_shared<const CpuRendering>(
            bounds, Bitmap::Format::RGBAf, [marched, march, bounds](const Rect& region, Bitmap& out) {
                std::call_once(marched->once, [&] { march(*marched); });
                if (!marched->ok)
                    return false;
                std::memset(out.mutableData(), 0, out.byteCount());
                if (marched->pixels.isNull())
                    return true;
                // The region's first row and column in the marched pixels' (rows top-down).
                const Bitmap& pixels = marched->pixels;
                const int firstRow = int(bounds.height() - region.maxY()) - marched->top;
                const int firstColumn = int(region.minX()) - marched->left;
                const int from = std::max(0, -firstColumn);
                const int to = std::min(out.width(), pixels.width() - firstColumn);
                if (to <= from)
                    return true;
                for (int row = std::max(0, -firstRow); row < out.height(); ++row) {
                    if (firstRow + row >= pixels.height())
                        break;
                    std::memcpy(out.mutableRow(row) + 4 * sizeof(float) * size_t(from),
                                pixels.row(firstRow + row) + 4 * sizeof(float) * size_t(firstColumn + from),
                                4 * sizeof(float) * size_t(to - from));
                }
                return true;
            }));
}

} // namespace

OVInpaintingFilter::OVInpaintingFilter(const QString& className) : OVFilter(className)
{
    declareInput(InputImageKey);
    declareInput(InputMaskImageKey);
    declareInput(InputFillImageKey);
    declareInput(InputRadiusKey, {{FilterAttribute::Default, DefaultRadius},
                                  {FilterAttribute::SliderMin, 0.0},
                                  {FilterAttribute::SliderMax, 200.0}});
    setValue(DefaultRadius, InputRadiusKey);

    m_blendWithMask = std::make_shared<BlendWithMaskFilter>();
    m_blendWithMask->setDefaults();
    m_tile = std::make_shared<AffineTileFilter>();
    m_tile->setDefaults();
    m_tile->setValue(QVariant::fromValue(AffineTransform::identity()), QStringLiteral("inputTransform"));
    m_laplaceSmoothKernel = kernelWithName(QStringLiteral("laplaceSmooth"));
    m_bwMaskKernel = kernelWithName(QStringLiteral("bwMask"));
    m_opaqueKernel = kernelWithName(QStringLiteral("opaque"));
    m_knownOnlyKernel = kernelWithName(QStringLiteral("knownOnly"));
    m_wholeHolesKernel = kernelWithName(QStringLiteral("wholeHoles"));
    m_nothingLaidKernel = kernelWithName(QStringLiteral("nothingLaid"));
    (void)levelCopyKernel(); // made with the first filter, not at the first stroke's first step
}

void OVInpaintingFilter::copyStateTo(Filter& other) const
{
    OVFilter::copyStateTo(other);
    if (auto* inpainting = dynamic_cast<OVInpaintingFilter*>(&other))
        inpainting->m_previewQuality = m_previewQuality;
}

// The part of the image that filling the mask can change or read, when the mask says where its holes can
// be (its domain is smaller than the image): the mask's domain grown by four coarsest-level pixels, its
// origin on the coarsest level's pixel grid so that the pyramid's levels are the same as over the whole
// image. Null when the work is the whole image anyway.
Rect OVInpaintingFilter::workingArea(const Image& image, const Image& mask, double maxScale) const
{
    const Rect whole = image.extent();
    const Rect holes = holesOfBitmap(mask).value_or(mask.definition().extent());
    if (holes.isNull() || holes.isInfinite() || whole.isInfinite() || holes.contains(whole))
        return Rect::null();
    if (holes.isEmpty())
        return Rect(whole.origin, Size(0, 0)); // a mask without holes: nothing to fill
    // The coarsest scale: preview quality jumps straight to maxScale, full quality halves down to it.
    double coarsest = 1;
    if (m_previewQuality) {
        coarsest = std::max(1.0, maxScale);
    } else {
        while (maxScale > 2 * coarsest)
            coarsest *= 2;
    }
    const double margin = 4 * std::ceil(coarsest) + 8;
    Rect area = holes.insetBy(-margin, -margin).intersected(whole);
    if (area.isNull() || area.isEmpty())
        return area;
    // Aligning the origin to the grid matters only where the levels halve.
    const double grid = m_previewQuality ? 1.0 : coarsest;
    const double x = whole.minX() + std::floor((area.minX() - whole.minX()) / grid) * grid;
    const double y = whole.minY() + std::floor((area.minY() - whole.minY()) / grid) * grid;
    area = Rect(x, y, area.maxX() - x, area.maxY() - y).integral().intersected(whole);
    return area == whole ? Rect::null() : area;
}

namespace {

double maximumScaleForRadius(double radius)
{
    if (!std::isfinite(radius))
        radius = 0;
    return std::min(radius, MaximumRadius) * 0.5;
}

} // namespace

Rect OVInpaintingFilter::readArea() const
{
    const Image image = inputImage(), mask = inputMaskImage();
    if (image.isNull() || mask.isNull())
        return Rect::null();
    return workingArea(image, mask, maximumScaleForRadius(inputRadius()));
}

Image OVInpaintingFilter::outputImage() const
{
    const Image image = inputImage();
    if (image.isNull())
        return Image();
    const Image mask = inputMaskImage();
    if (mask.isNull())
        return image;
    if (m_laplaceSmoothKernel.isNull() || m_bwMaskKernel.isNull() || m_opaqueKernel.isNull() ||
        m_knownOnlyKernel.isNull() || m_wholeHolesKernel.isNull())
        return Image();

    const double maxScale = maximumScaleForRadius(inputRadius());

    // Only the pixels around the mask's holes change: a mask whose domain is small lets the whole
    // computation run on that part, spliced back into the image.
    const Rect area = workingArea(image, mask, maxScale);
    if (area.isNull())
        return filled(image, mask, maxScale);
    if (area.isEmpty())
        return image; // the mask lies outside the image: nothing to fill
    const Image cropped = image.imageByCroppingToRect(area);
    const Image part = filled(cropped, mask, maxScale);
    if (part == cropped)
        return image; // nothing to smooth (a preview of a small radius)
    m_blendWithMask->setValue(QVariant::fromValue(part), InputImageKey);
    m_blendWithMask->setValue(QVariant::fromValue(image), InputBackgroundImageKey);
    m_blendWithMask->setValue(
        QVariant::fromValue(Image::constantColor(Color(1, 1, 1)).imageByCroppingToRect(area)),
        InputMaskImageKey);
    return m_blendWithMask->outputImage();
}

Image OVInpaintingFilter::filled(Image image, const Image& mask, double maxScale) const
{
    const ApplyOptions options = levelOptions(image);
    Image fill = inputFillImage();
    // A texture without area has nothing to lay in.
    if (!fill.isNull() && !hasArea(fill.extent()))
        fill = Image();
    Kernel divide;
    if (!fill.isNull()) {
        const Kernel multiply = kernelWithName(QStringLiteral("multiply"));
        divide = kernelWithName(QStringLiteral("divide"));
        if (multiply.isNull() || divide.isNull())
            return Image();
        // A texture smaller than the image in either direction is repeated over the plane; one at least
        // as large in both is used as it is.
        const Rect fillExtent = fill.extent();
        if (fillExtent.width() < inputImage().extent().width() ||
            fillExtent.height() < inputImage().extent().height()) {
            m_tile->setValue(QVariant::fromValue(fill), InputImageKey);
            fill = m_tile->outputImage();
        }
        image = multiply.apply({QVariant::fromValue(Sampler(image)), QVariant::fromValue(Sampler(fill))},
                               options);
    }
    // The levels read the mask clamped at its edges, as they read the image. A mask smaller than the image
    // is laid on black of the image's size first: clamped at its own edges it would smear a hole that
    // touches them across the rest of the image.
    Image levelMask = mask;
    if (!mask.extent().contains(image.extent()))
        levelMask = mask.imageByCompositingOverImage(
            Image::constantColor(Color(0, 0, 0)).imageByCroppingToRect(image.extent()));
    Image result = inpaintImage(image, levelMask, 1.0, maxScale);
    // The full fill marches into the holes the photo's edge cuts open; the preview stays smooth.
    if (!m_previewQuality && mayReachTheEdge(mask, inputImage().extent())) {
        const Image marched = marchedIntoOpenHoles(
            image, m_bwMaskKernel.apply({QVariant::fromValue(Sampler(levelMask))}, options),
            inputImage().extent(), marchingReach(maxScale), m_nothingLaidKernel);
        if (!marched.isNull())
            result = marched.imageByCompositingOverImage(result);
    }
    if (!fill.isNull())
        result =
            divide.apply({QVariant::fromValue(Sampler(result)), QVariant::fromValue(Sampler(fill))}, options);
    return result;
}

Image OVInpaintingFilter::inpaintImage(const Image& image, const Image& mask, double scale,
                                       double maxScale) const
{
    const ApplyOptions options = levelOptions(image);
    Image start = image;
    if (maxScale > 2.0 * scale) {
        // Preview quality goes straight to the coarsest scale; otherwise each level halves the image.
        const double factor = m_previewQuality ? scale / maxScale : 0.5;
        // A reduced pixel is the mean of the known pixels it covers, and a hole only where it covers
        // nothing known: the border right beside the hole (a white stripe in a photo's corner, say)
        // reaches the coarser levels, instead of the mean of a pixel that mostly lies farther off, and
        // nothing of what the hole held goes down. What lies beyond the photo counts as neither.
        const Image blendMask = m_bwMaskKernel.apply({QVariant::fromValue(Sampler(mask))}, options);
        const Image known = m_knownOnlyKernel.apply(
            {QVariant::fromValue(Sampler(image)), QVariant::fromValue(clamped(mask))}, options);
        const Image reducedHoles = reducedLevel(blendMask, factor);
        const Image coarseMask = m_wholeHolesKernel.apply({QVariant::fromValue(Sampler(reducedHoles))},
                                                          levelOptions(reducedHoles));
        const Image coarse = inpaintImage(reducedLevel(known, factor), coarseMask, scale / factor, maxScale);
        // The coarse solution inside the area, the level's own pixels outside it. Enlarged, it is partly
        // transparent beside the hole and along the level's edge; its own (straight) colour is taken
        // there, at full strength.
        const Image enlarged = m_opaqueKernel.apply(
            {QVariant::fromValue(
                Sampler(coarse.imageByApplyingTransform(AffineTransform::scale(1 / factor, 1 / factor))))},
            options);
        m_blendWithMask->setValue(QVariant::fromValue(blendMask), InputMaskImageKey);
        m_blendWithMask->setValue(QVariant::fromValue(enlarged), InputImageKey);
        m_blendWithMask->setValue(QVariant::fromValue(image), InputBackgroundImageKey);
        start = m_blendWithMask->outputImage();
    }

    if (m_previewQuality ? scale > 1.0 : scale > 0.0) {
        const double limit = m_previewQuality ? 1.0 : scale;
        ApplyOptions smoothing = options;
        // Each pass reads one pixel around its destination, of the picture and of the mask.
        smoothing.regionOfInterest = [](int, const Rect& destination) { return destination.insetBy(-1, -1); };
        const QVariant maskSampler = QVariant::fromValue(clamped(mask));
        for (int pass = 1;; ++pass) {
            // The picture unclamped: what lies beyond the photo is absent, not a copy of its edge.
            start =
                m_laplaceSmoothKernel.apply({QVariant::fromValue(Sampler(start)), maskSampler}, smoothing);
            if (!(limit > pass))
                break;
        }
    }
    return start;
}
