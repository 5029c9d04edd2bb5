#include "TestFilters.h"

#include "TestFilters/TestFilters.h"

#include "Platform/Image/Kernel.h"
#include "Platform/Image/Sampler.h"

#include <mutex>

using namespace pf;

namespace {

// The texts are in TestKernels/, translated for the CPU path as the shipped kernels are.
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
        static const Kernel k = kernelFrom(kernelTexts::TestFilters::TestWash);
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
        static const Kernel k = kernelFrom(kernelTexts::TestFilters::TestOver);
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
