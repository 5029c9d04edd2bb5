#include "ImageTestSupport.h"

#include "Platform/Foundation/Log.h"
#include "Platform/Image/Color.h"
#include "Platform/Image/Sampler.h"
#include "Platform/Image/Vector.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

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
