// Outside tester's probe of the rewritten exposure kernel: random colours (in range, out of range,
// around the curve's join, huge and tiny) and stops (the filter's range and beyond), on the CPU and in
// passes, against the plain decode, scale and encode worked out in double.

#include "LibraryTestSupport.h"

#include "Classes/Filters/FilterLibrary.h"
#include "Platform/Image/CpuKernelRenderer.h"

#include <cmath>
#include <cstdio>
#include <gtest/gtest.h>

using namespace pf;
using namespace filtertest;
using namespace librarytest;

namespace {

double decoded(double v)
{
    const double a = std::abs(v);
    return std::copysign(a <= 0.04045 ? a / 12.92 : std::pow((a + 0.055) / 1.055, 2.4), v);
}
double encoded(double v)
{
    const double a = std::abs(v);
    return std::copysign(a <= 0.0031308 ? a * 12.92 : 1.055 * std::pow(a, 1 / 2.4) - 0.055, v);
}

Grid exposed(const Grid& source, double stops)
{
    FilterLibrary::registerAll();
    FilterPtr filter = Filter::create("GMExposureFilter");
    filter->setDefaults();
    setImage(filter, source.image());
    filter->setValue(stops, "inputStops");
    return Grid::rendered(output(filter), source.width, source.height);
}

// Opaque colours, one channel class per row block.
Grid colours(unsigned seed, int kind)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    const auto value = [&]() -> float {
        switch (kind) {
        case 0: return unit(random); // in range
        case 1: return -0.5f + 2.5f * unit(random); // out of range both ways
        case 2: return 0.04045f * (0.5f + unit(random)); // around the join
        case 3: return std::exp2(-30.0f + 60.0f * unit(random)) * (unit(random) < 0.5f ? -1.0f : 1.0f);
        default: return std::exp2(-140.0f + 10.0f * unit(random)); // subnormal and tiny
        }
    };
    return Grid::from(64, 64, [&](int, int) { return Pixel{value(), value(), value(), 1.0f}; });
}

} // namespace

TEST(AttackExposure, AgainstTheDoubleFormula)
{
    const double stopsList[] = {-4, -2.5, -1, -0.3, -1e-7, 0, 1e-7, 0.3, 1, 2.5, 4, -12, 12, -30, 30};
    const char* kinds[] = {"in range", "out of range", "join", "huge/tiny", "subnormal"};
    for (const CpuKernelRenderer::Use use : {CpuKernelRenderer::Use::Always, CpuKernelRenderer::Use::Never})
        for (int kind = 0; kind < 5; ++kind)
            for (const double stops : stopsList) {
                const Grid in = colours(unsigned(kind * 100 + 7), kind);
                CpuKernelRenderer::setUse(use);
                const Grid out = exposed(in, stops);
                CpuKernelRenderer::setUse(CpuKernelRenderer::Use::OnSoftwareRasterizer);
                const double k = std::exp2(double(float(stops)));
                double worstAbs = 0, worstRel = 0;
                int nans = 0, worstX = 0, worstY = 0, worstC = 0;
                for (int y = 0; y < in.height; ++y)
                    for (int x = 0; x < in.width; ++x) {
                        const Pixel& c = in.at(x, y);
                        const double m = std::max({decoded(c[0]), decoded(c[1]), decoded(c[2])});
                        const double g = k < 1 ? k : m > 0 && m < 1 ? k / (1 + (k - 1) * m) : 1;
                        for (int i = 0; i < 3; ++i) {
                            const double e = encoded(g * decoded(c[size_t(i)]));
                            const double got = out.at(x, y)[size_t(i)];
                            if (std::isnan(got) != std::isnan(e)) {
                                ++nans;
                                continue;
                            }
                            const double d = std::abs(got - e);
                            const double r = d / std::max(1.0, std::abs(e));
                            if (d > worstAbs)
                                worstAbs = d;
                            if (r > worstRel) {
                                worstRel = r, worstX = x, worstY = y, worstC = i;
                            }
                        }
                    }
                std::printf("%-6s %-12s stops %6g: worst rel(>=1 abs) %.3g at (%d,%d,%d) in %.9g out %.9g, nan mismatches %d\n",
                            use == CpuKernelRenderer::Use::Always ? "CPU" : "passes", kinds[kind], stops, worstRel,
                            worstX, worstY, worstC, in.at(worstX, worstY)[size_t(worstC)],
                            out.at(worstX, worstY)[size_t(worstC)], nans);
                EXPECT_EQ(nans, 0);
                EXPECT_LT(worstRel, kind == 0 || kind == 2 ? 3e-6 : 1e-4)
                    << (use == CpuKernelRenderer::Use::Always ? "CPU " : "passes ") << kinds[kind] << " stops "
                    << stops;
            }
}

// The first render of a process and the next ones of the same recipe: the powers' tables are made per
// thread after 256 uses, so the first pixels each thread works come from the library, the rest from
// tables. Counts pixels that differ between the first and second render, in floats and in bytes.
TEST(AttackExposure, FirstAndSecondRenderAgree)
{
    FilterLibrary::registerAll();
    const Image photo = randomImage(1500, 1000, 11);
    for (const double stops : {0.7, -0.6, 1.9}) {
        FilterPtr filter = Filter::create("GMExposureFilter");
        filter->setDefaults();
        setImage(filter, photo);
        filter->setValue(stops, "inputStops");
        const Image out = output(filter);
        const Rect rect(0, 0, 1500, 1000);
        std::optional<Bitmap> f[2], b[2];
        for (int i = 0; i < 2; ++i) {
            f[i] = context().render(out, rect, Bitmap::Format::RGBAf);
            b[i] = context().render(out, rect, Bitmap::Format::RGBA8);
        }
        size_t floats = 0, bytes = 0;
        const float* p = reinterpret_cast<const float*>(f[0]->data());
        const float* q = reinterpret_cast<const float*>(f[1]->data());
        for (size_t i = 0; i < f[0]->byteCount() / 4; ++i)
            floats += p[i] != q[i];
        for (size_t i = 0; i < b[0]->byteCount(); ++i)
            bytes += b[0]->data()[i] != b[1]->data()[i];
        std::printf("stops %g: channels differing between renders: %zu floats, %zu bytes\n", stops, floats, bytes);
    }
}

// The luma sharpening's tanh on the CPU against the passes', from gentle to saturating amounts, on
// random colours (some outside 0..1): the largest difference between the two paths.
TEST(AttackExposure, LumaSharpenTanhOnBothPaths)
{
    FilterLibrary::registerAll();
    std::mt19937 random(5);
    std::uniform_real_distribution<float> unit(-0.2f, 1.2f);
    const Grid in = Grid::from(96, 64, [&](int, int) { return Pixel{unit(random), unit(random), unit(random), 1.0f}; });
    for (const double amount : {0.01, 0.8, 5.0, 50.0, 1e4})
        for (const double radius : {1.5, 6.0}) {
            Grid out[2] = {Grid(1, 1), Grid(1, 1)};
            int k = 0;
            for (const CpuKernelRenderer::Use use : {CpuKernelRenderer::Use::Always, CpuKernelRenderer::Use::Never}) {
                CpuKernelRenderer::setUse(use);
                FilterPtr filter = Filter::create("GMLumaSharpenFilter");
                filter->setDefaults();
                setImage(filter, in.image());
                filter->setValue(amount, "inputAmount");
                filter->setValue(radius, "inputRadius");
                filter->setValue(0.0, "inputThreshold");
                out[k++] = Grid::rendered(output(filter), in.width, in.height);
            }
            CpuKernelRenderer::setUse(CpuKernelRenderer::Use::OnSoftwareRasterizer);
            float worst = 0;
            int nan = 0;
            for (size_t i = 0; i < out[0].pixels.size(); ++i)
                for (int c = 0; c < 4; ++c) {
                    const float a = out[0].pixels[i][size_t(c)], b = out[1].pixels[i][size_t(c)];
                    if (std::isnan(a) || std::isnan(b))
                        ++nan;
                    else
                        worst = std::max(worst, std::abs(a - b));
                }
            std::printf("luma sharpen amount %g radius %g: CPU vs passes worst %.3g, NaN %d\n", amount, radius, worst, nan);
            EXPECT_EQ(nan, 0);
            EXPECT_LT(worst, 1e-4);
        }
}
