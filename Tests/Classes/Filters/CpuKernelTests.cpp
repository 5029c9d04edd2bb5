// Every kernel the application ships, translated to C++ at build time, computes on the CPU what its
// text computes through OpenGL: on the portrait and on random pixels.

#include "FilterTestSupport.h"

#include "Classes/Framework/KernelResource.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Image/CpuKernelRenderer.h"
#include "Platform/Image/Filter.h"
#include "Platform/Image/Kernel.h"
#include "Platform/Image/KernelData.h"
#include "Platform/Image/RenderStatistics.h"
#include "Platform/Image/Vector.h"

#include <QFileInfo>
#include <algorithm>
#include <gtest/gtest.h>

using namespace pf;
using namespace filtertest;

namespace {

constexpr int Width = 64;
constexpr int Height = 48;

const Image& portrait()
{
    static const Image image = [] {
        const Image photo = Image::fromFile(QStringLiteral(GLIMORA_TESTDATA_DIR "/portrait-512.png"));
        const Image scaled = photo.imageByApplyingTransform(AffineTransform::scale(0.25, 0.25))
                                 .imageByApplyingTransform(AffineTransform::translation(-32, -40));
        const auto pixels = context().render(scaled, Rect(0, 0, Width, Height), Bitmap::Format::RGBAf);
        return pixels ? Image::fromBitmap(*pixels) : Image();
    }();
    return image;
}

// Arguments for every parameter: the images in turn for samplers, middling numbers for the rest (a
// loop bounded by a number then runs a few times, not thousands).
QVariantList argumentsFor(const Kernel& kernel, const std::vector<Image>& images)
{
    QVariantList arguments;
    size_t image = 0;
    for (const Kernel::Parameter& parameter : kernel.parameters()) {
        switch (parameter.type) {
        case Kernel::ParameterType::Sampler:
            arguments << QVariant::fromValue(images[image++ % images.size()]);
            break;
        case Kernel::ParameterType::Float:
            arguments << 0.4;
            break;
        case Kernel::ParameterType::Vec2:
            arguments << QVariant::fromValue(Vector(2.5, 1.5));
            break;
        case Kernel::ParameterType::Vec3:
            arguments << QVariant::fromValue(Vector(0.2, 0.5, 0.7));
            break;
        case Kernel::ParameterType::Vec4:
        case Kernel::ParameterType::Color:
            arguments << QVariant::fromValue(Vector(0.25, 0.5, 0.75, 1.0));
            break;
        }
    }
    return arguments;
}

std::optional<Bitmap> render(const Image& image, CpuKernelRenderer::Use use, Bitmap::Format format)
{
    CpuKernelRenderer::setUse(use);
    auto pixels = context().render(image, Rect(0, 0, Width, Height), format);
    CpuKernelRenderer::setUse(CpuKernelRenderer::Use::OnSoftwareRasterizer);
    return pixels;
}

} // namespace

TEST(CpuKernels, EveryShippedKernelComputesWhatItsTextComputesThroughOpenGL)
{
    ASSERT_FALSE(portrait().isNull());
    const Image random = randomImage(Width, Height, 11);
    const Image other = randomImage(Width, Height, 12);
    const QStringList paths =
        Bundle::main().pathsForResourcesOfType(QStringLiteral("cikernel"), QStringLiteral("Kernels"));
    ASSERT_GT(paths.size(), 100);
    int checked = 0;
    for (const QString& path : paths) {
        const QString name = QFileInfo(path).completeBaseName();
        for (const Kernel& kernel : KernelResource::kernels(name)) {
            const std::string what = (name + QLatin1Char('/') + kernel.name()).toStdString();
            ASSERT_TRUE(kernel.data()->cpu) << what << " has no translation";
            ApplyOptions options;
            options.definition = Rect(0, 0, Width, Height);
            for (const auto& inputs :
                 {std::vector<Image>{portrait(), random}, std::vector<Image>{random, other}}) {
                const Image image = kernel.apply(argumentsFor(kernel, inputs), options);
                ASSERT_FALSE(image.isNull()) << what;
                RenderStatistics::resetPasses();
                const auto cpu = render(image, CpuKernelRenderer::Use::Always, Bitmap::Format::RGBAf);
                EXPECT_GT(RenderStatistics::cpuPasses(), 0u) << what << " was not computed on the CPU";
                RenderStatistics::resetPasses();
                const auto gl = render(image, CpuKernelRenderer::Use::Never, Bitmap::Format::RGBAf);
                EXPECT_EQ(RenderStatistics::cpuPasses(), 0u) << what;
                ASSERT_TRUE(cpu && gl) << what;
                float worst = 0;
                int worstLevels = 0;
                const auto* a = reinterpret_cast<const float*>(cpu->data());
                const auto* b = reinterpret_cast<const float*>(gl->data());
                for (size_t i = 0; i < size_t(Width * Height * 4); ++i) {
                    if (std::isnan(a[i]) && std::isnan(b[i]))
                        continue;
                    const float scale = std::max(1.0f, std::abs(b[i]));
                    worst = std::max(worst, std::isnan(a[i] - b[i]) ? 1e9f : std::abs(a[i] - b[i]) / scale);
                    auto level = [](float v) {
                        return !(v > 0.0f) ? 0 : v >= 1.0f ? 255 : int(v * 255.0f + 0.5f);
                    };
                    worstLevels = std::max(worstLevels, std::abs(level(a[i]) - level(b[i])));
                }
                EXPECT_LE(worstLevels, 1) << what;
                EXPECT_LE(worst, 1e-4f) << what;
                ++checked;
            }
        }
    }
    EXPECT_GT(checked, 300);
}

// The kernels that read their pictures at fixed offsets around the pixel take those reads as rows
// around the pixel's own. Their edges are where the rows could go wrong: the picture's borders, crops
// and clamps between the kernel and the pixels, whole-pixel moves, bytes and a kernel's own output.
TEST(CpuKernels, ReadsAroundThePixelMatchThePassesThroughEdgesCropsClampsAndMoves)
{
    ASSERT_FALSE(portrait().isNull());
    const auto bytes = context().render(portrait(), Rect(0, 0, Width, Height), Bitmap::Format::RGBA8);
    ASSERT_TRUE(bytes);
    const Image photo = Image::fromBitmap(*bytes);
    const Image random = randomImage(Width, Height, 21);
    const std::shared_ptr<Filter> invert = Filter::create(QStringLiteral("CIColorInvert"));
    invert->setValue(QVariant::fromValue(randomImage(Width, Height, 22)), QStringLiteral("inputImage"));
    const Image computed = invert->outputImage();
    const struct
    {
        const char* what;
        Image image;
    } inputs[] = {
        {"bytes", photo},
        {"a kernel's output", computed},
        {"bytes cropped inside", photo.imageByCroppingToRect(Rect(5, 4, 41, 30))},
        {"a kernel's output cropped, clamped and moved",
         computed.imageByCroppingToRect(Rect(7, 3, 30, 33))
             .imageByClampingToExtent()
             .imageByApplyingTransform(AffineTransform::translation(3, -2))},
        {"bytes moved", photo.imageByApplyingTransform(AffineTransform::translation(-4, 5))},
    };
    const Rect around(-3, -2, Width + 5, Height + 4); // beyond the pictures' borders
    // The chroma adjustment reads its neighbourhood in loops over whole numbers.
    for (const auto& [name, kernelName] : {std::pair{"GMSkinSmoothingFilterKernel", "smoothSkin"},
                                           std::pair{"GMInpaintingFilterKernel", "inpaintingStep"},
                                           std::pair{"GMChromaAdjustFilterKernel", "chromaAdjust"}}) {
        const auto kernels = KernelResource::kernels(QLatin1String(name));
        const auto kernel = std::find_if(kernels.begin(), kernels.end(), [&](const Kernel& k) {
            return k.name() == QLatin1String(kernelName);
        });
        ASSERT_NE(kernel, kernels.end()) << name;
        ASSERT_TRUE(kernel->data()->cpuRows) << name << " reads no rows around the pixel";
        for (const auto& input : inputs) {
            const std::string what = std::string(kernelName) + " of " + input.what;
            ApplyOptions options;
            options.definition = around;
            // The pictures read around the pixel first; the rest read only at it.
            const Image image =
                kernel->apply(argumentsFor(*kernel, {input.image, input.image, random}), options);
            ASSERT_FALSE(image.isNull()) << what;
            CpuKernelRenderer::setUse(CpuKernelRenderer::Use::Always);
            RenderStatistics::resetPasses();
            const auto cpu = context().render(image, around, Bitmap::Format::RGBAf);
            EXPECT_GT(RenderStatistics::cpuPasses(), 0u) << what;
            CpuKernelRenderer::setUse(CpuKernelRenderer::Use::Never);
            const auto gl = context().render(image, around, Bitmap::Format::RGBAf);
            CpuKernelRenderer::setUse(CpuKernelRenderer::Use::OnSoftwareRasterizer);
            ASSERT_TRUE(cpu && gl) << what;
            const auto* a = reinterpret_cast<const float*>(cpu->data());
            const auto* b = reinterpret_cast<const float*>(gl->data());
            float worst = 0;
            for (size_t i = 0; i < size_t(cpu->width()) * size_t(cpu->height()) * 4; ++i) {
                if (std::isnan(a[i]) && std::isnan(b[i]))
                    continue;
                worst = std::max(worst, std::isnan(a[i] - b[i])
                                            ? 1e9f
                                            : std::abs(a[i] - b[i]) / std::max(1.0f, std::abs(b[i])));
            }
            EXPECT_LE(worst, 1e-4f) << what;
        }
    }
}

// The skin smoothing of a photo of many tiles, through a mask over all of it and over half of it: its
// guided fit reduces the photo and the mask with kernels of their own (a reduction read as a transform
// comes from mipmaps, which only passes have), and the blurs' reductions, which every tile would
// compute again around its own pixels, are computed once for all of them. On the CPU it needs no pass
// at all, and gives the passes' pixels.
TEST(CpuKernels, TheSkinSmoothingOfALargePhotoNeedsNoPassesAndGivesThePassesPixels)
{
    const Image file = Image::fromFile(QStringLiteral(GLIMORA_TESTDATA_DIR "/portrait-512.png"));
    ASSERT_FALSE(file.isNull());
    const Rect extent(0, 0, 700, 500);
    const auto scaled =
        context().render(file.imageByApplyingTransform(AffineTransform::scale(700.0 / 512, 500.0 / 512)),
                         extent, Bitmap::Format::RGBA8);
    ASSERT_TRUE(scaled);
    const Image photo = Image::fromBitmap(*scaled);
    Bitmap half(700, 500, Bitmap::Format::Gray16);
    for (int y = 0; y < half.height(); ++y)
        for (int x = 0; x < half.width(); ++x) {
            const uint16_t v = x < 350 ? 65535 : 0;
            std::memcpy(half.mutableRow(y) + size_t(x) * 2, &v, 2);
        }
    const struct
    {
        const char* what;
        Image mask;
    } masks[] = {
        {"a white mask", Image::constantColor(Color(1, 1, 1)).imageByCroppingToRect(extent)},
        {"a 16-bit mask over the left half", Image::fromBitmap(half)},
    };
    for (const auto& m : masks) {
        const FilterPtr filter = Filter::create(QStringLiteral("GMSkinSmoothingFilter"));
        ASSERT_TRUE(filter);
        filter->setValue(QVariant::fromValue(photo), QStringLiteral("inputImage"));
        filter->setValue(QVariant::fromValue(m.mask), QStringLiteral("inputMaskImage"));
        filter->setValue(40.0, QStringLiteral("inputRadius"));
        filter->setValue(2.0, QStringLiteral("inputDetailRadius"));
        const Image image = output(filter);
        ASSERT_FALSE(image.isNull()) << m.what;
        CpuKernelRenderer::setUse(CpuKernelRenderer::Use::Always);
        RenderStatistics::resetPasses();
        const auto cpu = context().render(image, extent, Bitmap::Format::RGBA8);
        EXPECT_GT(RenderStatistics::cpuPasses(), 0u) << m.what;
        EXPECT_EQ(RenderStatistics::passes(), RenderStatistics::cpuPasses()) << m.what << " needed passes";
        CpuKernelRenderer::setUse(CpuKernelRenderer::Use::Never);
        const auto gl = context().render(image, extent, Bitmap::Format::RGBA8);
        CpuKernelRenderer::setUse(CpuKernelRenderer::Use::OnSoftwareRasterizer);
        ASSERT_TRUE(cpu && gl) << m.what;
        int worst = 0;
        for (size_t i = 0; i < cpu->byteCount(); ++i)
            worst = std::max(worst, std::abs(int(cpu->data()[i]) - int(gl->data()[i])));
        EXPECT_LE(worst, 1) << m.what;
    }
}
