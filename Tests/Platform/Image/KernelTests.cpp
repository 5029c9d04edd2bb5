#include "ImageTestSupport.h"

#include "Platform/Foundation/Log.h"
#include "Platform/Image/Color.h"
#include "Platform/Image/KernelMath.h"
#include "Platform/Image/KernelParser.h"
#include "Platform/Image/Sampler.h"
#include "Platform/Image/Vector.h"

#include <QRegularExpression>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace pf;
using namespace pftest;

TEST(Kernel, TextYieldsEveryKernelInSourceOrderWithSharedHelpers)
{
    const auto kernels = Kernel::kernelsWithString(QStringLiteral(R"(
        // a helper used by both kernels
        float halve(float v) { return v * 0.5; }
        /* kernel vec4 commented(sampler s) { return vec4(0.0); } */
        kernel vec4 second(sampler image, float amount)
        {
            return sample(image, samplerCoord(image)) * halve(amount);
        }
        kernel vec4 first(__color color, vec2 point, vec3 unused, vec4 box)
        {
            return color * halve(2.0) + vec4(point, box.zw) * 0.0 + vec4(unused, 0.0) * 0.0;
        }
        kernel vec4 generator() { return vec4(destCoord() * 0.0, 0.25, 1.0); }
    )"));
    ASSERT_EQ(kernels.size(), 3u);
    EXPECT_EQ(kernels[0].name(), "second");
    EXPECT_EQ(kernels[1].name(), "first");
    EXPECT_EQ(kernels[2].name(), "generator");
    ASSERT_EQ(kernels[1].parameters().size(), 4u);
    EXPECT_EQ(kernels[1].parameters()[0].type, Kernel::ParameterType::Color);
    EXPECT_EQ(kernels[1].parameters()[3].name, "box");
    EXPECT_TRUE(kernels[2].parameters().empty());
}

TEST(Kernel, CompileErrorNamesTextAndLineAndYieldsNothing)
{
    LogCapture capture;
    const auto kernels = Kernel::kernelsWithString(QStringLiteral("kernel vec4 ok(sampler s)\n"
                                                                  "{\n"
                                                                  "    vec4 c = sample(s, samplerCoord(s));\n"
                                                                  "    return c * undefinedThing;\n"
                                                                  "}\n"),
                                                   QStringLiteral("GMBrokenFilterKernel"));
    EXPECT_TRUE(kernels.empty());
    ASSERT_EQ(capture.lines().size(), 1);
    const QString line = capture.lines().front();
    EXPECT_TRUE(line.startsWith("Error: GMBrokenFilterKernel")) << line.toStdString();
    EXPECT_TRUE(line.contains("line 4")) << line.toStdString();
    EXPECT_TRUE(line.contains("undefinedThing")) << line.toStdString();
}

TEST(Kernel, BadDeclarationsAreReportedWithTheirLine)
{
    LogCapture capture;
    EXPECT_TRUE(Kernel::kernelsWithString(
                    QStringLiteral("\n\nkernel vec4 k(int count) { return vec4(0.0); }"), QStringLiteral("T"))
                    .empty());
    EXPECT_TRUE(capture.contains("line 3")) << capture.lines().join("\n").toStdString();
}

TEST(Kernel, GeneratorAndArgumentsReachTheProgram)
{
    const Kernel k = kernel("kernel vec4 k(float f, vec2 v, __color c, vec4 r) {\n"
                            "  return vec4(f, v.x + v.y, c.r + c.a, r.z + r.w);\n"
                            "}");
    ASSERT_FALSE(k.isNull());
    const Image image =
        k.apply({0.25, QVariant::fromValue(Vector(0.1, 0.2)), QVariant::fromValue(Color(1.0, 0.0, 0.0, 0.5)),
                 QVariant::fromValue(Rect(1, 2, 3, 4))},
                {Rect(0, 0, 4, 4), std::nullopt, nullptr});
    EXPECT_EQ(image.extent(), Rect(0, 0, 4, 4));
    const Bitmap out = renderFloat(image, Rect(0, 0, 4, 4));
    ASSERT_FALSE(out.isNull());
    const auto p = at(out, 2, 1);
    EXPECT_FLOAT_EQ(p[0], 0.25f);
    EXPECT_NEAR(p[1], 0.3f, 1e-6);
    EXPECT_FLOAT_EQ(p[2], 1.0f); // colours arrive premultiplied: 0.5 + 0.5
    EXPECT_FLOAT_EQ(p[3], 7.0f); // unclamped
}

TEST(Kernel, DestCoordIsThePixelCentre)
{
    const Kernel k = kernel("kernel vec4 k() { return vec4(destCoord(), 0.0, 1.0); }");
    const Bitmap out = renderFloat(k.apply({}, {Rect::infinite(), std::nullopt, nullptr}), Rect(-3, 5, 4, 3));
    ASSERT_FALSE(out.isNull());
    EXPECT_FLOAT_EQ(at(out, 0, 0)[0], -2.5f);
    EXPECT_FLOAT_EQ(at(out, 0, 0)[1], 5.5f);
    EXPECT_FLOAT_EQ(at(out, 3, 2)[0], 0.5f);
    EXPECT_FLOAT_EQ(at(out, 3, 2)[1], 7.5f);
}

TEST(Kernel, MismatchedArgumentsGiveNoImageAndAWarning)
{
    const Kernel k =
        kernel("kernel vec4 k(sampler s, vec2 v) { return sample(s, samplerCoord(s)) + v.xyxy; }");
    ASSERT_FALSE(k.isNull());
    LogCapture capture;
    const Image image = Image::constantColor(Color(1, 0, 0));
    EXPECT_TRUE(k.apply({QVariant::fromValue(image)}).isNull());
    EXPECT_TRUE(capture.contains("argument 2 ('v') is missing"));
    EXPECT_TRUE(k.apply({QVariant::fromValue(image), QVariant::fromValue(Vector(1, 2, 3))}).isNull());
    EXPECT_TRUE(capture.contains("is not a vector of 2 numbers"));
    EXPECT_TRUE(k.apply({1.0, QVariant::fromValue(Vector(1, 2))}).isNull());
    EXPECT_TRUE(capture.contains("is not an image"));
    EXPECT_TRUE(k.apply({QVariant::fromValue(image), QVariant::fromValue(Vector(1, 2)), 3.0}).isNull());
    // A null image is an empty sampler, not an error.
    capture.clear();
    EXPECT_FALSE(k.apply({QVariant::fromValue(Image()), QVariant::fromValue(Vector(1, 2))}).isNull());
    EXPECT_TRUE(capture.lines().isEmpty());
}

TEST(Kernel, BuiltinsFollowTheirDefinitions)
{
    const Kernel k =
        kernel("kernel vec4 k(float which) {\n"
               "  if (which < 0.5) return premultiply(vec4(0.5, 1.0, 0.2, 0.5));\n"
               "  if (which < 1.5) return unpremultiply(vec4(0.25, 0.5, 0.1, 0.5));\n"
               "  if (which < 2.5) return unpremultiply(vec4(0.3, 0.3, 0.3, 0.0));\n"
               "  return vec4(compare(-1.0, 2.0, 3.0), compare(vec2(1.0, -1.0), vec2(4.0), vec2(5.0)), "
               "compare(0.0, 6.0, 7.0));\n"
               "}");
    auto pixel = [&](double which) {
        return at(renderFloat(k.apply({which}, {Rect(0, 0, 1, 1), std::nullopt, nullptr}), Rect(0, 0, 1, 1)),
                  0, 0);
    };
    EXPECT_EQ(pixel(0), (std::array<float, 4>{0.25f, 0.5f, 0.1f, 0.5f}));
    EXPECT_EQ(pixel(1), (std::array<float, 4>{0.5f, 1.0f, 0.2f, 0.5f}));
    EXPECT_EQ(pixel(2), (std::array<float, 4>{0.0f, 0.0f, 0.0f, 0.0f}));
    EXPECT_EQ(pixel(3), (std::array<float, 4>{2.0f, 5.0f, 4.0f, 7.0f}));
}

// Translated kernels raise values and vectors to an exponent they use often through a table: close to
// the exact power for the exponents that get one, with several exponents in turn, and the C library's
// own result for a lane outside the table, down to the sign of a zero.
TEST(Kernel, PowersAreCloseToExactAndTheLibrarysOutsideTheirTables)
{
    for (int round = 0; round < 2; ++round) // the first uses of an exponent make its table
        for (float x = 1e-6f; x < 1e4f; x *= 1.0173f)
            for (const float y : {2.4f, 1.0f / 2.4f, 0.5f, -1.3f, 1.0f, 7.5f}) {
                const kl::vec4 r = kl::pow(kl::vec4(x, x * 0.5f, x * 1.5f, x * 0.9f), y);
                for (int i = 0; i < 5; ++i) {
                    const float base =
                        std::array<float, 5>{x, x * 0.5f, x * 1.5f, x * 0.9f, x * 0.7f}[size_t(i)];
                    const double exact = std::pow(double(base), double(y));
                    const float got = i < 4 ? r[i] : kl::pow(base, y);
                    if (exact > 1e-37 && exact < 1e37) {
                        EXPECT_NEAR(got / exact, 1.0, 2e-6) << base << "^" << y;
                    }
                }
            }
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct
    {
        float x, y;
    } specials[] = {{-2.0f, 2.0f}, {-2.0f, 0.5f}, {0.0f, 2.4f},  {-0.0f, 1.0f}, {0.0f, -1.0f}, {1e-40f, 2.4f},
                    {inf, 2.4f},   {nan, 0.5f},   {2e30f, 2.4f}, {0.5f, inf},   {0.3f, 2.4f}};
    for (const auto& c : specials) {
        const float expected = std::pow(c.x, c.y);
        for (const float got : {kl::pow(kl::vec3(0.7f, c.x, 1.3f), c.y).y, kl::pow(c.x, c.y)}) {
            if (std::isnan(expected))
                EXPECT_TRUE(std::isnan(got)) << c.x << "^" << c.y;
            else
                EXPECT_TRUE((got == expected || std::abs(got - expected) <= 2e-6f * std::abs(expected)) &&
                            std::signbit(got) == std::signbit(expected))
                    << c.x << "^" << c.y << " gave " << got << " for " << expected;
        }
    }
}

// Translated kernels take hyperbolic tangents in single precision without the library: close to the
// exact value absolutely and relatively, odd, and the library's at zeros, infinities and NaN.
TEST(Kernel, HyperbolicTangentsAreCloseToExact)
{
    for (float x = 1e-30f; x < 50.0f; x *= 1.0007f) {
        const double exact = std::tanh(double(x));
        const float got = kl::tanh(x);
        EXPECT_NEAR(got, exact, 1.5e-7) << x;
        EXPECT_NEAR(got / exact, 1.0, 4e-7) << x;
        EXPECT_EQ(kl::tanh(-x), -got) << x;
    }
    const float inf = std::numeric_limits<float>::infinity();
    for (const float x : {0.0f, -0.0f, inf, -inf, std::numeric_limits<float>::quiet_NaN()}) {
        const float got = kl::tanh(kl::vec2(x, 0.5f)).x, expected = std::tanh(x);
        if (std::isnan(expected))
            EXPECT_TRUE(std::isnan(got));
        else
            EXPECT_TRUE(got == expected && std::signbit(got) == std::signbit(expected)) << x;
    }
}

// Two to a power is remembered from the last call on a thread: every value in turn, repeated or not,
// gets the library's own power, not the one before it.
TEST(Kernel, PowersOfTwoInTurnAreTheLibrarys)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (const float x : {0.0f, -1.0f, -1.0f, 1.0f, -0.0f, 0.3f, nan, nan, 2.0f, -inf, 0.0f, 130.0f, -1.0f}) {
        const float expected = std::exp2(x);
        const float r = kl::exp2(x);
        if (std::isnan(expected))
            EXPECT_TRUE(std::isnan(r)) << x;
        else
            EXPECT_EQ(r, expected) << x;
        EXPECT_EQ(kl::exp2(kl::vec2(x, 1.5f)).y, std::exp2(1.5f)) << x;
    }
}

TEST(Kernel, CompileErrorsSpeakOfTheAuthorsTextOnly)
{
    struct Case
    {
        const char* text;
        std::vector<const char*> says;
    };
    const Case cases[] = {
        // Left open: the compiler only notices past the end of the text.
        {"kernel vec4 k(sampler s)\n{\n    return sample(s, samplerCoord(s));\n", {"line 3"}},
        {"kernel vec4 k(sampler s)\n{\n    return sample(s, 1.0);\n}\n", {"line 3", "sample"}},
        {"kernel vec4 k(sampler s)\n{\n    vec2 p = destCoord() + s;\n    return vec4(p, 0.0, 1.0);\n}\n",
         {"line 3"}},
        {"kernel vec4 k(sampler s,\n              int count)\n{ return vec4(0.0); }\n",
         {"line 2", "'count'", "'int'"}},
    };
    for (const Case& c : cases) {
        LogCapture capture;
        EXPECT_TRUE(Kernel::kernelsWithString(QString::fromUtf8(c.text), QStringLiteral("T")).empty());
        ASSERT_EQ(capture.lines().size(), 1) << c.text;
        const QString line = capture.lines().front();
        for (const char* part : c.says)
            EXPECT_TRUE(line.contains(QLatin1String(part))) << line.toStdString();
        EXPECT_FALSE(line.contains("_pf")) << line.toStdString();
        static const QRegularExpression lineNumber(QStringLiteral("line (\\d+)"));
        for (auto it = lineNumber.globalMatch(line); it.hasNext();)
            EXPECT_LE(it.next().captured(1).toInt(), QString::fromUtf8(c.text).count('\n'))
                << line.toStdString();
    }
}

// Reads at fixed whole-pixel offsets become rows around the pixel on the CPU: a read that is not one (a
// fraction of a pixel, a coordinate used otherwise, a point moved later) must leave the sampler to the
// general reader, or the rows would hand the kernel the wrong pixels.
TEST(KernelParser, OnlyReadsAtFixedWholePixelOffsetsGetAReach)
{
    struct Case
    {
        const char* what;
        const char* body; // of `kernel vec4 k(sampler a, sampler b, float f)`
        bool fixed;       // of a
        int left, right, down, up;
        bool bHere; // b read only at the pixel (or not at all), whatever a does
    };
    const Case cases[] = {
        {"offsets added to the coordinate in the read",
         "return sample(a, samplerCoord(a) + vec2(1.0, 0.0)) + sample(a, samplerCoord(a) - vec2(2, -1.)) + "
         "sample(b, samplerCoord(b));",
         true, 2, 1, 0, 1, true},
        {"through a coordinate taken once, and a read at the pixel across lines",
         "vec2 p = samplerCoord(a);\n vec4 c = sample(a,\n samplerCoord(a));\n"
         "return c + sample(a, p) + sample(a, p + vec2(0.0, -3.0)) + sample(a, p - vec2(-4.0f, 0.0));",
         true, 0, 4, 3, 0, true},
        {"the extent asked as well", "return sample(a, samplerCoord(a) + vec2(0.0, 1.0)) * samplerSize(a).x;",
         true, 0, 0, 0, 1, true},
        {"half a pixel away", "return sample(a, samplerCoord(a) + vec2(0.5, 0.0));", false, 0, 0, 0, 0, true},
        {"an offset computed", "return sample(a, samplerCoord(a) + vec2(f, 0.0));", false, 0, 0, 0, 0, true},
        {"farther than the rows reach", "return sample(a, samplerCoord(a) + vec2(5.0, 0.0));", false, 0, 0, 0,
         0, true},
        {"a coordinate moved after it was taken",
         "vec2 p = samplerCoord(a);\n p += vec2(0.25, 0.0);\n return sample(a, p + vec2(1.0, 0.0));", false,
         0, 0, 0, 0, true},
        {"a coordinate read as a number",
         "vec2 p = samplerCoord(a);\n return sample(a, p + vec2(1.0, 0.0)) * p.x;", false, 0, 0, 0, 0, true},
        {"a coordinate read from another sampler",
         "vec2 p = samplerCoord(a);\n return sample(a, p - vec2(1.0, 0.0)) + sample(b, p);", false, 0, 0, 0,
         0, false},
        {"an offset put before the coordinate", "return sample(a, vec2(1.0, 0.0) + samplerCoord(a));", false,
         0, 0, 0, 0, true},
        {"the offset scaled", "return sample(a, samplerCoord(a) + vec2(1.0, 0.0) * 0.5);", false, 0, 0, 0, 0,
         true},
        {"handed to a function", "return sample(a, samplerCoord(a) + vec2(1.0, 0.0)) + g(a);", false, 0, 0, 0,
         0, true},
        {"the counters of loops over whole numbers",
         "vec4 s = vec4(0.0);\n for (int dy = -1; dy <= 1; ++dy)\n for (int dx = -2; dx < 2 && s.a < 9.0; "
         "dx++)\n"
         " s += sample(a, samplerCoord(a) + vec2(float(dx), float(dy)));\n"
         "for (int i = 3; i > 0; --i) { s += sample(a, samplerCoord(a) - vec2(0.0, i)); }\n return s;",
         true, 2, 1, 3, 1, true},
        {"a counter read outside its loop",
         "vec4 s = vec4(0.0);\n int i = 2;\n for (int i = 0; i < 2; ++i) s += vec4(1.0);\n"
         "return s + sample(a, samplerCoord(a) + vec2(float(i), 0.0));",
         false, 0, 0, 0, 0, true},
        {"a counter changed in its loop",
         "vec4 s = vec4(0.0);\n for (int i = 0; i < 2; ++i) { i += 1; s += sample(a, samplerCoord(a) + "
         "vec2(float(i), 0.0)); }\n return s;",
         false, 0, 0, 0, 0, true},
        {"a loop counting farther than the rows reach",
         "vec4 s = vec4(0.0);\n for (int i = 0; i <= 5; ++i) s += sample(a, samplerCoord(a) + vec2(float(i), "
         "0.0));"
         "\n return s;",
         false, 0, 0, 0, 0, true},
        {"a loop bounded by a value",
         "vec4 s = vec4(0.0);\n for (int i = 0; i < int(f); ++i)\n"
         " s += sample(a, samplerCoord(a) + vec2(float(i), 0.0));\n return s;",
         false, 0, 0, 0, 0, true},
    };
    for (const Case& c : cases) {
        const QString text = QStringLiteral("vec4 g(sampler s) { return vec4(0.0); }\n"
                                            "kernel vec4 k(sampler a, sampler b, float f)\n{\n%1\n}\n")
                                 .arg(QLatin1String(c.body));
        QString error;
        const auto parsed = KernelParser::parse(text, &error);
        ASSERT_TRUE(parsed) << c.what << ": " << error.toStdString();
        const KernelParser::Declaration& kernel = parsed->kernels.at(0);
        ASSERT_EQ(kernel.reach.size(), 3u) << c.what;
        const KernelParser::Reach& a = kernel.reach[0];
        EXPECT_EQ(a.fixed, c.fixed) << c.what;
        if (c.fixed) {
            EXPECT_EQ(a.left, c.left) << c.what;
            EXPECT_EQ(a.right, c.right) << c.what;
            EXPECT_EQ(a.down, c.down) << c.what;
            EXPECT_EQ(a.up, c.up) << c.what;
        }
        EXPECT_EQ(kernel.readOnlyHere[1], c.bHere) << c.what;
        EXPECT_FALSE(kernel.reach[1].fixed && kernel.readOnlyHere[1]) << c.what;
    }
}
