#include "TestFilters.h"

#include "Platform/Image/Kernel.h"
#include "Platform/Image/Sampler.h"

#include <mutex>

using namespace pf;

namespace {

Kernel kernelFrom(const char* text)
{
    auto kernels = Kernel::kernelsWithString(QString::fromUtf8(text), QStringLiteral("test filter"));
    return kernels.empty() ? Kernel() : kernels.front();
}

class TestMaskedColorFilter : public Filter
{
public:
    TestMaskedColorFilter() : Filter(QStringLiteral("TestMaskedColorFilter"))
    {
        declareInput(QStringLiteral("inputImage"));
        declareInput(QStringLiteral("inputMaskImage"));
        declareInput(QStringLiteral("inputColor"),
                     {{FilterAttribute::Default, QVariant::fromValue(Color(1, 0, 0))}});
        declareInput(QStringLiteral("inputIntensity"), {{FilterAttribute::Default, 1.0}});
    }
    Image outputImage() const override
    {
        static const Kernel k =
            kernelFrom("kernel vec4 wash(sampler image, sampler mask, __color color, float amount) {\n"
                       "  vec4 c = sample(image, samplerCoord(image));\n"
                       "  float m = sample(mask, samplerCoord(mask)).r * amount;\n"
                       "  return mix(c, color * c.a, m);\n"
                       "}");
        const Image image = imageValue(QStringLiteral("inputImage"));
        if (image.isNull())
            return Image();
        ApplyOptions options;
        options.definition = image.definition().extent();
        options.extent = image.extent();
        return k.apply({QVariant::fromValue(image),
                        QVariant::fromValue(imageValue(QStringLiteral("inputMaskImage"))),
                        QVariant::fromValue(colorValue(QStringLiteral("inputColor"))),
                        numberValue(QStringLiteral("inputIntensity"))},
                       options);
    }
};

class TestOverFilter : public Filter
{
public:
    TestOverFilter() : Filter(QStringLiteral("TestOverFilter"))
    {
        declareInput(QStringLiteral("inputImage"));
        declareInput(QStringLiteral("inputBackgroundImage"));
        declareInput(QStringLiteral("inputIntensity"), {{FilterAttribute::Default, 1.0}});
    }
    Image outputImage() const override
    {
        static const Kernel k = kernelFrom("kernel vec4 over(sampler top, sampler bottom, float amount) {\n"
                                           "  vec4 t = sample(top, samplerCoord(top));\n"
                                           "  vec4 b = sample(bottom, samplerCoord(bottom));\n"
                                           "  return mix(b, t + b * (1.0 - t.a), amount);\n"
                                           "}");
        const Image top = imageValue(QStringLiteral("inputImage"));
        const Image bottom = imageValue(QStringLiteral("inputBackgroundImage"));
        if (top.isNull() || bottom.isNull())
            return Image();
        ApplyOptions options;
        options.definition = top.definition().extent().united(bottom.definition().extent());
        options.extent = bottom.extent();
        return k.apply({QVariant::fromValue(top), QVariant::fromValue(bottom),
                        numberValue(QStringLiteral("inputIntensity"))},
                       options);
    }
};

} // namespace

void testfilters::registerAll()
{
    static std::once_flag once;
    std::call_once(once, [] {
        Filter::registerFilter(QStringLiteral("TestMaskedColorFilter"),
                               [] { return std::make_shared<TestMaskedColorFilter>(); });
        Filter::registerFilter(QStringLiteral("TestOverFilter"),
                               [] { return std::make_shared<TestOverFilter>(); });
    });
}
